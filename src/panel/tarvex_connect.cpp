#include "model/register_map.h"
#include "panel_texts.h"
#include "tarvex.h"
#include "tools/temp_log.h"
#include "transport/utils.h"
#include "widgets/blinker.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <iterator>

namespace {

const char *const kShortFormats[] = {"RTU 8N1", "RTU 8O1", "RTU 8E1", "RTU 8N2"};

// The module's own format register: 1..3 ASCII, 4..7 RTU.
const char *const kModuleFormats[] = {"",        "ASCII 7O1", "ASCII 7E1", "ASCII 7N2",
                                      "RTU 8N1", "RTU 8O1",   "RTU 8E1",   "RTU 8N2"};

constexpr int kPollingMs = 250;
constexpr int kPollCatchUpMs = 5;

} // namespace

void TfrTarvex::btnConnectClick() {
    if (Connected)
        Disconnect();
    else
        DoConnect();
    TryFindPanVisible();
}

// "Отключиться"; also what a vanished port does to the connection.
void TfrTarvex::Disconnect() {
    OprosTimer.stop();
    ConnectBtnTimer.stop();
    if (FreePort)
        FreePort->Stop();
    Connected = false;
    EndLink();
    Anima(false);
    ButtonsEnabled(false);
    ClearLabels(QStringLiteral("..."));
    btnConnect->setEnabled(true);
    imgFindDevice->show();
}

void TfrTarvex::DoConnect() {
    int address = 0;
    int timeout = 0;
    if (!CheckBlinkEditInt(txtLineAddr, address, 1, 247) ||
        !CheckBlinkEditInt(txtLineTimeout, timeout, kNotSet, kNotSet))
        return;
    if (!CheckTimeout(timeout, BaudRate)) {
        timeout = GetTimeout(BaudRate);
        txtLineTimeout->setText(QString::number(timeout));
        BlinkEdit(txtLineTimeout);
    }

    PortWatchTimer.stop(); // a connection by hand ends the wait for a vanished port
    btnConnect->setEnabled(false);
    ConnectBtnTimer.start();
    imgFindDevice->hide();
    Anima(true);

    DevAddr = address;
    Device->DevAddr = address;

    FreePort.reset();
    FreePort = std::make_unique<TzFreePort>(ComPortName);
    FreePort->SetOnAsyncAnswerProc(
        [this](int port, uint32_t uid, const TStringBytes &answer, uint32_t errCode) {
            ModbusAsyncAnswer(port, uid, answer, errCode);
        });
    FreePort->LocDCB().BaudRate = BaudRate;
    // A request waits for its answer's wire time plus the operator's timeout.
    TzTimeouts &timeouts = FreePort->LocTimeouts();
    timeouts.ReadIntervalTimeout = 10;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = timeout;
    timeouts.WriteTotalTimeoutMultiplier = 10;
    timeouts.WriteTotalTimeoutConstant = 0;
    FormatToFreePort();

    if (!FreePort->Start()) {
        ReportOpenFailure(); // the watchdog ends the attempt
        return;
    }
    {
        std::lock_guard lock(LineCS);
        ModbusAnswerList.clear();
    }
    // A first read cut short by an earlier disconnect must not keep the device locked.
    Device->IsLocked = false;
    FirstRead.Clear();
    ModuleIdRead = false; // the port may lead to another module now
    FreePort->ClearRequestList();
    Pulse();
}

void TfrTarvex::ConnectBtnTimerTimer() {
    if (Connected)
        return;
    btnConnect->setEnabled(true);
    ConnectBtnTimer.stop();
    Anima(false);
    imgFindDevice->show();
    if (FreePort)
        FreePort->Stop();
    TempLogAdd(QStringLiteral("Неудачное подключение: [Адр:%1, %2, %3, %4]")
                   .arg(txtLineAddr->text(), PortTitle(), cbLineBaudRate->currentText(),
                        cbLineFormat->currentText()),
               LogColor::DarkRed);
}

void TfrTarvex::Pulse() {
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

void TfrTarvex::ReleasePulse() {
    PulseTag = nullptr;
    PulseDevice.reset();
}

void TfrTarvex::PulseCallback(TzTag *tag) {
    Connected = tag->Value() == TarvexMap::kTarvexDeviceType;
    if (Connected) {
        Link.Reset(GetTickCount());
        Anima(false);
        CloseAllPanel();
        labAddr->setText(txtLineAddr->text());
        labBaudRate->setText(QString::number(BaudRate));
        labFormat->setText(
            QString::fromLatin1(kShortFormats[qBound(0, cbLineFormat->currentIndex(), 3)]));
        TempLogAdd(QStringLiteral("Успешное подключение: [Адр:%1, %2, %3, %4]")
                       .arg(labAddr->text(), PortTitle(), labBaudRate->text(), labFormat->text()),
                   LogColor::Green);
    }
    LetsDoIt();
    imgFindDevice->hide();
}

void TfrTarvex::LetsDoIt() {
    if (!Connected || !Device || Device->IsLocked)
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

void TfrTarvex::AfterFirstUpdate() {
    int value = 0;
    if (TryValueByID(TarvexMap::kRegDeviceType, value))
        Device->DevVersion = value;
    if (TryValueByID(TarvexMap::kRegFirmwareVersion, value)) {
        Device->DevPOVersion = value;
        QString text = QString::number(value);
        if (value >= 100)
            text.insert(1, QLatin1Char('.'));
        Device->DevPOVersionStr = text;
        labVerPO->setText(text);
    }
    int id1 = 0, id2 = 0, id3 = 0;
    if (TryValueByID(TarvexMap::kRegId1, id1) && TryValueByID(TarvexMap::kRegId2, id2) &&
        TryValueByID(TarvexMap::kRegId3, id3)) {
        QByteArray bytes;
        for (int word : {id1, id2, id3})
            bytes.append(char((word >> 8) & 0xFF)).append(char(word & 0xFF));
        SetMAC(bytes);
    }
    if (TryValueByID(TarvexMap::kRegAddress, value)) {
        labAddr->setText(QString::number(value));
        txtAddr->setText(QString::number(value));
    }
    // Applying a new address must not reset the module's network timeout to 0.
    if (TryValueByID(TarvexMap::kRegNetworkTimeout, value))
        txtTimeout->setText(QString::number(value));
    if (TryValueByID(TarvexMap::kRegBaudCode, value) && value >= 0 && value <= 9) {
        labBaudRate->setText(LineBaudRates()[value]);
        cbBaudRate->setCurrentIndex(value);
    }
    if (TryValueByID(TarvexMap::kRegFormatCode, value)) {
        if (value >= 1 && value <= 7)
            labFormat->setText(QString::fromLatin1(kModuleFormats[value]));
        const int rtuRow = value - TarvexMap::kRtuFormatCodeFirst;
        cbFormat->setCurrentIndex(rtuRow >= 0 && rtuRow <= 3 ? rtuRow : -1);
    }
    btnDOUT1PanClick(1);
    ButtonsEnabled(Connected);
    FirstUpdate = false;
    if (Connected)
        OprosTimer.start();
}

void TfrTarvex::OprosTimerTimer() {
    if (!Connected || !Device)
        return;
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
