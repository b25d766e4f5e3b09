#include "panel_fixture.h"

#include "model/register_map.h"
#include "panel/panel_environment.h"
#include "panel/serial_port_list.h"
#include "tools/temp_log.h"
#include "tools/temp_log_window.h"
#include "transport/utils.h"

#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

PanelFixture::PanelFixture(const QStringList &simArgs)
    : m_sim(QStringList{"--log-frames"} + simArgs) {
    UseFreshPanelDir();
    if (!m_sim.start())
        return;
    const QString port = m_sim.portPath();
    SetSerialPortSource([port] { return QStringList{port}; });
    m_panel = std::make_unique<TfrTarvex>();
    m_panel->frmTempLog = LogWindow();
    m_panel->resize(700, 550);
    m_panel->show();
    m_ok = m_panel->cbComPort->currentText() == port;
}

PanelFixture::~PanelFixture() {
    m_panel.reset();
    SetSerialPortSource(nullptr);
}

void PanelFixture::clickConnect() {
    QTest::mouseClick(m_panel->btnConnect, Qt::LeftButton);
}

bool PanelFixture::connectAndPoll(int timeoutMs) {
    clickConnect();
    return QTest::qWaitFor([this] { return m_panel->OprosTimer.isActive(); }, timeoutMs);
}

QStringList PanelFixture::simFrames() {
    QStringList frames;
    for (const SimProcess::Frame &frame : m_sim.frames())
        frames.append(QString::fromLatin1(frame.bytes.toHex(' ').toUpper()));
    return frames;
}

QList<QPair<int, bool>> QueuedOutputWrites(const TfrTarvex &panel) {
    QList<QPair<int, bool>> writes;
    for (const TzModbusAnswer &a : panel.ModbusAnswerList) {
        const QByteArray frame = a.Cmd.AsBytes();
        if (frame.size() != 8 || frame[1] != 5)
            continue;
        const int reg = (uint8_t(frame[2]) << 8) | uint8_t(frame[3]);
        for (int n = 1; n <= TarvexMap::kOutputCount; ++n)
            if (reg == TarvexMap::OutputRegister(n))
                writes.append({n, uint8_t(frame[4]) == 0xFF});
    }
    return writes;
}

QString WriteFrameText(int function, int reg, int value) {
    TStringBytes frame =
        TStringBytes::FromBytes({0x10, uint8_t(function), uint8_t(reg >> 8), uint8_t(reg & 0xFF),
                                 uint8_t(value >> 8), uint8_t(value & 0xFF)});
    const uint16_t crc = ModbusCRC16(frame, 6);
    frame = frame + uint8_t(crc & 0xFF) + uint8_t(crc >> 8);
    return QString::fromLatin1(frame.AsBytes().toHex(' ').toUpper());
}

QStringList WritesOf(const QStringList &frames) {
    QStringList writes;
    for (const QString &frame : frames)
        if (frame.mid(3, 2) == "05" || frame.mid(3, 2) == "06")
            writes.append(frame);
    return writes;
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
