// What one single-register read costs through TzFreePort, against mbpoll on the same simulated
// module. The simulator delays every answer by the wire time of request and answer.
#include "sim_process.h"
#include "transport/free_port.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <vector>

namespace {

constexpr int kBaud = 115200;
constexpr int kBitsPerChar = 10; // 8N1
constexpr int kRequestBytes = 8;
constexpr int kAnswerBytes = 7;   // one register
constexpr int kMbpollPollMs = 10; // the smallest poll rate mbpoll takes

struct Options {
    int count = 1000;         // TzFreePort exchanges
    double mbpollSeconds = 5; // of continuous mbpoll polling
    int mbpollRuns = 50;      // single-shot mbpoll processes
};

struct Stats {
    size_t n = 0;
    double mean = 0, median = 0, p95 = 0, min = 0, max = 0;
};

Stats Summarize(std::vector<double> ms) {
    Stats s;
    if (ms.empty())
        return s;
    std::sort(ms.begin(), ms.end());
    s.n = ms.size();
    s.mean = std::accumulate(ms.begin(), ms.end(), 0.0) / double(ms.size());
    s.median = ms[ms.size() / 2];
    s.p95 = ms[size_t(std::ceil(0.95 * double(ms.size()))) - 1];
    s.min = ms.front();
    s.max = ms.back();
    return s;
}

void Print(const char *label, const Stats &s) {
    std::printf("%-44s n=%-5zu mean %6.2f  median %6.2f  p95 %6.2f  min %6.2f  max %7.2f ms"
                "  (%.1f exchanges/s)\n",
                label, s.n, s.mean, s.median, s.p95, s.min, s.max,
                s.mean > 0 ? 1000.0 / s.mean : 0.0);
}

// Intervals between consecutive requests as the module received them.
std::vector<double> LineIntervals(const QList<SimProcess::Frame> &frames) {
    std::vector<double> ms;
    for (int i = 1; i < frames.size(); ++i)
        ms.push_back(double(frames[i].ms - frames[i - 1].ms));
    return ms;
}

// Sequential exchanges: each request is queued right after the previous answer arrived.
std::vector<double> RunFreePort(SimProcess &sim, int count) {
    TzFreePort port(sim.portPath());
    port.LocDCB().BaudRate = kBaud;
    port.LocDCB().ByteSize = 8;
    port.LocDCB().Parity = 0;
    port.LocDCB().StopBits = 0;
    // The panel's timeouts: the answer ends at the first gap over 10 ms.
    port.LocTimeouts().ReadIntervalTimeout = 10;
    port.LocTimeouts().ReadTotalTimeoutMultiplier = 1;
    port.LocTimeouts().ReadTotalTimeoutConstant = 100;
    bool answered = false;
    uint32_t errors = 0;
    port.SetOnAsyncAnswerProc([&](int, uint32_t, const TStringBytes &answer, uint32_t err) {
        answered = true;
        errors += (err != kErrNone || answer.Size() != kAnswerBytes) ? 1 : 0;
    });
    if (!port.Start()) {
        std::printf("TzFreePort: cannot open %s\n", qPrintable(sim.portPath()));
        return {};
    }
    // Read input register 36864 of module 16.
    const TStringBytes request =
        TStringBytes::FromBytes({0x10, 0x04, 0x90, 0x00, 0x00, 0x01, 0x1F, 0x8B});
    std::vector<double> ms;
    QElapsedTimer timer;
    for (int i = 0; i < count + 10; ++i) {
        answered = false;
        timer.start();
        // The answered request leaves the queue just after its callback; until then the same
        // frame is refused as a duplicate.
        while (!port.SendCmd(request, 16))
            QThread::yieldCurrentThread();
        while (!answered)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (i >= 10) // warm-up
            ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (i % 100 == 0)
            sim.frames(); // keeps the simulator's log pipe from filling up
    }
    if (errors)
        std::printf("TzFreePort: %u exchanges failed\n", errors);
    return ms;
}

QStringList MbpollArgs(const QString &portPath) {
    return {"-m", "rtu",   "-a", "16", "-b",    QString::number(kBaud), "-P", "none", "-t", "3",
            "-r", "36865", "-c", "1",  portPath}; // references are 1-based
}

std::vector<double> RunMbpollContinuous(SimProcess &sim, const QString &mbpoll, double seconds) {
    sim.clearFrames();
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(mbpoll,
                  QStringList{"-l", QString::number(kMbpollPollMs)} + MbpollArgs(sim.portPath()));
    if (!process.waitForStarted(5000))
        return {};
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < qint64(seconds * 1000)) {
        QThread::msleep(100);
        sim.frames(); // drains the log as it comes
    }
    process.terminate();
    process.waitForFinished(3000);
    return LineIntervals(sim.frames());
}

