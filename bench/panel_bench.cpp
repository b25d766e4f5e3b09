// The connected panel's cost: time from the click on "Подключиться" to filled labels, then, while
// it polls a simulated module (tarvex-sim, wire delay on), full poll cycles per second, the
// queue label between cycles, CPU and resident memory.
//
//   panel_bench [--baud N] [--seconds S] [--runs R] [--burst MS]
#include "app/main_window.h"
#include "app/panel_app.h"
#include "panel/panel_environment.h"
#include "panel/serial_port_list.h"
#include "panel/tarvex.h"
#include "session/tarvex_session.h"
#include "sim_process.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long ResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

QString ArgValue(const QStringList &args, const QString &name, const QString &fallback) {
    const int i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
}

// The read of the second PWM block ends every full poll cycle.
bool IsLastPolledRead(const QByteArray &frame) {
    return frame.startsWith(QByteArray::fromHex("1003ea8f001e"));
}

// What the queue holds just before each poll cycle is queued (a cycle adds its eight reads at
// once), and the label as the display refresh shows it.
struct QueueWatch {
    QList<int> beforeCycle;
    QList<int> labelShown;
    int last = 0;
};

int Median(QList<int> values) {
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values[values.size() / 2];
}

bool LabelsFilled(TfrTarvex &panel) {
    return panel.labVerPO->text() == QStringLiteral("1.00") &&
           panel.labPower1->text().endsWith(QStringLiteral(" В")) &&
           panel.txtMAC->text() != QStringLiteral("AA-BB-CC-DD-EE-FF");
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString baud = ArgValue(args, "--baud", "115200");
    const int seconds = ArgValue(args, "--seconds", "20").toInt();
    const int runs = ArgValue(args, "--runs", "10").toInt();
    const QString burst = ArgValue(args, "--burst", QString());

    QStringList simArgs = {"--wire-delay", "--log-frames", "--baud", baud};
    if (!burst.isEmpty())
        simArgs << "--burst" << burst;
    SimProcess sim(simArgs);
    if (!sim.start()) {
        std::fprintf(stderr, "tarvex-sim did not start\n");
        return 1;
    }
    const QString port = sim.portPath();
    SetSerialPortSource([port] { return QStringList{port}; });
    const QTemporaryDir optionsDir; // no options of an earlier run
    SetPanelExeDir(optionsDir.path());
    TzPanelApp program;
    TfrmMain &mainWindow = program.MainWindow();
    mainWindow.show();
    TfrTarvex *panel = program.Panel();
    panel->findChild<QComboBox *>("cbLineBaudRate")->setCurrentText(baud);
    auto *btnConnect = panel->findChild<QPushButton *>("btnConnect");

    // Click to filled labels, over several connections.
    QList<qint64> times;
    for (int run = 0; run < runs; ++run) {
        panel->ClearLabels(QStringLiteral("..."));
        panel->txtMAC->setText(QStringLiteral("AA-BB-CC-DD-EE-FF"));
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(btnConnect, Qt::LeftButton);
        if (!QTest::qWaitFor([&] { return LabelsFilled(*panel); }, 5000)) {
            std::fprintf(stderr, "labels not filled within 5 s\n");
            return 1;
        }
        times.append(clock.elapsed());
        if (run + 1 < runs) {
            QTest::mouseClick(btnConnect, Qt::LeftButton); // disconnect
            QTest::qWait(300);
        }
    }
    std::sort(times.begin(), times.end());
    std::printf("click to filled labels at %s bit/s, %d connections: min %lld ms, median %lld ms, "
                "max %lld ms (budget 1000 ms)\n",
                qPrintable(baud), runs, times.first(), times[times.size() / 2], times.last());

    // A connected, polling panel.
    QTest::qWait(1000);
    QueueWatch queue;
    QTimer sampler;
    TarvexSession &session = program.Session();
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const int pending = session.PendingAnswerCount();
        if (pending >= queue.last + 7)
            queue.beforeCycle.append(queue.last);
        queue.last = pending;
    });
    // What the label shows, sampled as a person would glance at it: twice a second.
    QTimer glance;
    QObject::connect(&glance, &QTimer::timeout,
                     [&] { queue.labelShown.append(panel->labTest->text().toInt()); });
    sampler.start(2);
    glance.start(500);
    sim.clearFrames();
    const double cpuBefore = ProcessCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    long peakKiB = 0;
    while (wall.elapsed() < seconds * 1000) {
        QTest::qWait(500);
        peakKiB = std::max(peakKiB, ResidentKiB());
    }
    const double wallSeconds = wall.elapsed() / 1000.0;
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    sampler.stop();
    glance.stop();
    const QList<SimProcess::Frame> frames = sim.frames();
    const auto cycles = std::count_if(frames.begin(), frames.end(), [](const auto &frame) {
        return IsLastPolledRead(frame.bytes);
    });
    const auto drained = std::count_if(queue.beforeCycle.begin(), queue.beforeCycle.end(),
                                       [](int n) { return n <= 1; });
    std::printf("polling for %.0f s at %s bit/s%s: %.2f full poll cycles per second (goal 4 from "
                "19200, 3 at 9600), %lld request frames, %lld collisions\n",
                wallSeconds, qPrintable(baud),
                burst.isEmpty() ? "" : qPrintable(" in " + burst + " ms bursts"),
                double(cycles) / wallSeconds, qlonglong(frames.size()),
                qlonglong(sim.collisions().size()));
    std::printf("queue before a cycle is queued: 0 or 1 in %lld of %lld cycles, max %d; label "
                "shown: median %d, max %d\n",
                qlonglong(drained), qlonglong(queue.beforeCycle.size()),
                queue.beforeCycle.isEmpty()
                    ? -1
                    : *std::max_element(queue.beforeCycle.begin(), queue.beforeCycle.end()),
                Median(queue.labelShown),
                queue.labelShown.isEmpty()
                    ? -1
                    : *std::max_element(queue.labelShown.begin(), queue.labelShown.end()));
    std::printf("CPU %.2f%% of one core (budget 3%%), resident memory peak %.1f MB (budget 80 MB), "
                "still connected: %s\n",
                100.0 * cpu / wallSeconds, peakKiB / 1024.0, session.isConnected() ? "yes" : "no");
    return 0;
}
