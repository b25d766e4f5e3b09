#include "find_device.h"

#include "model/modbus_answer_rule.h"
#include "serial_port_list.h"
#include "transport/utils.h"

#include <QApplication>
#include <QMessageBox>

#include <algorithm>

TfrmFindDevice *frmFindDevice = nullptr;

namespace {
constexpr int kProbeFunction = 0x04;
constexpr int kTypeRegister = 0x9000;
constexpr int kProbeRegisterCount = 2;
constexpr int kTarvexType = 73;
} // namespace

TfrmFindDevice::TfrmFindDevice(QWidget *parent) : QWidget(parent), m_portList(SystemSerialPorts()) {
    setObjectName(QStringLiteral("frmFindDevice"));
    ShowWarning = [](const QString &text, const QString &caption) {
        QMessageBox::warning(QApplication::activeWindow(), caption, text);
    };
    frmFindDevice = this;
}

TfrmFindDevice::~TfrmFindDevice() {
    if (frmFindDevice == this)
        frmFindDevice = nullptr;
    InProgress = false;
    FreePort.reset(); // the exchange in progress ends without being delivered
}

void TfrmFindDevice::SetComPort(const QString &portName) {
    PortName = portName;
    if (!TryDigitsToInt(portName, ComPort))
        ComPort = 0;
}

bool TfrmFindDevice::Start() {
    if (Timeout <= 0)
        return false;
    FreePort = std::make_unique<TzFreePort>(PortName);
    FreePort->SetOnAsyncAnswerProc([this](int, uint32_t uid, const TStringBytes &answer,
                                          uint32_t errCode) { AsyncAnswer(uid, answer, errCode); });
    ApplyLineSettings();
    if (!OpenPort()) {
        ShowWarning(QStringLiteral("Выбранный СОМ-порт занят или недоступен"),
                    QStringLiteral("Уведомление"));
        Stop();
        return false;
    }
    {
        // Entries left by a stopped search belong to the worker just discarded.
        std::lock_guard lock(CS);
        AnswerList.clear();
    }
    QueueProbes();
    InProgress = true;
    return true;
}

void TfrmFindDevice::Stop() {
    InProgress = false;
    if (FreePort)
        FreePort->Stop();
}

// Only ports the system listed when the engine was created may be opened.
bool TfrmFindDevice::OpenPort() {
    return m_portList.contains(PortName) && FreePort->Start();
}

void TfrmFindDevice::ApplyLineSettings() {
    // Parity and stop bits in the serial record's codes, by format position.
    static const struct { int Parity, StopBits; } formats[] = {{0, 0}, {1, 0}, {2, 0}, {0, 2}};
    const int position = std::clamp(Format, 0, 3);
    TzDCB &dcb = FreePort->LocDCB();
    dcb.BaudRate = BaudRate;
    dcb.ByteSize = 8;
    dcb.Parity = formats[position].Parity;
    dcb.StopBits = formats[position].StopBits;

    // A silent address is given up after Timeout and the answer's wire time; an answer ends
    // when whole, or at the first 10 ms gap when it is no answer to the probe.
    TzTimeouts &timeouts = FreePort->LocTimeouts();
    timeouts.ReadIntervalTimeout = 10;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = Timeout;
    timeouts.WriteTotalTimeoutMultiplier = Timeout;
    timeouts.WriteTotalTimeoutConstant = 0;
}

void TfrmFindDevice::QueueProbes() {
    for (int addr = kFirstAddr; addr <= kLastAddr; ++addr) {
        const TStringBytes cmd = ProbeFrame(addr);
        if (!FreePort->SendCmd(cmd, addr, ModbusRtuAnswerRule(cmd)))
            continue;
        TzFindAnswer entry;
        entry.DevAddr = addr;
        entry.Code = FreePort->LastUID();
        entry.Cmd = cmd;
        entry.TimeStamp = GetTickCount();
        entry.IsLast = addr == kLastAddr;
        std::lock_guard lock(CS);
        AnswerList.push_back(entry);
    }
}

void TfrmFindDevice::AsyncAnswer(uint32_t uid, const TStringBytes &answer, uint32_t errCode) {
    if (!InProgress)
        return;
    TzFindAnswer entry;
    if (!TakeEntry(uid, entry))
        return;
    const TzFreePort *port = FreePort.get();
    if (OnFindProcess)
        OnFindProcess(entry.DevAddr);
    if (errCode == kErrNone && OnFindAddr)
        OnFindAddr(entry.DevAddr, answer);
    // A callback may have stopped or restarted the search; its entries are not ours to touch.
    if (!InProgress || FreePort.get() != port)
        return;
    if (entry.IsLast) {
        if (Cycled) {
            {
                std::lock_guard lock(CS);
                AnswerList.clear();
            }
            FreePort->ClearRequestList();
            QueueProbes();
            return;
        }
        FreePort->Stop();
        InProgress = false;
    }
    RemoveEntry(uid);
}

bool TfrmFindDevice::TakeEntry(uint32_t uid, TzFindAnswer &entry) {
    std::lock_guard lock(CS);
    const auto it = std::find_if(AnswerList.begin(), AnswerList.end(),
                                 [uid](const TzFindAnswer &a) { return a.Code == uid; });
    if (it == AnswerList.end())
        return false;
    entry = *it;
    return true;
}

void TfrmFindDevice::RemoveEntry(uint32_t uid) {
    std::lock_guard lock(CS);
    AnswerList.remove_if([uid](const TzFindAnswer &a) { return a.Code == uid; });
}

bool TfrmFindDevice::IsTarvexAnswer(const TStringBytes &answer) {
    return answer.Size() >= 5 && answer.ByteAt(3) == 4 && answer.ByteAt(5) == kTarvexType;
}

TStringBytes TfrmFindDevice::ProbeFrame(int address) {
    TStringBytes frame = TStringBytes::FromBytes(
        {uint8_t(address), uint8_t(kProbeFunction), uint8_t(kTypeRegister >> 8),
         uint8_t(kTypeRegister & 0xFF), uint8_t(kProbeRegisterCount >> 8),
         uint8_t(kProbeRegisterCount & 0xFF)});
    const uint16_t crc = ModbusCRC16(frame, frame.Size());
    return frame + uint8_t(crc & 0xFF) + uint8_t(crc >> 8);
}
