#include "session/session_options.h"
#include "tarvex.h"
#include "transport/utils.h"

#include <QComboBox>
#include <QLineEdit>

// The fields take what the options hold; a value the file lacked leaves its field as it is.
void TfrTarvex::ShowConnectionOptions() {
    // A copy: every field set hands the fields back to the options.
    const TzComportOptions comport = Options->comport();
    if (comport.Name)
        cbComPort->setCurrentIndex(cbComPort->findText(*comport.Name));
    else if (comport.Indx)
        cbComPort->setCurrentIndex(FindPortEntry(*comport.Indx));
    txtLineAddr->setText(comport.Addr);
    cbLineBaudRate->setCurrentIndex(comport.BaudRate);
    cbLineFormat->setCurrentIndex(comport.Format);
    txtLineTimeout->setText(comport.Timeout);
    cbComPortChange();
}

// Every change of a connection field is an option change; none while the panel is being built.
void TfrTarvex::SaveConnectionOptions() {
    TzComportOptions comport;
    comport.Indx = ComPort;
    comport.Name = ComPortName;
    comport.Addr = txtLineAddr->text();
    comport.BaudRate = cbLineBaudRate->currentIndex();
    comport.Format = cbLineFormat->currentIndex();
    comport.Timeout = txtLineTimeout->text();
    Options->setComport(comport);
    if (!InitMode)
        Options->SaveOptions();
}

// The entry of port number n: "COM" + n on Windows, elsewhere the first name with those digits.
int TfrTarvex::FindPortEntry(int number) const {
#ifdef Q_OS_WIN
    return cbComPort->findText(QStringLiteral("COM%1").arg(number));
#else
    for (int i = 0; i < cbComPort->count(); ++i) {
        int digits = 0;
        if (TryDigitsToInt(cbComPort->itemText(i), digits) && digits == number)
            return i;
    }
    return -1;
#endif
}
