#include "panel_app.h"

#include "application.h"
#include "main_window.h"
#include "panel/panel_environment.h"
#include "panel/search_panel.h"
#include "panel/serial_port_list.h"
#include "panel/tarvex.h"
#include "session/find_device.h"
#include "session/remote_control.h"
#include "session/session_options.h"
#include "session/tarvex_session.h"
#include "tarvex_registration.h"
#include "tools/port_observers.h"
#include "tools/temp_log.h"
#include "tools/temp_log_window.h"
#include "tools/ver_info_window.h"

#include <QPointer>

void WireSessionToTools(TarvexSession &session) {
    QObject::connect(&session, &TarvexSession::logLine, &session, &TempLogAdd);
    QObject::connect(&session, &TarvexSession::exceptionCounted, &session, &TempLogSetErrors);
    QObject::connect(&session, &TarvexSession::frameSent, &session, &ObserversAddRequest);
    QObject::connect(&session, &TarvexSession::answerReceived, &session, &ObserversAddAnswer);
}

void WireOptionsToTools(TzSessionOptions &options, TzRemoteControl &remote) {
    QObject::connect(&options, &TzSessionOptions::logLine, &options, &TempLogAdd);
    QObject::connect(&remote, &TzRemoteControl::logLine, &remote, &TempLogAdd);
}

TzPanelApp::TzPanelApp(const QStringList &arguments) {
    m_session = std::make_unique<TarvexSession>();
    WireSessionToTools(*m_session);
    m_options =
        std::make_unique<TzSessionOptions>(*m_session, PanelExeDir(), PanelConfigDir(), arguments);
    m_remote = std::make_unique<TzRemoteControl>(*m_session, m_http, *m_options);
    WireOptionsToTools(*m_options, *m_remote);
    m_options->LoadOptions();
    m_remote->LoadHTTPOptions();
    // The panel module registers its frame class before the main window asks for it.
    RegisterTarvexPanel(m_session.get(), m_options.get(), m_remote.get());
    m_mainWindow = std::make_unique<TfrmMain>(arguments);
    m_verInfo = std::make_unique<TfrmVerInfo>(m_mainWindow.get());
    // The search engine may open the ports the system offers now.
    m_findDevice = std::make_unique<TfrmFindDevice>(SystemSerialPorts());
    m_tempLog = std::make_unique<TfrmTempLog>();

    m_mainWindow->SetTempLog(m_tempLog.get());
    m_panel = qobject_cast<TfrTarvex *>(m_mainWindow->Frame());
    if (m_panel) {
        m_panel->frmTempLog = m_tempLog.get();
        m_panel->frmVerInfo = m_verInfo.get();
        m_panel->panFind->SetEngine(m_findDevice.get());
        // An error escaping an event handler is logged by the panel.
        TApplication::SetExceptionHandler([panel = QPointer<TfrTarvex>(m_panel)](const QString &m) {
            if (panel)
                panel->AppException(m);
        });
    }
}

TzPanelApp::~TzPanelApp() {
    if (m_panel)
        TApplication::SetExceptionHandler(nullptr);
    // Torn down in the reverse order of building.
    m_tempLog.reset();
    m_findDevice.reset();
    m_verInfo.reset();
    m_mainWindow.reset();
    m_remote.reset();
    m_options.reset();
    m_session.reset();
}
