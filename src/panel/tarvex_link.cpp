#include "serial_port_list.h"
#include "tarvex.h"
#include "tools/temp_log.h"
#include "transport/serial_port_presence.h"
#include "transport/utils.h"
#include "widgets/output_button.h"

#include <QLabel>

void TfrTarvex::LinkEvent(TzLinkState::Change change) {
    switch (change) {
    case TzLinkState::Change::None:
        return;
    case TzLinkState::Change::Lost:
        ShowLinkLost(true);
        TempLogAdd(QStringLiteral("Связь с устройством потеряна"), LogColor::DarkRed);
        return;
    case TzLinkState::Change::Restored:
        ShowLinkLost(false);
        TempLogAdd(QStringLiteral("Связь с устройством восстановлена"), LogColor::Green);
        return;
    }
}

// The last values stay on show, greyed, so that nobody takes them for live ones.
void TfrTarvex::ShowLinkLost(bool lost) {
    labLinkLost->setVisible(lost);
    for (QLabel *label : {labAddr, labBaudRate, labFormat, labVerPO, labPower1, labTest})
        label->setEnabled(!lost);
    ButtonsEnabled(Connected && OprosTimer.isActive());
}

// The connection is over: nothing is shown as lost any more, and no output state is known.
void TfrTarvex::EndLink() {
    FirstRead.Clear();
    const bool wasLost = Link.Lost();
    Link.Reset(GetTickCount());
    if (wasLost)
        ShowLinkLost(false);
    for (int n = 1; n <= 20; ++n)
        if (DOUTs[n].Btn)
            DOUTs[n].Btn->SetUnknown();
}

// The worker found the port gone (an adapter pulled out): disconnect and wait for it to return.
void TfrTarvex::PortGone() {
    Disconnect();
    TryFindPanVisible();
    TempLogAdd(PortTitle() + QStringLiteral(" отключён от системы"), LogColor::DarkRed);
    MissingPortName = ComPortName;
    PortWatchTimer.start();
}

void TfrTarvex::PortWatchTimerTimer() {
    // The operator chose another port meanwhile: the wait is over.
    if (Connected || ComPortName != MissingPortName) {
        PortWatchTimer.stop();
        return;
    }
    if (!SerialPortPresent(ComPortName))
        return;
    PortWatchTimer.stop();
    TempLogAdd(PortTitle() + QStringLiteral(" снова в системе: повторное подключение"),
               LogColor::Navy);
    DoConnect();
    TryFindPanVisible();
}

// Ends the first full read once every read has its value or has been given up. A retry goes
// out at once: the worker let go of the request before its answer came.
void TfrTarvex::FirstReadAnswered(TzTag *tag, bool valueRead) {
    if (!Connected)
        return;
    TzFirstRead::Outcome outcome = FirstRead.Answered(tag, valueRead, Link.Lost());
    if (outcome == TzFirstRead::Outcome::Retry) {
        if (GetModbusRegRTU(tag))
            return;
        outcome = FirstRead.GiveUp(tag); // an equal request waits under another record
    }
    switch (outcome) {
    case TzFirstRead::Outcome::NotTracked:
    case TzFirstRead::Outcome::Retry:
        return;
    case TzFirstRead::Outcome::GivenUp:
        TempLogAdd(
            QStringLiteral("Не удалось прочитать регистр %1 «%2»").arg(tag->Reg).arg(tag->OPCName),
            LogColor::DarkRed);
        break;
    case TzFirstRead::Outcome::Settled:
        break;
    }
    if (FirstRead.Waiting())
        return;
    for (const auto &t : Device->Tags)
        t->IsLast = false;
    Device->IsLocked = false;
    AfterFirstUpdate();
}
