#pragma once

#include "panel/tarvex.h"
#include "session_fixture.h"

#include <QStringList>

#include <memory>

class TfrmFindDevice;
class TfrmTempLog;

// A session wired to the message log and the line monitors as the program wires it.
class WiredSession : public TarvexSession {
public:
    WiredSession();
};

// Holds a panel's session so that it is built before the panel and outlives it.
struct TestPanelSession {
    WiredSession OwnSession;
};

// A panel bound to a session of its own, for tests without a module.
class TestPanel : private TestPanelSession, public TfrTarvex {
public:
    TestPanel() : TfrTarvex(&OwnSession) {}
};

// A panel wired to its own tarvex-sim over a real pseudo-terminal, through a session wired as
// the program wires it, with a search engine and a fresh message log.
class PanelFixture {
public:
    explicit PanelFixture(const QStringList &simArgs = {});
    ~PanelFixture();

    bool ok() const { return m_ok; }
    TfrTarvex &panel() { return *m_panel; }
    // The search engine handed to the panel, as the program hands it; it may open the
    // simulator's port.
    TfrmFindDevice &engine() { return *m_engine; }
    TarvexSession &session() { return m_module.session(); }
    SimProcess &sim() { return m_module.sim(); }

    void clickConnect();                       // a mouse click on the connect button
    bool connectAndPoll(int timeoutMs = 3000); // connects and waits for the polling to start
    bool polling() const { return m_module.polling(); }

    // Frames the simulator received, as upper-case hex text "10 04 90 00 00 01 ..".
    QStringList simFrames() { return m_module.simFrames(); }

private:
    SessionFixture m_module;
    std::unique_ptr<TfrmFindDevice> m_engine;
    std::unique_ptr<TfrTarvex> m_panel;
    bool m_ok = false;
};

// Gives the next panel an empty folder of its own for Options.xml, with the user's
// configuration folder inside it as "config" (and resets its command line to the real one), so
// that no test sees the options another one saved.
QString UseFreshPanelDir();

// The message log, newest line first.
QStringList LogLines();
bool LogHasLine(const QString &text, quint32 color);
int LogCount(const QString &text);
void ResetLog(); // empties the log and recreates its window with the nine counter lines
// The log window ResetLog made, handed to every PanelFixture's panel; DeleteLogWindow ends it
// before the application object goes.
TfrmTempLog *LogWindow();
void DeleteLogWindow();
