#include "options.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <getopt.h>

namespace {

constexpr std::array<int, 10> kBaudRates = {1200,  2400,  4800,  9600,  14400,
                                            19200, 28800, 38400, 57600, 115200};

enum OptionId {
    optAddr = 1000,
    optBaud,
    optFormat,
    optLink,
    optType,
    optFirmware,
    optHardware,
    optId,
    optVoltage,
    optPowerStatus,
    optSilent,
    optCorruptEvery,
    optWireDelay,
    optBurst,
    optException,
    optLogFrames,
    optCheckLine,
    optHelp,
};

const option kLongOptions[] = {
    {"addr", required_argument, nullptr, optAddr},
    {"baud", required_argument, nullptr, optBaud},
    {"format", required_argument, nullptr, optFormat},
    {"link", required_argument, nullptr, optLink},
    {"type", required_argument, nullptr, optType},
    {"firmware", required_argument, nullptr, optFirmware},
    {"hardware", required_argument, nullptr, optHardware},
    {"id", required_argument, nullptr, optId},
    {"voltage", required_argument, nullptr, optVoltage},
    {"power-status", required_argument, nullptr, optPowerStatus},
    {"silent", no_argument, nullptr, optSilent},
    {"corrupt-every", required_argument, nullptr, optCorruptEvery},
    {"wire-delay", no_argument, nullptr, optWireDelay},
    {"burst", required_argument, nullptr, optBurst},
    {"exception", required_argument, nullptr, optException},
    {"log-frames", no_argument, nullptr, optLogFrames},
    {"check-line", no_argument, nullptr, optCheckLine},
    {"help", no_argument, nullptr, optHelp},
    {nullptr, 0, nullptr, 0},
};

bool parseWord(const std::string &text, uint16_t &value) {
    long v;
    if (!parseNumber(text, 0, 65535, v))
        return false;
    value = uint16_t(v);
    return true;
}

bool parseId(const std::string &text, uint8_t (&id)[6]) {
    if (text.size() != 12)
        return false;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    for (int i = 0; i < 6; ++i)
        id[i] = uint8_t(std::stoul(text.substr(2 * i, 2), nullptr, 16));
    return true;
}

// Applies one option; false with the message in error when its value is bad.
bool applyOption(int id, const std::string &arg, SimOptions &o, std::string &error) {
    long v = 0;
    bool ok = true;
    switch (id) {
    case optAddr:
        ok = parseNumber(arg, 1, 247, v);
        o.address = int(v);
        break;
    case optBaud:
        ok = parseNumber(arg, 1, 1000000, v) && codeFromBaud(int(v)) >= 0;
        o.baud = int(v);
        break;
    case optFormat:
        ok = parseFormatName(arg, o.format);
        break;
    case optLink:
        ok = !arg.empty();
        o.linkPath = arg;
        break;
    case optType:
        ok = parseWord(arg, o.deviceType);
        break;
    case optFirmware:
        ok = parseWord(arg, o.firmwareVersion);
        break;
    case optHardware:
        ok = parseWord(arg, o.hardwareVersion);
        break;
    case optId:
        ok = parseId(arg, o.id);
        break;
    case optVoltage:
        ok = parseWord(arg, o.voltageMv);
        break;
    case optPowerStatus:
        ok = parseWord(arg, o.powerStatus);
        break;
    case optCorruptEvery:
        ok = parseNumber(arg, 1, 1000000, v);
        o.corruptEvery = int(v);
        break;
    case optBurst:
        ok = parseNumber(arg, 1, 1000, v);
        o.burstMs = int(v);
        break;
    case optException: {
        int reg, code;
        ok = parseExceptionRule(arg, reg, code);
        if (ok)
            o.exceptions[reg] = code;
        break;
    }
    }
    if (!ok)
        error = "bad value '" + arg + "'";
    return ok;
}

} // namespace

bool parseNumber(const std::string &text, long min, long max, long &value) {
    if (text.empty())
        return false;
    char *end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < min || v > max)
        return false;
    value = v;
    return true;
}

bool parseFormatName(const std::string &name, LineFormat &format) {
    if (name.size() != 3 || name[0] != '8' || (name[2] != '1' && name[2] != '2'))
        return false;
    const char parity = name[1];
    if (parity != 'N' && parity != 'O' && parity != 'E')
        return false;
    if (name[2] == '2' && parity != 'N') // the module offers 8N2 only
        return false;
    format = {parity, 8, name[2] - '0'};
    return true;
}

int baudFromCode(int code) {
    return code >= 0 && code < int(kBaudRates.size()) ? kBaudRates[code] : -1;
}

