#include "panel_fixture.h"

#include "app/panel_app.h"
#include "panel/panel_environment.h"
#include "panel/search_panel.h"
#include "panel/serial_port_list.h"
#include "session/find_device.h"
#include "tools/temp_log.h"
#include "tools/temp_log_window.h"

#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

WiredSession::WiredSession() {
    WireSessionToTools(*this);
}

SessionParts::SessionParts(TarvexSession &session)
    : Options(session, PanelExeDir(), PanelConfigDir(), PanelArguments()),
      Remote(session, Http, Options) {
    WireOptionsToTools(Options, Remote);
    Options.LoadOptions();
    Remote.LoadHTTPOptions();
}

PanelFixture::PanelFixture(const QStringList &simArgs) : m_module(simArgs) {
    UseFreshPanelDir();
    if (!m_module.ok())
        return;
    WireSessionToTools(m_module.session());
    const QString port = m_module.sim().portPath();
    SetSerialPortSource([port] { return QStringList{port}; });
    m_parts = std::make_unique<SessionParts>(m_module.session());
    m_engine = std::make_unique<TfrmFindDevice>(QStringList{port});
    m_panel = std::make_unique<TfrTarvex>(&m_module.session(), &m_parts->Options, &m_parts->Remote);
    m_panel->panFind->SetEngine(m_engine.get());
    m_panel->frmTempLog = LogWindow();
    m_panel->resize(700, 550);
    m_panel->show();
    m_ok = Child<QComboBox>(*m_panel, "cbComPort")->currentText() == port;
}

PanelFixture::~PanelFixture() {
    m_panel.reset();
    m_parts.reset();
    SetSerialPortSource(nullptr);
}

void PanelFixture::clickConnect() {
    QTest::mouseClick(Child<QPushButton>(*m_panel, "btnConnect"), Qt::LeftButton);
}

bool PanelFixture::connectAndPoll(int timeoutMs) {
    clickConnect();
    return QTest::qWaitFor([this] { return polling(); }, timeoutMs);
}

QString UseFreshPanelDir() {
    static std::unique_ptr<QTemporaryDir> dir;
    dir = std::make_unique<QTemporaryDir>();
    SetPanelExeDir(dir->path());
    SetPanelConfigDir(dir->path() + "/config"); // made only when the options need it
    SetPanelArguments({});
    return dir->path();
}

QStringList LogLines() {
    return TempLogModel::instance().lines();
}

bool LogHasLine(const QString &text, quint32 color) {
    const QStringList lines = TempLogModel::instance().lines();
    const QList<quint32> colors = TempLogModel::instance().colors();
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i] == text && colors[i] == color)
            return true;
    return false;
}

int LogCount(const QString &text) {
    return int(TempLogModel::instance().lines().count(text));
}

namespace {
QPointer<TfrmTempLog> g_logWindow;
} // namespace

void ResetLog() {
    delete g_logWindow;
    TempLogModel::instance().clear();
    g_logWindow = new TfrmTempLog;
}

TfrmTempLog *LogWindow() {
    return g_logWindow;
}

void DeleteLogWindow() {
    delete g_logWindow;
}
