#include "tarvex.h"
#include "widgets/output_button.h"

#include <QLabel>
#include <QToolButton>

bool TfrTarvex::ShownConnected() const {
    using State = TarvexSession::ConnectionState;
    return ShownState == State::FirstRead || ShownState == State::Polling ||
           ShownState == State::Rebooting;
}

void TfrTarvex::ShowConnectionState(TarvexSession::ConnectionState state) {
    using State = TarvexSession::ConnectionState;
    const State before = ShownState;
    ShownState = state;
    btnPortObserver->setVisible(ShownConnected());
    switch (state) {
    case State::Connecting:
        imgFindDevice->hide();
        Anima(true);
        break;
    case State::FirstRead: {
        Anima(false);
        CloseAllPanel();
        const TarvexLineSettings line = Session->lineSettings();
        labAddr->setText(QString::number(line.address));
        labBaudRate->setText(QString::number(line.baudRate));
        labFormat->setText(ShortFormatText(line.format));
        ShowQueueLength(Session->PendingAnswerCount());
        imgFindDevice->hide();
        break;
    }
    case State::Polling:
        ButtonsEnabled(true);
        break;
    case State::Rebooting:
        ButtonsEnabled(false);
        break;
    case State::Idle:
        if (before == State::Rebooting) {
            labNeedReset->hide();
            CloseAllPanel();
        }
        Anima(false);
        ButtonsEnabled(false);
        ClearLabels(QStringLiteral("..."));
        // The last pictures stay; the states they show are no longer the module's.
        for (int n = 1; n <= TarvexSession::kOutputCount; ++n)
            DoutBtns[n]->SetUnknown();
        imgFindDevice->show();
        break;
    }
    TryFindPanVisible();
}
