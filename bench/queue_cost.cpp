// What queueing a frame on TzFreePort costs, and what its worker thread costs while idle:
// (a) heap allocations and time per SendCmd/SendCmdForce, counted on the calling thread by a
//     replaced global operator new and an interposed malloc; (b) CPU time of the worker thread
//     over an idle period, read from /proc/self/task/<tid>/schedstat (nanoseconds) and
//     .../stat (clock ticks).
#include "pty_peer.h"
#include "transport/free_port.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

// --- Allocation counting (this thread only) ------------------------------------------------
// operator new is replaced, and malloc is interposed as well because Qt's containers allocate
// with malloc directly.

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *p, size_t size);
void __libc_free(void *p);
}

namespace {
thread_local long t_allocations = 0;
}

extern "C" void *malloc(size_t size) {
    ++t_allocations;
    return __libc_malloc(size);
}
extern "C" void *calloc(size_t count, size_t size) {
    ++t_allocations;
    return __libc_calloc(count, size);
}
extern "C" void *realloc(void *p, size_t size) {
    ++t_allocations;
    return __libc_realloc(p, size);
}
extern "C" void free(void *p) {
    __libc_free(p);
}

void *operator new(std::size_t size) {
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void *operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void *p) noexcept {
    std::free(p);
}
void operator delete[](void *p) noexcept {
    std::free(p);
}
void operator delete(void *p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void *p, std::size_t) noexcept {
    std::free(p);
}

namespace {
constexpr int kFrames = 200; // below the queue's reserved room
constexpr int kIdleSeconds = 5;

struct Cost {
    long allocations = 0;
    double nsPerCall = 0;
};

std::vector<TStringBytes> MakeFrames() {
    std::vector<TStringBytes> frames(kFrames);
    for (int i = 0; i < kFrames; ++i)
        frames[size_t(i)] = TStringBytes::FromBytes(
            {0x01, 0x03, uint8_t(i >> 8), uint8_t(i), 0x00, 0x01, 0xAA, 0x55});
    return frames;
}

// Coil writes (function 05): each to a coil of its own, or all to one coil, on and off in turn.
std::vector<TStringBytes> MakeCoilWrites(bool oneCoil) {
    std::vector<TStringBytes> frames(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        const int coil = oneCoil ? 0 : i;
        const uint8_t value = (oneCoil && i % 2 == 1) ? 0x00 : 0xFF;
        frames[size_t(i)] = TStringBytes::FromBytes(
            {0x01, 0x05, uint8_t(coil >> 8), uint8_t(coil), value, 0x00, 0xAA, 0x55});
    }
    return frames;
}

template <typename Queue> Cost Measure(const std::vector<TStringBytes> &frames, Queue queue) {
    const long before = t_allocations;
    QElapsedTimer timer;
    timer.start();
    for (const TStringBytes &frame : frames)
        queue(frame);
    const qint64 ns = timer.nsecsElapsed();
    return {t_allocations - before, double(ns) / double(frames.size())};
}

void PrintCost(const char *what, const Cost &cost) {
    std::printf("  %-50s %6ld allocations in %d calls, %8.0f ns per call\n", what, cost.allocations,
                kFrames, cost.nsPerCall);
}

void QueueingCost(TzFreePort &port, const std::vector<TStringBytes> &frames) {
    PrintCost("SendCmd, distinct frames",
              Measure(frames, [&](const TStringBytes &f) { port.SendCmd(f, 1); }));
    PrintCost("SendCmd, refused duplicates (full scan)",
              Measure(frames, [&](const TStringBytes &f) { port.SendCmd(f, 1); }));
    port.ClearRequestList();
    PrintCost("SendCmdForce priority 1, distinct frames",
              Measure(frames, [&](const TStringBytes &f) { port.SendCmdForce(f, 1, 1); }));
    port.ClearRequestList();
    const auto force = [&](const TStringBytes &f) { port.SendCmdForce(f, 1, 1); };
    PrintCost("SendCmdForce priority 1, writes to distinct coils",
              Measure(MakeCoilWrites(false), force));
    port.ClearRequestList();
    PrintCost("SendCmdForce priority 1, on/off to one coil", Measure(MakeCoilWrites(true), force));
    port.ClearRequestList();
}

// --- Worker thread CPU -----------------------------------------------------------------------

QString WorkerTaskDir() {
    const QDir tasks("/proc/self/task");
    for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(tid + "/comm"));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "TzFreePort")
            return tasks.filePath(tid);
    }
    return {};
}

