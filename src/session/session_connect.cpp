#include "log_colours.h"
#include "model/register_map.h"
#include "tarvex_session.h"
#include "transport/free_port.h"
#include "transport/utils.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <iterator>

namespace {

constexpr int kPollingMs = 250;
constexpr int kPollCatchUpMs = 5;

} // namespace

bool TarvexSession::connectTo(const TarvexLineSettings &settings) {
    if (isConnected() || settings.address < kFirstAddress || settings.address > kLastAddress)
        return false;
    DoConnect(settings);
    return true;
}

void TarvexSession::DoConnect(const TarvexLineSettings &settings) {
    PortWatchTimer.stop(); // a connection by hand ends the wait for a vanished port
    m_line = settings;
    m_line.timeoutMs = std::max(settings.timeoutMs, GetTimeout(settings.baudRate));
    ++m_connectionNumber;
    ConnectBtnTimer.start();
    SetState(ConnectionState::Connecting);
    Device->DevAddr = m_line.address;

    FreePort.reset();
    FreePort = std::make_unique<TzFreePort>(m_line.portName);
    FreePort->SetOnAsyncAnswerProc(
        [this](int port, uint32_t uid, const TStringBytes &answer, uint32_t errCode) {
            ModbusAsyncAnswer(port, uid, answer, errCode);
        });
    FreePort->LocDCB().BaudRate = m_line.baudRate;
    // A request waits for its answer's wire time plus the operator's timeout.
    TzTimeouts &timeouts = FreePort->LocTimeouts();
    timeouts.ReadIntervalTimeout = 10;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = m_line.timeoutMs;
    timeouts.WriteTotalTimeoutMultiplier = 10;
    timeouts.WriteTotalTimeoutConstant = 0;
    FormatToFreePort();

    if (!FreePort->Start()) {
        ReportOpenFailure(); // the watchdog ends the attempt
        return;
    }
    ModbusAnswerList.clear();
    emit queueLengthChanged(0);
    // A first read cut short by an earlier disconnect must not keep the device locked.
    Device->IsLocked = false;
    FirstRead.Clear();
    ModuleIdRead = false; // the port may lead to another module now
    FreePort->ClearRequestList();
    Pulse();
}

void TarvexSession::FormatToFreePort() {
    // Data bits are always 8; parity and stop bits in the serial record's codes.
    static const struct { int Parity, StopBits; } formats[] = {{0, 0}, {1, 0}, {2, 0}, {0, 2}};
    const int position = qBound(0, m_line.format, 3);
    TzDCB &dcb = FreePort->LocDCB();
    dcb.ByteSize = 8;
    dcb.Parity = formats[position].Parity;
    dcb.StopBits = formats[position].StopBits;
}

// A port refused although the user may read and write its device is held by another program.
bool TarvexSession::DeviceIsAccessible() const {
#ifdef Q_OS_WIN
    return true;
#else
    const QString &name = m_line.portName;
    const QString path = QDir::isAbsolutePath(name) ? name : QStringLiteral("/dev/") + name;
    const QFileInfo device(path);
    return device.exists() && device.isReadable() && device.isWritable();
#endif
}

void TarvexSession::ReportOpenFailure() {
    Warn(QStringLiteral("Выбранный СОМ-порт занят или недоступен"), QStringLiteral("Уведомление"));
    Log(PortTitle(m_line.portName) + QStringLiteral(" занят или недоступен"), LogColor::DarkRed);

    const QString reason = FreePort->LastOpenErrorText();
    QString line;
    switch (FreePort->LastOpenError()) {
    case QSerialPort::PermissionError:
        if (DeviceIsAccessible()) {
            line = QStringLiteral("Причина: порт занят другой программой (%1)").arg(reason);
            break;
        }
        line = QStringLiteral("Причина: нет доступа к порту (%1). Пользователю нужно разрешить "
                              "работу с последовательными портами, в Debian — через группу "
                              "dialout")
                   .arg(reason);
        break;
    case QSerialPort::DeviceNotFoundError:
        line = QStringLiteral("Причина: нет такого устройства (%1)").arg(reason);
        break;
    case QSerialPort::OpenError:
        line = QStringLiteral("Причина: порт занят другой программой (%1)").arg(reason);
        break;
    default:
        line = QStringLiteral("Причина: %1").arg(reason);
        break;
    }
    Log(line, LogColor::DarkRed);
}

void TarvexSession::disconnectFromModule() {
    Disconnect();
}

// "Отключиться"; also what a vanished port does to the connection.
void TarvexSession::Disconnect() {
    OprosTimer.stop();
    ConnectBtnTimer.stop();
    RebootTimer.stop();
    if (FreePort)
        FreePort->Stop();
    SetState(ConnectionState::Idle);
    EndLink();
}

