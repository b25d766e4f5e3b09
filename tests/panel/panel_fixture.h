#pragma once

#include "child_widget.h"
#include "panel/tarvex.h"
#include "session/remote_control.h"
#include "session/session_options.h"
#include "session_fixture.h"
#include "support/http_request.h"

#include <QStringList>

#include <memory>

class TfrmFindDevice;
class TfrmTempLog;

// A session wired to the message log and the line monitors as the program wires it.
class WiredSession : public TarvexSession {
public:
    WiredSession();
};

// The options and the remote control of a session, built, wired to the message log and loaded
// as the program does it, from the panel's folders and command line (UseFreshPanelDir).
struct SessionParts {
    explicit SessionParts(TarvexSession &session);
    TzHTTP_Request Http;
    TzSessionOptions Options;
    TzRemoteControl Remote;
};

// Holds a panel's session and its parts so that they are built before the panel and outlive it.
struct TestPanelSession {
    WiredSession OwnSession;
    SessionParts Parts{OwnSession};
};

// A panel bound to a session of its own, for tests without a module.
class TestPanel : private TestPanelSession, public TfrTarvex {
public:
    TestPanel() : TfrTarvex(&OwnSession, &Parts.Options, &Parts.Remote) {}
    TzSessionOptions &options() { return Parts.Options; }
    TzRemoteControl &remote() { return Parts.Remote; }
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
    TzSessionOptions &options() { return m_parts->Options; }
    TzRemoteControl &remote() { return m_parts->Remote; }
    SimProcess &sim() { return m_module.sim(); }

    void clickConnect();                       // a mouse click on the connect button
    bool connectAndPoll(int timeoutMs = 3000); // connects and waits for the polling to start
    bool polling() const { return m_module.polling(); }

    // Frames the simulator received, as upper-case hex text "10 04 90 00 00 01 ..".
    QStringList simFrames() { return m_module.simFrames(); }

private:
    SessionFixture m_module;
    std::unique_ptr<SessionParts> m_parts;
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