std::vector<double> RunMbpollOneShot(const QString &portPath, const QString &mbpoll, int runs) {
    std::vector<double> ms;
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        timer.start();
        process.start(mbpoll, QStringList{"-1"} + MbpollArgs(portPath));
        if (!process.waitForFinished(5000) || process.exitCode() != 0)
            continue;
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return ms;
}

bool ParseOptions(const QStringList &args, Options &o) {
    for (int i = 1; i + 1 < args.size(); i += 2) {
        bool ok = false;
        if (args[i] == "--count")
            o.count = args[i + 1].toInt(&ok);
        else if (args[i] == "--mbpoll-seconds")
            o.mbpollSeconds = args[i + 1].toDouble(&ok);
        else if (args[i] == "--mbpoll-runs")
            o.mbpollRuns = args[i + 1].toInt(&ok);
        if (!ok)
            return false;
    }
    return args.size() % 2 == 1 && o.count > 0;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    Options options;
    if (!ParseOptions(app.arguments(), options)) {
        std::fprintf(stderr, "usage: exchange_bench [--count N] [--mbpoll-seconds S] "
                             "[--mbpoll-runs N]\n");
        return 2;
    }
    SimProcess sim({"--wire-delay", "--baud", QString::number(kBaud), "--log-frames"});
    if (!sim.start()) {
        std::fprintf(stderr, "exchange_bench: tarvex-sim did not start\n");
        return 1;
    }
    const double wireMs = 1000.0 * (kRequestBytes + kAnswerBytes) * kBitsPerChar / kBaud;
    std::printf("Read of one input register (36864) from tarvex-sim --wire-delay, %d 8N1, %s\n",
                kBaud, qPrintable(sim.portPath()));
    std::printf("wire time: (%d + %d bytes) x %d bits / %d = %.2f ms\n", kRequestBytes,
                kAnswerBytes, kBitsPerChar, kBaud, wireMs);
    std::printf("budget per exchange: wire %.2f + 10 interval + 10 loop pause + 2 = %.2f ms\n\n",
                wireMs, wireMs + 22);

    sim.clearFrames();
    Print("TzFreePort, queued to answered", Summarize(RunFreePort(sim, options.count)));
    std::vector<double> freePortLine = LineIntervals(sim.frames());
    freePortLine.erase(freePortLine.begin(), freePortLine.begin() + 10); // warm-up
    Print("TzFreePort, request to request at module", Summarize(freePortLine));

    const QString mbpoll = QStandardPaths::findExecutable("mbpoll");
    if (mbpoll.isEmpty()) {
        std::printf("mbpoll not found: no comparison\n");
        return 0;
    }
    const Stats continuous = Summarize(RunMbpollContinuous(sim, mbpoll, options.mbpollSeconds));
    Print("mbpoll -l 10, request to request at module", continuous);
    std::printf("%-44s mean %6.2f ms per exchange (interval minus the %d ms poll rate)\n", "",
                continuous.mean - kMbpollPollMs, kMbpollPollMs);
    Print("mbpoll -1, one process per exchange",
          Summarize(RunMbpollOneShot(sim.portPath(), mbpoll, options.mbpollRuns)));
    return 0;
}