void TarvexSession::ConnectBtnTimerTimer() {
    if (isConnected())
        return;
    ConnectBtnTimer.stop();
    if (FreePort)
        FreePort->Stop();
    Log(QStringLiteral("Неудачное подключение: [Адр:%1, %2, %3, %4]")
            .arg(QString::number(m_line.address), PortTitle(m_line.portName),
                 QString::number(m_line.baudRate), LineFormats().value(m_line.format)),
        LogColor::DarkRed);
    SetState(ConnectionState::Idle);
}

void TarvexSession::Pulse() {
    if (!FreePort)
        return;
    PulseDevice = NewTarvexDevice();

    PulseTag = PulseDevice->AddTag();
    PulseTag->ID = PulseTag->Reg = TarvexMap::kRegDeviceType;
    PulseTag->ReadCmd = 4;
    PulseTag->RegType = 2;
    PulseTag->ValType = 2;
    PulseTag->SetOrder(QStringLiteral("21"));
    PulseTag->SegSize = 1;
    PulseTag->Offset = 0;
    PulseTag->DataSize = 2;
    PulseTag->DataType = 18;
    PulseTag->Enabled = true;
    PulseTag->Force = true;
    PulseTag->ReadPriority = PulseTag->WritePriority = 1;
    PulseTag->GUID = QStringLiteral("{355ADFD2-9A2A-4E26-8DE3-0FB81E88BD68}");
    PulseTag->OnResponse = [this](TzTag *tag) { PulseCallback(tag); };
    GetModbusRegRTU(PulseTag);
}

void TarvexSession::ReleasePulse() {
    PulseTag = nullptr;
    PulseDevice.reset();
}

// A wrong type leaves the attempt connecting: the watchdog reports it at its next tick.
void TarvexSession::PulseCallback(TzTag *tag) {
    if (m_state != ConnectionState::Connecting || tag->Value() != TarvexMap::kTarvexDeviceType)
        return;
    Link.Reset(GetTickCount());
    SetState(ConnectionState::FirstRead);
    Log(QStringLiteral("Успешное подключение: [Адр:%1, %2, %3, %4]")
            .arg(QString::number(m_line.address), PortTitle(m_line.portName),
                 QString::number(m_line.baudRate), ShortFormatText(m_line.format)),
        LogColor::Green);
    LetsDoIt();
}

void TarvexSession::LetsDoIt() {
    if (!isConnected() || Device->IsLocked)
        return;
    Device->IsLocked = true;
    FirstRead.Clear();
    TzTag *last = nullptr;
    for (const auto &tag : Device->Tags) {
        tag->IsLast = false;
        if (!tag->Enabled)
            continue;
        // Only a read the queue took can end the cycle; a refused one would keep it locked.
        if (GetModbusRegRTU(tag.get()) && !tag->Force && tag->CanRead) {
            last = tag.get();
            FirstRead.Add(last);
        }
    }
    // The cycle ends when every read has its value or has been given up (FirstReadAnswered).
    if (last)
        last->IsLast = true;
    else
        Device->IsLocked = false;
}

void TarvexSession::AfterFirstUpdate() {
    int value = 0;
    if (TryValueByID(TarvexMap::kRegDeviceType, value))
        Device->DevVersion = value;
    if (TryValueByID(TarvexMap::kRegFirmwareVersion, value)) {
        Device->DevPOVersion = value;
        QString text = QString::number(value);
        if (value >= 100)
            text.insert(1, QLatin1Char('.'));
        Device->DevPOVersionStr = text;
    }
    int id1 = 0, id2 = 0, id3 = 0;
    if (TryValueByID(TarvexMap::kRegId1, id1) && TryValueByID(TarvexMap::kRegId2, id2) &&
        TryValueByID(TarvexMap::kRegId3, id3)) {
        QByteArray bytes;
        for (int word : {id1, id2, id3})
            bytes.append(char((word >> 8) & 0xFF)).append(char(word & 0xFF));
        SetMAC(bytes);
    }
    emit identityChanged();
    emit moduleSettingsRead();
    if (!isConnected())
        return;
    SetState(ConnectionState::Polling);
    OprosTimer.start(kPollingMs);
}

void TarvexSession::OprosTimerTimer() {
    if (!isConnected())
        return;
    // No exchange may have ended for a while: the clock alone can find the module lost.
    LinkEvent(Link.Check(GetTickCount()));
    // On a line slower than the polling a tick may come while the cycle before is still on
    // the line; the queue would refuse the reads still waiting and the next cycle would miss
    // them. The tick waits for that cycle instead, so every cycle reads all eight.
    if (std::any_of(std::begin(TarvexMap::kPolledTags), std::end(TarvexMap::kPolledTags),
                    [this](int id) { return ReadWaiting(id); })) {
        OprosTimer.start(kPollCatchUpMs);
        return;
    }
    if (OprosTimer.interval() != kPollingMs)
        OprosTimer.start(kPollingMs);
    for (int id : TarvexMap::kPolledTags)
        GetModbusRegRTU2(id);
}
