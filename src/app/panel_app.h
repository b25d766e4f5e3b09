#pragma once

#include "support/http_request.h"

#include <QCoreApplication>
#include <QStringList>

#include <memory>

class TarvexSession;
class TfrTarvex;
class TfrmFindDevice;
class TfrmMain;
class TfrmTempLog;
class TfrmVerInfo;
class TzRemoteControl;
class TzSessionOptions;

// The session's log lines and exception counts go to the message log, its requests and answers
// to the open line monitors.
void WireSessionToTools(TarvexSession &session);
// The log lines of the options and of the remote control go to the message log.
void WireOptionsToTools(TzSessionOptions &options, TzRemoteControl &remote);

// The panel program's objects, built once and wired together: the Tarvex session with its options
// (loaded) and its remote control, the main window with the panel bound to them, the version
// history, the device search engine and the message log window. The panel program, the
// documentation's screenshots and the benchmarks all build it; none repeats the wiring. Needs the
// application object; shows nothing by itself.
class TzPanelApp {
public:
    // arguments: the command line, program name first.
    explicit TzPanelApp(const QStringList &arguments = QCoreApplication::arguments());
    ~TzPanelApp();
    TzPanelApp(const TzPanelApp &) = delete;
    TzPanelApp &operator=(const TzPanelApp &) = delete;

    TarvexSession &Session() const { return *m_session; }
    TzSessionOptions &Options() const { return *m_options; }
    TzRemoteControl &RemoteControl() const { return *m_remote; }
    TfrmMain &MainWindow() const { return *m_mainWindow; }
    TfrTarvex *Panel() const { return m_panel; } // the main window's frame
    TfrmVerInfo &VerInfo() const { return *m_verInfo; }
    TfrmFindDevice &FindDevice() const { return *m_findDevice; }
    TfrmTempLog &TempLog() const { return *m_tempLog; }

private:
    std::unique_ptr<TarvexSession> m_session; // outlives the panel bound to it
    TzHTTP_Request m_http;                    // the web service's client
    std::unique_ptr<TzSessionOptions> m_options;
    std::unique_ptr<TzRemoteControl> m_remote;
    std::unique_ptr<TfrmMain> m_mainWindow;
    std::unique_ptr<TfrmVerInfo> m_verInfo;
    std::unique_ptr<TfrmFindDevice> m_findDevice;
    std::unique_ptr<TfrmTempLog> m_tempLog;
    TfrTarvex *m_panel = nullptr;
};
