#include "find_device.h"

#include "find_probe.h"
#include "model/modbus_answer_rule.h"
#include "model/register_map.h"
#include "transport/utils.h"

#include <algorithm>

TfrmFindDevice::TfrmFindDevice(const QStringList &portList, QObject *parent)
    : QObject(parent), m_portList(portList) {
    setObjectName(QStringLiteral("frmFindDevice"));
}

TfrmFindDevice::~TfrmFindDevice() {
    InProgress = false;
    FreePort.reset(); // the exchange in progress ends without being delivered
}

void TfrmFindDevice::SetComPort(const QString &portName) {
    PortName = portName;
    if (!TryDigitsToInt(portName, ComPort))
        ComPort = 0;
}

bool TfrmFindDevice::Start() {
    m_lines = Lines.isEmpty() ? QList<TzFindLine>{{BaudRate, Format, Timeout}} : Lines;
    for (const TzFindLine &line : m_lines)
        if (line.Timeout <= 0)
            return false;
    AnswerList.clear(); // entries left by a stopped search belong to a worker discarded now
    FreePort.reset();
    bool portFailed = false;
    // Only ports the system listed when the engine was created may be opened.
    if (!m_portList.contains(PortName) || !OpenNextLine(0, int(m_lines.size()), portFailed)) {
        WarnPortBusy();
        Stop();
        return false;
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

TzFindLine TfrmFindDevice::CurrentLine() const {
    return m_lines.isEmpty() ? TzFindLine{BaudRate, Format, Timeout} : m_lines.value(m_line);
}

TzFindDevice TfrmFindDevice::FoundDevice(int aAddr, const TStringBytes &Answer) const {
    const TzFindLine line = CurrentLine();
    TzFindDevice device;
    device.PortName = PortName;
    device.Addr = aAddr;
    device.BaudRate = line.BaudRate;
    device.Format = line.Format;
    device.Timeout = line.Timeout;
    device.aType = IsTarvexAnswer(Answer) ? TarvexMap::kTarvexDeviceType : 0;
    device.Answer = Answer;
    device.Timestamp = GetTickCount();
    return device;
}

// Every line gets a fresh worker: Qt applies the settings a port object held before when it
// opens the port again, and its change from odd parity to none leaves the odd flag set.
TfrmFindDevice::LineOpening TfrmFindDevice::OpenLine(int index) {
    FreePort = std::make_unique<TzFreePort>(PortName);
    connect(FreePort.get(), &TzFreePort::answered, this,
            [this](int, quint32 uid, const TStringBytes &answer, quint32 errCode) {
                AsyncAnswer(uid, answer, errCode);
            });
    ApplyLineSettings(m_lines[index]);
    if (!FreePort->Start()) {
        // A port that opens but refuses the settings (a pseudo-terminal refuses even parity)
        // only rules this line out.
        return FreePort->LastOpenError() == QSerialPort::UnsupportedOperationError
                   ? LineOpening::Refused
                   : LineOpening::PortFailed;
    }
    m_line = index;
    emit OnFindLine(m_lines[index]);
    return LineOpening::Opened;
}

// Tries count lines from the first one on, wrapping around the list.
bool TfrmFindDevice::OpenNextLine(int first, int count, bool &portFailed) {
    for (int k = 0; k < count; ++k) {
        switch (OpenLine((first + k) % int(m_lines.size()))) {
        case LineOpening::Opened:
            return true;
        case LineOpening::PortFailed:
            portFailed = true;
            return false;
        case LineOpening::Refused:
            break;
        }
    }
    return false;
}

void TfrmFindDevice::NextLine() {
    AnswerList.clear();
    const int lines = int(m_lines.size());
    const int candidates = Cycled ? lines : lines - 1 - m_line;
    bool portFailed = false;
    if (candidates > 0 && OpenNextLine((m_line + 1) % lines, candidates, portFailed)) {
        QueueProbes();
        return;
    }
    if (portFailed)
        WarnPortBusy();
    EndSearch();
}

void TfrmFindDevice::EndSearch() {
    Stop();
    emit OnFindEnd();
}

void TfrmFindDevice::WarnPortBusy() {
    emit ShowWarning(QStringLiteral("Выбранный СОМ-порт занят или недоступен"),
                     QStringLiteral("Уведомление"));
}

void TfrmFindDevice::ApplyLineSettings(const TzFindLine &line) {
    // Parity and stop bits in the serial record's codes, by format position.
    static const struct { int Parity, StopBits; } formats[] = {{0, 0}, {1, 0}, {2, 0}, {0, 2}};
    const int position = std::clamp(line.Format, 0, 3);
    TzDCB &dcb = FreePort->LocDCB();
    dcb.BaudRate = line.BaudRate;
    dcb.ByteSize = 8;
    dcb.Parity = formats[position].Parity;
    dcb.StopBits = formats[position].StopBits;

    // A silent address is given up after Timeout and the answer's wire time; an answer ends
    // when whole, or at the first 10 ms gap when it is no answer to the probe.
    TzTimeouts &timeouts = FreePort->LocTimeouts();
    timeouts.ReadIntervalTimeout = 10;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = line.Timeout;
    timeouts.WriteTotalTimeoutMultiplier = line.Timeout;
    timeouts.WriteTotalTimeoutConstant = 0;
}

void TfrmFindDevice::QueueProbes() {
    for (int addr = FirstAddr; addr <= LastAddr; ++addr) {
        const TStringBytes cmd = ProbeFrame(addr);
        if (!FreePort->SendCmd(cmd, addr, ModbusRtuAnswerRule(cmd)))
            continue;
        TzFindAnswer entry;
        entry.DevAddr = addr;
        entry.Code = FreePort->LastUID();
        entry.Cmd = cmd;
        entry.TimeStamp = GetTickCount();
        entry.IsLast = addr == LastAddr;
        AnswerList.push_back(entry);
    }
}

void TfrmFindDevice::AsyncAnswer(uint32_t uid, const TStringBytes &answer, uint32_t errCode) {
    if (!InProgress)
        return;
    const TzFindAnswer *found = FindEntry(uid);
    if (!found)
        return;
    const TzFindAnswer entry = *found;
    const TzFreePort *port = FreePort.get();
    emit OnFindProcess(entry.DevAddr);
    // Only an answer to the probe counts: noise on the line is no device.
    if (errCode == kErrNone && AnswersFindProbe(entry.Cmd, answer))
        emit OnFindAddr(entry.DevAddr, answer);
    // A receiver may have stopped or restarted the search; its entries are not ours to touch.
    if (!InProgress || FreePort.get() != port)
        return;
    // The search's own worker closes the port only when the device has gone; every probe
    // after this one would fail the same way at once, pass after pass.
    if (errCode == kErrPortClosed) {
        WarnPortBusy();
        EndSearch();
        return;
    }
    if (entry.IsLast) {
        if (m_lines.size() > 1) {
            // The next line's worker takes over once this answer has been handled.
            QMetaObject::invokeMethod(
                this,
                [this, port] {
                    if (InProgress && FreePort.get() == port)
                        NextLine();
                },
                Qt::QueuedConnection);
        } else if (Cycled) {
            AnswerList.clear();
            FreePort->ClearRequestList();
            QueueProbes();
            return;
        } else {
            RemoveEntry(uid);
            EndSearch(); // a single pass
            return;
        }
    }
    RemoveEntry(uid);
}

const TzFindAnswer *TfrmFindDevice::FindEntry(uint32_t uid) const {
    const auto it = std::find_if(AnswerList.begin(), AnswerList.end(),
                                 [uid](const TzFindAnswer &a) { return a.Code == uid; });
    return it == AnswerList.end() ? nullptr : &*it;
}

void TfrmFindDevice::RemoveEntry(uint32_t uid) {
    AnswerList.remove_if([uid](const TzFindAnswer &a) { return a.Code == uid; });
}

bool TfrmFindDevice::IsTarvexAnswer(const TStringBytes &answer) {
    return answer.Size() >= 5 && answer.ByteAt(3) == 4 &&
           answer.ByteAt(5) == TarvexMap::kTarvexDeviceType;
}

TStringBytes TfrmFindDevice::ProbeFrame(int address) {
    return FindProbeFrame(address);
}
