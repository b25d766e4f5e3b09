#include "search_panel.h"
#include "tarvex.h"
#include "transport/serial_overlays.h"
#include "widgets/blinker.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

// The search pop-up reads, locks and fills the connection fields through the frame.
void TfrTarvex::CreateSearchPanel() {
    panFind = new TzSearchPanel(*Session, this, panComPort, imgFindDevice);
    panFind->ReadConnectionFields = [this](TarvexLineSettings &line, bool raiseTimeout) {
        return ReadSearchFields(line, raiseTimeout);
    };
    connect(panFind, &TzSearchPanel::searchRunning, this, [this](bool running) {
        for (QWidget *field : std::initializer_list<QWidget *>{
                 cbComPort, txtLineAddr, cbLineBaudRate, cbLineFormat, txtLineTimeout, btnConnect})
            field->setEnabled(!running);
    });
    connect(panFind, &TzSearchPanel::findDeviceTaken, this, &TfrTarvex::TakeFoundDevice);
    connect(panFind, &TzSearchPanel::connectRequested, this, &TfrTarvex::btnConnectClick);
    connect(panFind, &TzSearchPanel::warning, this,
            [this](const QString &text, const QString &caption) {
                MessageBoxNew(this, text, caption, QMessageBox::Warning);
            });
}

bool TfrTarvex::ReadSearchFields(TarvexLineSettings &line, bool raiseTimeout) {
    int timeout = 0;
    if (!CheckBlinkEditInt(txtLineTimeout, timeout, kNotSet, kNotSet))
        return false;
    if (raiseTimeout && !CheckTimeout(timeout, BaudRate)) {
        timeout = GetTimeout(BaudRate);
        txtLineTimeout->setText(QString::number(timeout));
        BlinkEdit(txtLineTimeout);
    }
    line.portName = ComPortName;
    line.baudRate = BaudRate;
    line.format = cbLineFormat->currentIndex();
    line.timeoutMs = timeout;
    return true;
}

void TfrTarvex::TakeFoundDevice(const TzFindDevice &device) {
    const int port = cbComPort->findText(device.PortName);
    if (port >= 0)
        cbComPort->setCurrentIndex(port);
    txtLineAddr->setText(QString::number(device.Addr));
    cbLineBaudRate->setCurrentIndex(cbLineBaudRate->findText(QString::number(device.BaudRate)));
    cbLineFormat->setCurrentIndex(device.Format);
    txtLineTimeout->setText(QString::number(device.Timeout));
    cbComPortChange();
}
