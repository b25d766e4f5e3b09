#include "tarvex_session.h"

#include "log_colours.h"
#include "model/register_map.h"
#include "transport/free_port.h"

TarvexSession::TarvexSession(QObject *parent) : QObject(parent) {
    LoadDeviceTemplate();
    ConnectTimers();
}

TarvexSession::~TarvexSession() {
    for (QTimer *timer : {&ConnectBtnTimer, &OprosTimer, &PortWatchTimer, &RebootTimer})
        timer->stop();
    if (FreePort)
        FreePort->Stop();
    FreePort.reset(); // finishes the exchange in progress without delivering it
}

// A device object for the module at the connection's address, with the identity expected.
std::unique_ptr<TzDevice> TarvexSession::NewTarvexDevice() const {
    auto device = std::make_unique<TzDevice>();
    device->DevAddr = m_line.address;
    device->DevVersion = 100;
    device->DevName = QStringLiteral("Tarvex");
    return device;
}

void TarvexSession::LoadDeviceTemplate() {
    Device = NewTarvexDevice();
    if (Device->LoadFromRes(QStringLiteral("XMLDATA"))) {
        AddOtherTarvexTags(Device.get());
        return;
    }
    // The session carries on with whatever the device holds. Nothing listens yet while it is
    // being built: the failure is told once the event loop runs.
    m_templateLoaded = false;
    QTimer::singleShot(0, this, &TarvexSession::ReportTemplateFailure);
}

void TarvexSession::ReportTemplateFailure() {
    Log(QStringLiteral("Ошибка загрузки таблицы регистров"), LogColor::Navy);
    if (!m_silenceMode)
        emit warning(QStringLiteral("Ошибка загрузки таблицы регистров\r\nПродолжение работы не "
                                    "рекомендуется\r\nОбратитесь к разработчикам"),
                     QString(), true);
}

void TarvexSession::Warn(const QString &text, const QString &caption) {
    if (m_silenceMode)
        Log(text, LogColor::Navy);
    else
        emit warning(text, caption, false);
}

void TarvexSession::ConnectTimers() {
    const struct {
        QTimer *timer;
        const char *name;
        int period;
        void (TarvexSession::*handler)();
    } timers[] = {
        {&ConnectBtnTimer, "ConnectBtnTimer", 1000, &TarvexSession::ConnectBtnTimerTimer},
        {&OprosTimer, "OprosTimer", 250, &TarvexSession::OprosTimerTimer},
        {&PortWatchTimer, "PortWatchTimer", 2000, &TarvexSession::PortWatchTimerTimer},
        {&RebootTimer, "RebootTimer", 1200, &TarvexSession::RebootTimerTimer},
    };
    for (const auto &t : timers) {
        t.timer->setObjectName(QString::fromLatin1(t.name));
        t.timer->setInterval(t.period);
        connect(t.timer, &QTimer::timeout, this, t.handler);
    }
    RebootTimer.setSingleShot(true);
}

void TarvexSession::SetState(ConnectionState state) {
    if (m_state == state)
        return;
    m_state = state;
    emit connectionStateChanged(state);
}

bool TarvexSession::isConnected() const {
    return m_state == ConnectionState::FirstRead || m_state == ConnectionState::Polling ||
           m_state == ConnectionState::Rebooting;
}

const TzDiscretOutParams &TarvexSession::output(int n) const {
    static const TzDiscretOutParams none;
    return n >= 1 && n <= kOutputCount ? DOUTs[n] : none;
}

int TarvexSession::exceptionCount(int code) const {
    return ModbusErrors[(code >= 1 && code <= 8) ? code : 9];
}

std::optional<double> TarvexSession::supplyVoltage() const {
    double millivolts = 0;
    if (!TryValueByID(TarvexMap::kRegSupplyVoltage, millivolts))
        return std::nullopt;
    return millivolts / 1000;
}

std::optional<bool> TarvexSession::supplyAlarm() const {
    int status = 0;
    if (!TryValueByID(TarvexMap::kRegPowerStatus, status))
        return std::nullopt;
    const int alarmBits =
        (1 << TarvexMap::kPowerAlarmBitLow) | (1 << TarvexMap::kPowerAlarmBitHigh);
    return (status & alarmBits) != 0;
}

namespace {

std::optional<int> ValueOf(const TarvexSession &session, int id) {
    int value = 0;
    if (!session.TryValueByID(id, value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<int> TarvexSession::deviceType() const {
    return ValueOf(*this, TarvexMap::kRegDeviceType);
}

std::optional<int> TarvexSession::moduleAddress() const {
    return ValueOf(*this, TarvexMap::kRegAddress);
}

std::optional<int> TarvexSession::baudCode() const {
    return ValueOf(*this, TarvexMap::kRegBaudCode);
}

std::optional<int> TarvexSession::formatCode() const {
    return ValueOf(*this, TarvexMap::kRegFormatCode);
}

std::optional<int> TarvexSession::networkTimeout() const {
    return ValueOf(*this, TarvexMap::kRegNetworkTimeout);
}
