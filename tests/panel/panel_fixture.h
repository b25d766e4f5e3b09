#pragma once

#include "panel/tarvex.h"
#include "sim_process.h"

#include <QStringList>

#include <memory>

class TfrmTempLog;

// A panel wired to its own tarvex-sim over a real pseudo-terminal, with a fresh message log.
class PanelFixture {
public:
    explicit PanelFixture(const QStringList &simArgs = {});
    ~PanelFixture();

    bool ok() const { return m_ok; }
    TfrTarvex &panel() { return *m_panel; }
    SimProcess &sim() { return m_sim; }

    void clickConnect();                       // a mouse click on the connect button
    bool connectAndPoll(int timeoutMs = 3000); // connects and waits for the polling to start

    // Frames the simulator received, as upper-case hex text "10 04 90 00 00 01 ..".
    QStringList simFrames();

private:
    SimProcess m_sim;
    std::unique_ptr<TfrTarvex> m_panel;
    bool m_ok = false;
};

// Gives the next panel an empty folder of its own for Options.xml, with the user's
// configuration folder inside it as "config" (and resets its command line to the real one), so
// that no test sees the options another one saved.
QString UseFreshPanelDir();

// The single-output switches (coil writes) waiting for their answers, in queueing order:
// output number and the state written.
QList<QPair<int, bool>> QueuedOutputWrites(const TfrTarvex &panel);

// A write request (function 05 or 06) to the module at address 16, CRC included, as simFrames()
// shows it; and the writes among such frames.
QString WriteFrameText(int function, int reg, int value);
QStringList WritesOf(const QStringList &frames);

// The message log, newest line first.
QStringList LogLines();
bool LogHasLine(const QString &text, quint32 color);
int LogCount(const QString &text);
void ResetLog(); // empties the log and recreates its window with the nine counter lines
// The log window ResetLog made, handed to every PanelFixture's panel; DeleteLogWindow ends it
// before the application object goes.
TfrmTempLog *LogWindow();
void DeleteLogWindow();
