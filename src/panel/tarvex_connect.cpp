#include "tarvex.h"
#include "transport/serial_overlays.h"
#include "widgets/blinker.h"
#include "widgets/output_button.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

void TfrTarvex::btnConnectClick() {
    if (Session->isConnected())
        Session->disconnectFromModule();
    else
        ConnectWithFields();
    TryFindPanVisible();
}

void TfrTarvex::ConnectWithFields() {
    int address = 0;
    int timeout = 0;
    if (!CheckBlinkEditInt(txtLineAddr, address, kFirstAddress, kLastAddress) ||
        !CheckBlinkEditInt(txtLineTimeout, timeout, kNotSet, kNotSet))
        return;
    // The session raises a time-out below the rate's minimum; the field shows it.
    if (!CheckTimeout(timeout, BaudRate)) {
        timeout = GetTimeout(BaudRate);
        txtLineTimeout->setText(QString::number(timeout));
        BlinkEdit(txtLineTimeout);
    }
    TarvexLineSettings settings;
    settings.portName = ComPortName;
    settings.address = address;
    settings.baudRate = BaudRate;
    settings.format = qBound(0, cbLineFormat->currentIndex(), 3);
    settings.timeoutMs = timeout;
    Session->connectTo(settings);
}

bool TfrTarvex::ShownConnected() const {
    using State = TarvexSession::ConnectionState;
    return ShownState == State::FirstRead || ShownState == State::Polling ||
           ShownState == State::Rebooting;
}

void TfrTarvex::ShowConnectionState(TarvexSession::ConnectionState state) {
    using State = TarvexSession::ConnectionState;
    const State before = ShownState;
    ShownState = state;
    const bool connected = ShownConnected();
    btnConnect->setText(connected ? QStringLiteral("Отключиться") : QStringLiteral("Подключиться"));
    btnConnect->setAccessibleName(btnConnect->text());
    btnPortObserver->setVisible(connected);
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
        btnDOUT1PanClick(1);
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
