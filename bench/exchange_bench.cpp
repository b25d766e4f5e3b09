// What one single-register read costs through TzFreePort, beside a libmodbus master on the same
// simulated module in the same run. The simulator delays every answer by the wire time of
// request and answer. Both masters read back to back: libmodbus sends its next request as soon
// as an answer is in; the worker has its next request queued before the answer is delivered.
//
//   exchange_bench [--count N]
#include "model/modbus_answer_rule.h"
#include "model/register_map.h"
#include "sim_process.h"
#include "transport/free_port.h"
#include "transport/port_settings.h"
#include "transport/utils.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <modbus/modbus.h>
#include <vector>

namespace {

constexpr int kAddr = 16;
constexpr int kRequestBytes = 8;
constexpr int kAnswerBytes = 7; // one register
constexpr int kWarmUp = 10;
// Registers read in turn, two requests queued at a time: the worker holds the next request
// while one is answered, and the callback queues the one after it.
constexpr int kRegisters[] = {TarvexMap::kRegAddress, TarvexMap::kRegFormatCode,
                              TarvexMap::kRegBaudCode};
constexpr int kRegisterCount = 3;
constexpr int kRates[] = {9600, 19200, 115200};
constexpr int kBusyOwnerMs = 5;

struct Stats {
    size_t n = 0;
    double median = 0, p95 = 0, min = 0, max = 0;
};

Stats Summarize(std::vector<double> ms) {
    Stats s;
    if (ms.empty())
        return s;
    std::sort(ms.begin(), ms.end());
    s.n = ms.size();
    s.median = ms[ms.size() / 2];
    s.p95 = ms[size_t(std::ceil(0.95 * double(ms.size()))) - 1];
    s.min = ms.front();
    s.max = ms.back();
    return s;
}

void Print(const char *label, const Stats &s) {
    std::printf("  %-40s n=%-5zu median %6.2f  p95 %6.2f  min %6.2f  max %7.2f ms\n", label, s.n,
                s.median, s.p95, s.min, s.max);
}

TzPortDCB Line8N1(int baud) {
    TzPortDCB dcb;
    dcb.BaudRate = uint32_t(baud);
    return dcb;
}

TStringBytes ReadHolding(int reg) {
    const TStringBytes frame =
        TStringBytes::FromBytes({uint8_t(kAddr), 0x03, uint8_t(reg >> 8), uint8_t(reg), 0, 1});
    const uint16_t crc = ModbusCRC16(frame, frame.Size());
    return frame + uint8_t(crc & 0xFF) + uint8_t(crc >> 8);
}

// Time between consecutive answers as the owner's thread gets them. busyMs: what the owner's
// thread spends on each answer, as a panel drawing its labels would.
std::vector<double> RunFreePort(const QString &portPath, int baud, int count, int busyMs = 0) {
    TzFreePort port(portPath);
    port.LocDCB().BaudRate = baud;
    port.LocDCB().ByteSize = 8;
    port.LocDCB().Parity = 0;
    port.LocDCB().StopBits = 0;
    // The panel's timeouts at its minimum for the rate.
    port.LocTimeouts().ReadIntervalTimeout = 10;
    port.LocTimeouts().ReadTotalTimeoutMultiplier = 0;
    port.LocTimeouts().ReadTotalTimeoutConstant = 30;
    TStringBytes requests[kRegisterCount];
    for (int i = 0; i < kRegisterCount; ++i)
        requests[i] = ReadHolding(kRegisters[i]);
    std::vector<double> ms;
    QElapsedTimer clock;
    qint64 lastNs = -1;
    int answered = 0, failed = 0, next = 0;
    const auto queueNext = [&] {
        const TStringBytes &request = requests[next];
        next = (next + 1) % kRegisterCount;
        port.SendCmd(request, kAddr, ModbusRtuAnswerRule(request));
    };
    port.SetOnAsyncAnswerProc([&](int, uint32_t, const TStringBytes &answer, uint32_t err) {
        const qint64 ns = clock.nsecsElapsed();
        if (answered >= kWarmUp)
            ms.push_back(double(ns - lastNs) / 1e6);
        lastNs = ns;
        failed += (err != kErrNone || answer.Size() != kAnswerBytes) ? 1 : 0;
        if (++answered < count + kWarmUp)
            queueNext();
        if (busyMs > 0)
            QThread::msleep(busyMs);
    });
    if (!port.Start()) {
        std::printf("  TzFreePort: cannot open %s\n", qPrintable(portPath));
        return {};
    }
    clock.start();
    queueNext();
    queueNext();
    while (answered < count + kWarmUp)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (failed)
        std::printf("  TzFreePort: %d exchanges failed\n", failed);
    return ms;
}

// Time between consecutive returns of modbus_read_registers.
std::vector<double> RunLibmodbus(const QString &portPath, int baud, int count) {
    modbus_t *ctx = modbus_new_rtu(portPath.toLocal8Bit().constData(), baud, 'N', 8, 1);
    if (!ctx || modbus_set_slave(ctx, kAddr) != 0 || modbus_connect(ctx) != 0) {
        std::printf("  libmodbus: cannot open %s\n", qPrintable(portPath));
        if (ctx)
            modbus_free(ctx);
        return {};
    }
    modbus_set_response_timeout(ctx, 1, 0);
    std::vector<double> ms;
    QElapsedTimer clock;
    clock.start();
    qint64 lastNs = clock.nsecsElapsed();
    int failed = 0;
    for (int i = 0; i < count + kWarmUp; ++i) {
        uint16_t value = 0;
        failed +=
            modbus_read_registers(ctx, kRegisters[i % kRegisterCount], 1, &value) == 1 ? 0 : 1;
        const qint64 ns = clock.nsecsElapsed();
        if (i >= kWarmUp)
            ms.push_back(double(ns - lastNs) / 1e6);
        lastNs = ns;
    }
    if (failed)
        std::printf("  libmodbus: %d exchanges failed\n", failed);
    modbus_close(ctx);
    modbus_free(ctx);
    return ms;
}

bool ParseOptions(const QStringList &args, int &count) {
    if (args.size() == 1)
        return true;
    bool ok = false;
    if (args.size() == 3 && args[1] == "--count")
        count = args[2].toInt(&ok);
    return ok && count > 0;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    int count = 300;
    if (!ParseOptions(app.arguments(), count)) {
        std::fprintf(stderr, "usage: exchange_bench [--count N]\n");
        return 2;
    }
    std::printf("Back-to-back reads of one holding register from tarvex-sim --wire-delay, 8N1,\n"
                "%d exchanges per master and rate; time per exchange as the caller sees it.\n\n",
                count);
    std::printf("%8s %8s %8s %10s %10s %10s %10s  %s\n", "bit/s", "wire", "silence", "worker",
                "libmodbus", "difference", "allowed", "goal");
    std::vector<QString> details;
    for (const int baud : kRates) {
        SimProcess sim({"--wire-delay", "--baud", QString::number(baud)});
        if (!sim.start()) {
            std::fprintf(stderr, "exchange_bench: tarvex-sim did not start\n");
            return 1;
        }
        const TzPortDCB line = Line8N1(baud);
        const double wireMs = (kRequestBytes + kAnswerBytes) * CharTimeUs(line) / 1000;
        const double silenceMs = double(InterFrameUs(line)) / 1000;
        const Stats worker = Summarize(RunFreePort(sim.portPath(), baud, count));
        const Stats libmodbus = Summarize(RunLibmodbus(sim.portPath(), baud, count));
        const Stats busy = Summarize(RunFreePort(sim.portPath(), baud, count, kBusyOwnerMs));
        const double difference = worker.median - libmodbus.median;
        const double allowed = silenceMs + 1;
        std::printf("%8d %8.2f %8.2f %10.2f %10.2f %10.2f %10.2f  %s\n", baud, wireMs, silenceMs,
                    worker.median, libmodbus.median, difference, allowed,
                    difference <= allowed ? "met" : "MISSED");
        std::printf("  details at %d bit/s (ms):\n", baud);
        Print("TzFreePort, answer to answer", worker);
        Print("libmodbus, return to return", libmodbus);
        Print("TzFreePort, owner busy 5 ms per answer", busy);
    }
    std::printf("\nwire: request and answer on the line; silence: the inter-frame time the worker\n"
                "keeps before each request; allowed: silence + 1 ms over libmodbus. With the\n"
                "owner busy, the worker goes on with the next request meanwhile.\n");
    return 0;
}
