// Three line monitors in dynamic mode fed requests and their answers at fixed rates: the
// longest stall of the event loop, the CPU used and the resident memory. The first run feeds
// nothing and is the baseline the others compare with.
//
//   monitor_bench [--rates 0,1000,5000,10000] [--seconds 10] [--answers-per-request 1]
//
// A rate counts records: requests and answer records together. With --answers-per-request 3
// each request is followed by three answer records, as the panel publishes them.
#include "model/register_map.h"
#include "tools/port_observer_window.h"
#include "tools/port_observers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRadioButton>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

long ResidentKiB(const char *field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLong();
    return -1;
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QString ArgValue(const QStringList &args, const QString &name, const QString &fallback) {
    const int i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
}

// The records of a busy line: reads of a few registers, each answered.
class Feeder {
public:
    explicit Feeder(int answersPerRequest) : m_answers(answersPerRequest) {}

    void Publish() {
        const int step = m_count % (1 + m_answers);
        if (step == 0) {
            ++m_id;
            TzPortObsRec rec;
            rec.Port = 3;
            rec.Index = m_id;
            rec.Addr = 16;
            rec.Func = 3;
            rec.Reg = TarvexMap::kRegOutputStates1to16 + m_id % 8;
            rec.Cmd = QByteArray::fromHex("1003EA7000018A88");
            rec.Cmd[3] = char(rec.Reg & 0xFF);
            rec.Name = QStringLiteral("DOUT_State 1-16");
            ObserversAddRequest(rec);
        } else {
            TzPortObsRec rec;
            rec.Port = 3;
            rec.Index = m_id;
            rec.Cmd = QByteArray::fromHex("100302000000");
            rec.Cmd[4] = char(m_id & 0xFF);
            rec.Cmd[5] = char(m_id >> 8);
            rec.Value = step == 1 ? QString() : QString::number(m_id & 0xFFFF);
            ObserversAddAnswer(rec);
        }
        ++m_count;
    }
    qint64 Count() const { return m_count; }

private:
    int m_answers;
    qint64 m_count = 0;
    int m_id = 0;
};

struct RunResult {
    qint64 records = 0;
    double longestStallMs = 0;
    double p99GapMs = 0;
    double cpuShare = 0;
    double peakMiB = 0;
    int rowsShown = 0;
};

RunResult Run(int rate, int seconds, int answersPerRequest, QList<TfrmPortObserver *> &monitors) {
    for (TfrmPortObserver *monitor : monitors)
        monitor->Clear();
    QCoreApplication::processEvents();

    Feeder feeder(answersPerRequest);
    RunResult result;
    QList<double> gaps;
    gaps.reserve(seconds * 1200);
    QElapsedTimer clock;
    clock.start();
    qint64 lastBeat = 0;
    long peakKiB = 0;
    const double cpuBefore = ProcessCpuSeconds();

    // The heartbeat: with nothing else to do the loop runs it every millisecond, so the widest
    // gap between two beats is the longest time the loop was busy elsewhere.
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(1);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        gaps.append((now - lastBeat) / 1e6);
        lastBeat = now;
    });
    // Records are published on the GUI thread, as the panel does, catching up with the clock.
    QTimer feed;
    feed.setTimerType(Qt::PreciseTimer);
    feed.setInterval(2);
    QObject::connect(&feed, &QTimer::timeout, [&] {
        const qint64 due = clock.nsecsElapsed() * rate / 1000000000;
        while (feeder.Count() < due)
            feeder.Publish();
    });
    QTimer memory;
    memory.setInterval(100);
    QObject::connect(&memory, &QTimer::timeout,
                     [&] { peakKiB = std::max(peakKiB, ResidentKiB("VmRSS:")); });

    lastBeat = clock.nsecsElapsed();
    heartbeat.start();
    feed.start();
    memory.start();
    while (clock.elapsed() < seconds * 1000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    heartbeat.stop();
    feed.stop();
    memory.stop();

    result.records = feeder.Count();
    result.cpuShare = 100.0 * (ProcessCpuSeconds() - cpuBefore) / (clock.elapsed() / 1000.0);
    std::sort(gaps.begin(), gaps.end());
    if (!gaps.isEmpty()) {
        result.longestStallMs = gaps.last();
        result.p99GapMs = gaps[int(gaps.size() * 0.99)];
    }
    result.peakMiB = peakKiB / 1024.0;
    result.rowsShown = monitors.first()->findChild<QTableView *>("SG")->model()->rowCount();
    return result;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int seconds = ArgValue(args, "--seconds", "10").toInt();
    const int answersPerRequest = ArgValue(args, "--answers-per-request", "1").toInt();
    QList<int> rates;
    for (const QString &rate : ArgValue(args, "--rates", "0,1000,5000,10000").split(','))
        rates << rate.toInt();

    QList<TfrmPortObserver *> monitors;
    for (int i = 0; i < 3; ++i) {
        TfrmPortObserver *monitor = CreatePortObserver(nullptr);
        monitor->findChild<QRadioButton *>("rbDinamica")->click();
        monitor->move(40 * i, 30 * i);
        monitor->show();
        monitors << monitor;
    }

    std::printf("three monitors, dynamic mode, %d s per rate, %d answer record(s) per request, "
                "platform %s\n",
                seconds, answersPerRequest, qPrintable(QGuiApplication::platformName()));
    std::printf("%10s %10s %14s %12s %10s %12s %10s\n", "records/s", "fed", "longest stall",
                "99% gap", "CPU", "peak RSS", "rows");
    for (int rate : rates) {
        const RunResult r = Run(rate, seconds, answersPerRequest, monitors);
        std::printf("%10d %10lld %11.1f ms %9.2f ms %9.1f%% %9.1f MB %10d\n", rate, r.records,
                    r.longestStallMs, r.p99GapMs, r.cpuShare, r.peakMiB, r.rowsShown);
        std::fflush(stdout);
    }
    std::printf("peak resident memory of the process (VmHWM): %.1f MB\n",
                ResidentKiB("VmHWM:") / 1024.0);
    for (TfrmPortObserver *monitor : monitors)
        delete monitor;
    return 0;
}
