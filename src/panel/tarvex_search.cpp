#include "connection_panel.h"
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
        panComPort->SetConnectionFieldsEnabled(!running);
        panComPort->btnConnect->setEnabled(!running);
    });
    connect(panFind, &TzSearchPanel::findDeviceTaken, this, &TfrTarvex::TakeFoundDevice);
    connect(panFind, &TzSearchPanel::connectRequested, panComPort,
            &TzConnectionPanel::btnConnectClick);
    connect(panFind, &TzSearchPanel::warning, this,
            [this](const QString &text, const QString &caption) {
                MessageBoxNew(this, text, caption, QMessageBox::Warning);
            });
}

bool TfrTarvex::ReadSearchFields(TarvexLineSettings &line, bool raiseTimeout) {
    QLineEdit *timeoutField = panComPort->txtLineTimeout;
    const int baudRate = panComPort->baudRate();
    int timeout = 0;
    if (!TzConnectionPanel::CheckBlinkEditInt(timeoutField, timeout, kNotSet, kNotSet))
        return false;
    if (raiseTimeout && !CheckTimeout(timeout, baudRate)) {
        timeout = GetTimeout(baudRate);
        timeoutField->setText(QString::number(timeout));
        BlinkEdit(timeoutField);
    }
    line.portName = panComPort->comPortName();
    line.baudRate = baudRate;
    line.format = panComPort->cbLineFormat->currentIndex();
    line.timeoutMs = timeout;
    return true;
}

void TfrTarvex::TakeFoundDevice(const TzFindDevice &device) {
    TarvexLineSettings line;
    line.portName = device.PortName;
    line.address = device.Addr;
    line.baudRate = device.BaudRate;
    line.format = device.Format;
    line.timeoutMs = device.Timeout;
    panComPort->ShowLine(line);
}
