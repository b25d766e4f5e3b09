#include "serial_port_list.h"
#include "tarvex.h"
#include "tools/temp_log.h"
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
    FirstReadTimer.stop();
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

// Ends the first full read once every read has its value or has been given up.
void TfrTarvex::FirstReadAnswered(TzTag *tag, bool valueRead) {
    if (!Connected)
        return;
    switch (FirstRead.Answered(tag, valueRead, Link.Lost())) {
    case TzFirstRead::Outcome::NotTracked:
        return;
    case TzFirstRead::Outcome::Retry:
        // Not from here: the worker refuses a copy of the request it is still answering.
        FirstReadTimer.start();
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

void TfrTarvex::FirstReadTimerTimer() {
    if (!Connected)
        return;
    for (TzTag *tag : FirstRead.Due())
        if (GetModbusRegRTU(tag))
            FirstRead.Asked(tag);
    if (!FirstRead.Due().empty())
        FirstReadTimer.start(); // refused while an equal request still waits: next time
}