// Run time in nanoseconds from schedstat, or -1 when the kernel does not keep it.
long long SchedNs(const QString &taskDir) {
    QFile file(taskDir + "/schedstat");
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return file.readAll().split(' ').value(0).toLongLong();
}

// utime + stime in clock ticks from stat (fields 14 and 15).
long long StatTicks(const QString &taskDir) {
    QFile file(taskDir + "/stat");
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = file.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

double ProcessCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

void ProcessEventsFor(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}

int IdleCpu(TzFreePort &port, PtyPeer &peer) {
    int answered = 0;
    port.SetOnAsyncAnswerProc([&](int, uint32_t, const TStringBytes &, uint32_t) { ++answered; });
    port.LocTimeouts().ReadIntervalTimeout = 10;
    port.LocTimeouts().ReadTotalTimeoutConstant = 100;
    if (!port.Start()) {
        std::printf("cannot open %s: %s\n", qPrintable(peer.slavePath()),
                    qPrintable(port.LastOpenErrorText()));
        return 1;
    }
    // A few exchanges first, so the idle period follows real work; the peer stays silent.
    for (uint8_t i = 0; i < 3; ++i)
        port.SendCmd(TStringBytes::FromBytes({0x01, i}), 1);
    ProcessEventsFor(1500);
    const QString task = WorkerTaskDir();
    if (task.isEmpty()) {
        std::printf("worker thread not found in /proc/self/task\n");
        return 1;
    }

    const long long ns0 = SchedNs(task), ticks0 = StatTicks(task);
    const double process0 = ProcessCpuMs();
    QElapsedTimer wall;
    wall.start();
    QThread::sleep(kIdleSeconds);
    const double wallMs = double(wall.elapsed());
    const long long ns1 = SchedNs(task), ticks1 = StatTicks(task);
    const double processMs = ProcessCpuMs() - process0;

    const long tick = sysconf(_SC_CLK_TCK);
    std::printf("Worker thread idle (%s), %d exchanges before, %.0f ms of wall time:\n",
                qPrintable(task), answered, wallMs);
    if (ns0 >= 0)
        std::printf("  worker CPU (schedstat)  %10.3f ms  = %.4f %% of a core\n",
                    double(ns1 - ns0) / 1e6, double(ns1 - ns0) / 1e4 / wallMs);
    std::printf("  worker CPU (stat)       %10lld ticks of %ld Hz = %.1f ms\n", ticks1 - ticks0,
                tick, double(ticks1 - ticks0) * 1e3 / double(tick));
    std::printf("  whole process CPU       %10.3f ms  = %.4f %% of a core\n", processMs,
                processMs * 100 / wallMs);
    return 0;
}
} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const std::vector<TStringBytes> frames = MakeFrames();

    std::printf("Queueing %d frames of %zu-byte TStringBytes (allocations on the calling "
                "thread):\n",
                kFrames, sizeof(TStringBytes));
    const long control = t_allocations;
    const QByteArray qtBytes(1024, 'x'); // shows that the counter counts
    const std::vector<char> stdBytes(1024, 'x');
    std::printf(" control: a 1 KiB QByteArray and a 1 KiB std::vector make %ld allocation(s)\n",
                t_allocations - control);
    std::printf(" never started (requests wait):\n");
    {
        TzFreePort port("/dev/tarvex-bench-no-such-port");
        QueueingCost(port, frames);
    }

    PtyPeer peer;
    if (!peer.isOpen()) {
        std::printf("no pseudo-terminal\n");
        return 1;
    }
    std::printf(" started, the worker waiting for the answer to the head:\n");
    {
        TzFreePort port(peer.slavePath());
        port.LocTimeouts().ReadTotalTimeoutConstant = 60'000;
        if (!port.Start())
            return 1;
        port.SendCmd(TStringBytes::FromBytes({0x7F, 0x7F}), 1);
        QThread::msleep(100); // the head is on the line
        QueueingCost(port, frames);
    }

    TzFreePort port(peer.slavePath());
    return IdleCpu(port, peer);
}
