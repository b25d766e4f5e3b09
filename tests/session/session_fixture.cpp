#include "session_fixture.h"

#include "model/register_map.h"
#include "transport/utils.h"

#include <QTest>

SessionLog::SessionLog(TarvexSession &session) : QObject(&session) {
    connect(&session, &TarvexSession::logLine, this, [this](const QString &text, quint32 colour) {
        m_lines.prepend(text);
        m_colours.prepend(colour);
    });
}

bool SessionLog::has(const QString &text, quint32 colour) const {
    for (qsizetype i = 0; i < m_lines.size(); ++i)
        if (m_lines[i] == text && m_colours[i] == colour)
            return true;
    return false;
}

void SessionLog::clear() {
    m_lines.clear();
    m_colours.clear();
}

SessionFixture::SessionFixture(const QStringList &simArgs)
    : m_sim(QStringList{"--log-frames"} + simArgs) {
    m_session = std::make_unique<TarvexSession>();
    m_log = std::make_unique<SessionLog>(*m_session);
    m_ok = m_sim.start();
}

SessionFixture::~SessionFixture() {
    m_log.reset();
    m_session.reset();
}

TarvexLineSettings SessionFixture::line() const {
    TarvexLineSettings line;
    line.portName = m_sim.portPath();
    return line;
}

bool SessionFixture::connectAndPoll(const TarvexLineSettings &line, int timeoutMs) {
    return m_session->connectTo(line) && QTest::qWaitFor([this] { return polling(); }, timeoutMs);
}

bool SessionFixture::polling() const {
    return m_session->connectionState() == TarvexSession::ConnectionState::Polling;
}

QStringList SessionFixture::simFrames() {
    QStringList frames;
    for (const SimProcess::Frame &frame : m_sim.frames())
        frames.append(QString::fromLatin1(frame.bytes.toHex(' ').toUpper()));
    return frames;
}

namespace {

int RegisterOf(const QByteArray &frame) {
    return (uint8_t(frame[2]) << 8) | uint8_t(frame[3]);
}

} // namespace

QList<QPair<int, bool>> QueuedOutputWrites(const TarvexSession &session) {
    QList<QPair<int, bool>> writes;
    for (const TzModbusAnswer &a : session.pendingAnswers()) {
        const QByteArray frame = a.Cmd.AsBytes();
        if (frame.size() != 8 || frame[1] != 5)
            continue;
        for (int n = 1; n <= TarvexMap::kOutputCount; ++n)
            if (RegisterOf(frame) == TarvexMap::OutputRegister(n))
                writes.append({n, uint8_t(frame[4]) == 0xFF});
    }
    return writes;
}

QList<int> QueuedRegisterWrites(const TarvexSession &session, int reg) {
    QList<int> values;
    for (const TzModbusAnswer &a : session.pendingAnswers()) {
        const QByteArray frame = a.Cmd.AsBytes();
        if (frame.size() == 8 && frame[1] == 6 && RegisterOf(frame) == reg)
            values.append((uint8_t(frame[4]) << 8) | uint8_t(frame[5]));
    }
    return values;
}

QString ReadRequestText(int function, int reg, int count) {
    const char bytes[] = {16,        char(function),   char(reg >> 8),
                          char(reg), char(count >> 8), char(count)};
    return QString::fromLatin1(QByteArray(bytes, sizeof bytes).toHex(' ').toUpper());
}

QStringList PolledReadRequests() {
    using namespace TarvexMap;
    return {ReadRequestText(4, kRegSupplyVoltage, 1),
            ReadRequestText(4, kRegPowerStatus, 1),
            ReadRequestText(3, kRegSafeStates17to20, 1),
            ReadRequestText(3, kRegSafeStates1to16, 1),
            ReadRequestText(3, kRegOutputStates17to20, 1),
            ReadRequestText(3, kRegOutputStates1to16, 1),
            ReadRequestText(3, kRegPwmBlock1, kPwmBlockRegisters),
            ReadRequestText(3, kRegPwmBlock2, kPwmBlockRegisters)};
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

QStringList Sorted(QStringList frames) {
    frames.sort();
    return frames;
}
