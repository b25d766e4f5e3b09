#pragma once

#include "model/register_map.h"

#include <cstdint>
#include <map>
#include <string>

// Character format of the RS-485 line.
struct LineFormat {
    char parity = 'N'; // 'N', 'O' or 'E'
    int dataBits = 8;
    int stopBits = 1;

    int bitsPerChar() const { return 1 + dataBits + (parity == 'N' ? 0 : 1) + stopBits; }
};

struct SimOptions {
    int address = 16;
    int baud = 9600;
    LineFormat format;
    std::string linkPath;

    uint16_t deviceType = TarvexMap::kTarvexDeviceType;
    uint16_t hardwareVersion = 1;
    uint16_t firmwareVersion = 100;
    uint8_t id[6] = {0x01, 0x2A, 0x00, 0xFF, 0x10, 0x0B};
    uint16_t voltageMv = 24000;
    uint16_t powerStatus = 0;

    bool silent = false;
    int corruptEvery = 0; // 0: never
    bool wireDelay = false;
    int burstMs = 0;               // 0: an answer reaches the host in one piece
    std::map<int, int> exceptions; // register -> exception code
    bool logFrames = false;
    // Answer garbage while the master's line settings differ from the module's own.
    bool checkLine = false;
};

enum class ParseResult { Run, Help, Error };

// Fills options from the command line; on Error, error holds the message.
ParseResult parseOptions(int argc, char **argv, SimOptions &options, std::string &error);
const char *usageText();

// Shared by the command line and the module's own settings registers.
bool parseFormatName(const std::string &name, LineFormat &format);
int baudFromCode(int code); // -1 for an unknown code
int codeFromBaud(int baud); // -1 for a rate the module does not offer
bool formatFromCode(int code, LineFormat &format);
int codeFromFormat(const LineFormat &format);
bool parseExceptionRule(const std::string &text, int &reg, int &code); // "REG:CODE"
bool parseNumber(const std::string &text, long min, long max, long &value);