int codeFromBaud(int baud) {
    for (size_t i = 0; i < kBaudRates.size(); ++i) {
        if (kBaudRates[i] == baud)
            return int(i);
    }
    return -1;
}

bool formatFromCode(int code, LineFormat &format) {
    switch (code) {
    case 1:
        format = {'O', 7, 1};
        return true; // ASCII 7O1
    case 2:
        format = {'E', 7, 1};
        return true; // ASCII 7E1
    case 3:
        format = {'N', 7, 2};
        return true; // ASCII 7N2
    case 4:
        format = {'N', 8, 1};
        return true;
    case 5:
        format = {'O', 8, 1};
        return true;
    case 6:
        format = {'E', 8, 1};
        return true;
    case 7:
        format = {'N', 8, 2};
        return true;
    }
    return false;
}

int codeFromFormat(const LineFormat &format) {
    for (int code = 1; code <= 7; ++code) {
        LineFormat f;
        formatFromCode(code, f);
        if (f.parity == format.parity && f.dataBits == format.dataBits &&
            f.stopBits == format.stopBits)
            return code;
    }
    return -1;
}

bool parseExceptionRule(const std::string &text, int &reg, int &code) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos)
        return false;
    long r, c;
    if (!parseNumber(text.substr(0, colon), 0, 65535, r) ||
        !parseNumber(text.substr(colon + 1), 1, 255, c))
        return false;
    reg = int(r);
    code = int(c);
    return true;
}

ParseResult parseOptions(int argc, char **argv, SimOptions &options, std::string &error) {
    opterr = 0;
    optind = 1;
    int id;
    while ((id = getopt_long(argc, argv, "", kLongOptions, nullptr)) != -1) {
        if (id == optHelp)
            return ParseResult::Help;
        if (id == optSilent) {
            options.silent = true;
        } else if (id == optWireDelay) {
            options.wireDelay = true;
        } else if (id == optLogFrames) {
            options.logFrames = true;
        } else if (id == optCheckLine) {
            options.checkLine = true;
        } else if (id == '?' || id == ':') {
            error = std::string("unknown option or missing value: ") + argv[optind - 1];
            return ParseResult::Error;
        } else if (!applyOption(id, optarg ? optarg : "", options, error)) {
            error = std::string("--") + kLongOptions[id - optAddr].name + ": " + error;
            return ParseResult::Error;
        }
    }
    if (optind < argc) {
        error = std::string("unexpected argument: ") + argv[optind];
        return ParseResult::Error;
    }
    return ParseResult::Run;
}

const char *usageText() {
    return "Usage: tarvex-sim [options]\n"
           "Simulates a Tarvex relay module (Modbus RTU slave) on a pseudo-terminal.\n"
           "The first line of output is the port path.\n"
           "\n"
           "  --addr N             slave address 1..247 (16)\n"
           "  --baud N             1200..115200 (9600), used for --wire-delay and --burst\n"
           "  --format F           8N1, 8O1, 8E1 or 8N2 (8N1)\n"
           "  --link PATH          symlink to the port, removed at exit\n"
           "  --type N             device type (73)\n"
           "  --hardware N         hardware version (1)\n"
           "  --firmware N         firmware version (100)\n"
           "  --id HEX12           6-byte module ID (012A00FF100B)\n"
           "  --voltage MV         supply voltage in mV (24000)\n"
           "  --power-status N     power status, bits 14/15 are alarms (0)\n"
           "  --silent             never answer\n"
           "  --corrupt-every N    corrupt the CRC of every N-th answer\n"
           "  --wire-delay         answer after the wire time of request and answer\n"
           "  --burst MS           answer bytes leave at the wire rate and reach the port\n"
           "                       in chunks every MS ms, as from a USB adapter\n"
           "  --exception REG:CODE answer exception CODE to requests touching REG\n"
           "  --log-frames         print 'RX <ms> <hex>' for every request, 'TX <ms> <hex>'\n"
           "                       when an answer starts to go out, 'TX-END <ms>' when it\n"
           "                       has reached the port, 'COLLISION <ms> <hex>' for bytes\n"
           "                       the master sent meanwhile\n"
           "  --check-line         answer garbage while the master's baud rate, stop bits or\n"
           "                       parity (as far as the pseudo-terminal keeps it) differ\n"
           "                       from --baud and --format\n"
           "  --help               this text\n"
           "\n"
           "Standard input commands: set input|holding|coil REG VALUE, silent on|off,\n"
           "exception REG CODE|off, exception REG CODE COUNT (the next COUNT requests only).\n";
}
