#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

// A tarvex-sim process serving one pseudo-terminal, for tests and benchmarks.
// The simulator prints its port path on its first line; with --log-frames every frame it
// receives follows as "RX <ms since start> <hex bytes>", every answer as "TX <ms> <hex>" when
// it starts to go out and "TX-END <ms>" once it has reached the port, and what the master sent
// while an answer was on its way as "COLLISION <ms> <hex>".
class SimProcess {
public:
    struct Frame {
        qint64 ms = 0;
        QByteArray bytes;
        qint64 endMs = -1; // an answer: when it had reached the port, -1 while on its way
    };

    explicit SimProcess(const QStringList &args = {});
    ~SimProcess();

    bool start(int timeoutMs = 5000); // false when it did not print its port path in time
    QString portPath() const { return m_portPath; }

    void command(const QString &line); // a line on the simulator's standard input
    // The same commands by register number: "set coil|input|holding REG VALUE",
    // "exception REG CODE [COUNT]" (COUNT 0: until switched off), "exception REG off".
    void setCoil(int reg, bool on);
    void setInput(int reg, int value);
    void setHolding(int reg, int value);
    void setException(int reg, int code, int count = 0);
    void clearException(int reg);
    // The command-line option of an exception rule: "--exception REG:CODE".
    static QStringList exceptionArgs(int reg, int code);
    void closeInput(); // the simulator goes on without its standard input

    QList<Frame> frames();  // every frame received since start or the last clearFrames()
    QList<Frame> answers(); // every answer sent since start or the last clearFrames()
    // Bytes that arrived while an answer was on its way (a collision on a half-duplex line).
    QList<Frame> collisions();
    void clearFrames();
    // Blocks this thread until at least count frames arrived in total; a GUI test, whose
    // event loop must keep running, polls frames() with QTRY_VERIFY instead.
    bool waitForFrames(int count, int timeoutMs);
    QString errorOutput(); // what the simulator wrote to its standard error

    void stop();

private:
    void readOutput();

    QStringList m_args;
    QProcess m_process;
    QString m_portPath;
    QByteArray m_pending;
    QList<Frame> m_frames;
    QList<Frame> m_answers;
    QList<Frame> m_collisions;
};
