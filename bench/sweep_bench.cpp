// The device search's sweep over every baud rate and format of the panel, with the panel's
// minimum time-outs, against a line where nothing answers (tarvex-sim --silent: it hears every
// probe and answers none). Prints the sweep's duration next to the sum of its per-probe
// time-outs, the least it can take.
//
//   sweep_bench [--first 1] [--last 247]
//
// A pseudo-terminal refuses even parity, so the sweep passes over the 8E1 lines here; the sum
// is given for the lines that ran and for all of them.
#include "app/panel_app.h"
#include "panel/panel_environment.h"
#include "panel/serial_port_list.h"
#include "session/find_device.h"
#include "sim_process.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QString ArgValue(const QStringList &args, const QString &name, const QString &fallback) {
    const int i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int first = ArgValue(args, "--first", "1").toInt();
    const int last = ArgValue(args, "--last", "247").toInt();
    const int addresses = last - first + 1;

    SimProcess sim({"--silent"});
    if (!sim.start()) {
        std::fprintf(stderr, "tarvex-sim did not start\n");
        return 1;
    }
    const QString port = sim.portPath();
    SetSerialPortSource([port] { return QStringList{port}; });
    QTemporaryDir panelDir;
    SetPanelExeDir(panelDir.path());

    // The panel's sweep: the time-out field at 10 ms gives every rate its minimum.
    TzPanelApp program;
    const QList<TzFindLine> lines = SearchSweepLines(10);

    TfrmFindDevice &engine = program.FindDevice();
    engine.SetComPort(port);
    engine.Lines = lines;
    engine.FirstAddr = first;
    engine.LastAddr = last;
    engine.Cycled = false;
    QList<TzFindLine> linesRun;
    qint64 probes = 0;
    QObject::connect(&engine, &TfrmFindDevice::OnFindLine, &engine,
                     [&](const TzFindLine &line) { linesRun.append(line); });
    QObject::connect(&engine, &TfrmFindDevice::OnFindProcess, &engine, [&] { ++probes; });
    QObject::connect(&engine, &TfrmFindDevice::ShowWarning, &engine, [](const QString &text) {
        std::fprintf(stderr, "warning: %s\n", qPrintable(text));
    });

    QElapsedTimer clock;
    clock.start();
    if (!engine.Start())
        return 1;
    while (engine.InFindProgress())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    const double seconds = clock.nsecsElapsed() / 1e9;

    double sumRun = 0, sumAll = 0;
    for (const TzFindLine &line : linesRun)
        sumRun += double(addresses) * line.Timeout / 1000.0;
    for (const TzFindLine &line : lines)
        sumAll += double(addresses) * line.Timeout / 1000.0;
    std::printf("sweep over %lld lines (%lld rates x 4 formats), addresses %d..%d, silent line\n",
                qlonglong(lines.size()), qlonglong(lines.size() / 4), first, last);
    std::printf("lines run: %lld (the others refused by the port), probes answered by time-out: "
                "%lld\n",
                qlonglong(linesRun.size()), probes);
    std::printf("duration %.1f s; sum of per-probe time-outs of the lines run %.1f s "
                "(+10%%: %.1f s); ratio %.3f; overhead per probe %.2f ms\n",
                seconds, sumRun, sumRun * 1.1, seconds / sumRun,
                probes ? (seconds - sumRun) * 1000.0 / probes : 0.0);
    std::printf("sum of per-probe time-outs over all %lld lines: %.1f s (+10%%: %.1f s)\n",
                qlonglong(lines.size()), sumAll, sumAll * 1.1);
    return 0;
}
