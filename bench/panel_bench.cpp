// The connected panel's cost: time from the click on "Подключиться" to filled labels, then CPU
// and resident memory while it polls a simulated module (tarvex-sim, wire delay on).
//
//   panel_bench [--baud N] [--seconds S] [--runs R]
#include "app/main_window.h"
#include "panel/serial_port_list.h"
#include "panel/tarvex.h"
#include "panel/tarvex_registration.h"
#include "sim_process.h"
#include "tools/temp_log_window.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

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

    SimProcess sim({"--wire-delay", "--log-frames", "--baud", baud});
    if (!sim.start()) {
        std::fprintf(stderr, "tarvex-sim did not start\n");
        return 1;
    }
    const QString port = sim.portPath();
    SetSerialPortSource([port] { return QStringList{port}; });
    RegisterTarvexPanel();
    TfrmMain mainWindow;
    TfrmTempLog tempLog;
    mainWindow.show();
    auto *panel = qobject_cast<TfrTarvex *>(mainWindow.Frame());
    panel->cbLineBaudRate->setCurrentText(baud);

    // Click to filled labels, over several connections.
    QList<qint64> times;
    for (int run = 0; run < runs; ++run) {
        panel->ClearLabels(QStringLiteral("..."));
        panel->txtMAC->setText(QStringLiteral("AA-BB-CC-DD-EE-FF"));
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(panel->btnConnect, Qt::LeftButton);
        if (!QTest::qWaitFor([&] { return LabelsFilled(*panel); }, 5000)) {
            std::fprintf(stderr, "labels not filled within 5 s\n");
            return 1;
        }
        times.append(clock.elapsed());
        if (run + 1 < runs) {
            QTest::mouseClick(panel->btnConnect, Qt::LeftButton); // disconnect
            QTest::qWait(300);
        }
    }
    std::sort(times.begin(), times.end());
    std::printf("click to filled labels at %s bit/s, %d connections: min %lld ms, median %lld ms, "
                "max %lld ms (budget 1000 ms)\n",
                qPrintable(baud), runs, times.first(), times[times.size() / 2], times.last());

    // A connected, polling panel.
    QTest::qWait(1000);
    const double cpuBefore = ProcessCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    long peakKiB = 0;
    while (wall.elapsed() < seconds * 1000) {
        QTest::qWait(500);
        peakKiB = std::max(peakKiB, ResidentKiB());
    }
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    const double share = 100.0 * cpu / (wall.elapsed() / 1000.0);
    const int exchanges = int(sim.frames().size());
    std::printf(
        "polling for %d s: CPU %.2f%% of one core (budget 3%%), resident memory peak %.1f MB "
        "(budget 80 MB), %d frames on the line in total, still connected: %s\n",
        seconds, share, peakKiB / 1024.0, exchanges, panel->Connected ? "yes" : "no");
    return 0;
}
