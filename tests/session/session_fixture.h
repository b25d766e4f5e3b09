#pragma once

#include "session/tarvex_session.h"
#include "session/test_patterns.h"
#include "sim_process.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QStringList>

#include <memory>

class QTimer;
class TzFreePort;

// Reaches what a session keeps to itself: its serial worker, and its polling timer to hold the
// polling still.
class TarvexSessionTestAccess {
public:
    static TzFreePort *FreePort(TarvexSession &session) { return session.FreePort.get(); }
    static QTimer &OprosTimer(TarvexSession &session) { return session.OprosTimer; }
};

// Reaches the test patterns' timers, to step them by hand, and their display-only switch.
class TzTestPatternsTestAccess {
public:
    static QTimer &SnakeTimer(TzTestPatterns &patterns) { return patterns.SnakeTimer; }
    static QTimer &Runner_Timer(TzTestPatterns &patterns) { return patterns.Runner_Timer; }
    static void SetSnakeSilence(TzTestPatterns &patterns, bool silent) {
        patterns.SnakeSilence = silent;
    }
};

// The lines a session logged, newest first, with their colours.
class SessionLog : public QObject {
public:
    explicit SessionLog(TarvexSession &session);
    QStringList lines() const { return m_lines; }
    bool has(const QString &text, quint32 colour) const;
    int count(const QString &text) const { return int(m_lines.count(text)); }
    bool contains(const QString &part) const { return m_lines.join('\n').contains(part); }
    QString all() const { return m_lines.join('\n'); } // for failure messages
    void clear();

private:
    QStringList m_lines;
    QList<quint32> m_colours;
};

// A session on its own tarvex-sim over a real pseudo-terminal, with its log recorded.
class SessionFixture {
public:
    explicit SessionFixture(const QStringList &simArgs = {});
    ~SessionFixture();

    bool ok() const { return m_ok; }
    TarvexSession &session() { return *m_session; }
    SimProcess &sim() { return m_sim; }
    SessionLog &log() { return *m_log; }

    // The simulator's port at 9600 bit/s, 8N1, address 16, 20 ms.
    TarvexLineSettings line() const;
    bool connect() { return m_session->connectTo(line()); }
    // Connects and waits for the polling to start.
    bool connectAndPoll(int timeoutMs = 3000) { return connectAndPoll(line(), timeoutMs); }
    bool connectAndPoll(const TarvexLineSettings &line, int timeoutMs = 3000);
    bool polling() const;

    // Frames the simulator received, as upper-case hex text "10 04 90 00 00 01 ..".
    QStringList simFrames();

private:
    SimProcess m_sim;
    std::unique_ptr<TarvexSession> m_session;
    std::unique_ptr<SessionLog> m_log;
    bool m_ok = false;
};

// The single-output switches (coil writes) waiting for their answers, in queueing order:
// output number and the state written.
QList<QPair<int, bool>> QueuedOutputWrites(const TarvexSession &session);
// The values written to a register that wait for their answers, in queueing order.
QList<int> QueuedRegisterWrites(const TarvexSession &session, int reg);

// A read request (without its CRC) and a write request (function 05 or 06, CRC included) to the
// module at address 16, as simFrames() shows them; and the writes among such frames.
QString ReadRequestText(int function, int reg, int count);
// The eight reads of one poll cycle, in their order, as ReadRequestText shows them.
QStringList PolledReadRequests();
QString WriteFrameText(int function, int reg, int value);
QStringList WritesOf(const QStringList &frames);
// Sorted: for comparing writes where only which of them went out matters.
QStringList Sorted(QStringList frames);
