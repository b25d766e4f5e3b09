#include "connection_panel.h"

#include "line_fields.h"
#include "panel_texts.h"
#include "serial_port_list.h"
#include "session/tarvex_session.h"
#include "tools/temp_log.h"
#include "transport/serial_overlays.h"
#include "transport/utils.h"
#include "widgets/blinker.h"
#include "widgets/popup_form.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TzConnectionPanel::TzConnectionPanel(TarvexSession &session, QWidget *frame)
    : QFrame(frame), Session(session) {
    InitPopupPanel(this, QStringLiteral("panComPort"), QStringLiteral("Сетевые настройки"), 236,
                   250);

    cbComPort = new QComboBox(this);
    cbComPort->setMaxVisibleItems(12);
    PlaceField(cbComPort, QStringLiteral("cbComPort"), QStringLiteral("СОМ-порт"), QString(), 34,
               140);

    const TzLineFields line =
        MakeLineFields(this, "txtLineAddr", "cbLineBaudRate", "cbLineFormat", 62);
    txtLineAddr = line.address;
    cbLineBaudRate = line.baudRate;
    cbLineFormat = line.format;

    txtLineTimeout = MakeDigitsField(this, QStringLiteral("20"));
    PlaceField(txtLineTimeout, QStringLiteral("txtLineTimeout"), QStringLiteral("Тайм-аут"),
               Hint("Сетевой тайм-аут в миллисекундах"), 146, 60);
    (new QLabel(QStringLiteral("мс"), this))->setGeometry(148, 146, 30, 22);

    btnConnect = new QPushButton(QStringLiteral("Подключиться"), this);
    btnConnect->setObjectName(QStringLiteral("btnConnect"));
    btnConnect->setAccessibleName(QStringLiteral("Подключиться"));
    btnConnect->setGeometry(38, 182, 160, 30);
    connect(btnConnect, &QPushButton::clicked, this, &TzConnectionPanel::btnConnectClick);

    labAni = new QLabel(this);
    labAni->setObjectName(QStringLiteral("labAni"));
    labAni->setAccessibleName(QStringLiteral("Подключение"));
    labAni->setGeometry(38, 216, 160, 22);
    labAni->setAlignment(Qt::AlignCenter);
    QFont bold = labAni->font();
    bold.setBold(true);
    labAni->setFont(bold);
    labAni->hide();

    EnumSerialPorts();
    cbComPortChange();
    connect(cbComPort, &QComboBox::currentIndexChanged, this, &TzConnectionPanel::cbComPortChange);
    connect(cbLineBaudRate, &QComboBox::currentIndexChanged, this,
            &TzConnectionPanel::cbComPortChange);
    connect(cbLineFormat, &QComboBox::currentIndexChanged, this,
            &TzConnectionPanel::cbComPortChange);
    connect(txtLineAddr, &QLineEdit::textChanged, this, &TzConnectionPanel::cbComPortChange);
    connect(txtLineTimeout, &QLineEdit::textChanged, this, &TzConnectionPanel::cbComPortChange);
    connect(&Session, &TarvexSession::connectionStateChanged, this,
            &TzConnectionPanel::ShowConnectionState);
}

// Listing again changes no choice, so that the field shows the port a connection would use:
// that port stays selected even when it has gone (a session may be waiting for it to come
// back), and no port selected stays so.
void TzConnectionPanel::EnumSerialPorts() {
    const QString selected = ComPortName;
    QStringList ports = SystemSerialPorts();
    const bool firstFill = cbComPort->count() == 0;
    if (ports.isEmpty()) {
        if (!firstFill)
            return; // keep the list we have; the two lines were written at start
        TempLogAdd(QStringLiteral("Попробуйте запустить программу с правами Администратора"),
                   LogColor::DarkRed);
        TempLogAdd(QStringLiteral("Не удалось обнаружить ни одного СОМ-порта"), LogColor::DarkRed);
        ports = FallbackSerialPorts();
    } else if (!firstFill && !selected.isEmpty() && !ports.contains(selected)) {
        ports.prepend(selected); // an unplugged adapter
    }
    const QSignalBlocker blocker(cbComPort);
    cbComPort->clear();
    cbComPort->addItems(ports);
    cbComPort->setCurrentIndex(firstFill ? 0 : cbComPort->findText(selected));
}

void TzConnectionPanel::cbComPortChange() {
    ComPortName = cbComPort->currentText();
    ComPort = PortNumber(ComPortName);
    BaudRate = cbLineBaudRate->currentText().toInt();
    // Another port chosen: the session no longer waits for a vanished one to come back.
    if (ComPortName != Session.lineSettings().portName)
        Session.stopWaitingForPort();
    emit lineChanged();
}

void TzConnectionPanel::btnConnectClick() {
    if (Session.isConnected())
        Session.disconnectFromModule();
    else
        ConnectWithFields();
}

void TzConnectionPanel::ConnectWithFields() {
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
    Session.connectTo(settings);
}

void TzConnectionPanel::ShowLine(const TarvexLineSettings &line) {
    if (const int port = cbComPort->findText(line.portName); port >= 0)
        cbComPort->setCurrentIndex(port); // a port no longer listed leaves the choice as it is
    txtLineAddr->setText(QString::number(line.address));
    cbLineBaudRate->setCurrentIndex(cbLineBaudRate->findText(QString::number(line.baudRate)));
    cbLineFormat->setCurrentIndex(line.format);
    txtLineTimeout->setText(QString::number(line.timeoutMs));
    cbComPortChange();
}

void TzConnectionPanel::ConnectWithLine(const TarvexLineSettings &line) {
    ShowLine(line);
    if (!Session.isConnected())
        ConnectWithFields();
}

void TzConnectionPanel::TakeModuleSettings(const TzModuleSettings &settings) {
    txtLineAddr->setText(QString::number(settings.address));
    cbLineBaudRate->setCurrentIndex(settings.baudCode);
    if (settings.format >= 0)
        cbLineFormat->setCurrentIndex(settings.format);
    cbComPortChange();
}

void TzConnectionPanel::SetConnectionFieldsEnabled(bool enabled) {
    for (QWidget *field : std::initializer_list<QWidget *>{cbComPort, txtLineAddr, cbLineBaudRate,
                                                           cbLineFormat, txtLineTimeout})
        field->setEnabled(enabled);
}

bool TzConnectionPanel::CheckBlinkEditInt(QLineEdit *field, int &value, int minimum, int maximum) {
    bool ok = false;
    const int number = field->text().toInt(&ok);
    if (ok && minimum != kNotSet && number < minimum)
        ok = false;
    if (ok && maximum != kNotSet && number > maximum)
        ok = false;
    if (!ok) {
        BlinkEdit(field);
        return false;
    }
    value = number;
    return true;
}

void TzConnectionPanel::ShowConnectionState(TarvexSession::ConnectionState state) {
    using State = TarvexSession::ConnectionState;
    const bool connected =
        state == State::FirstRead || state == State::Polling || state == State::Rebooting;
    btnConnect->setText(connected ? QStringLiteral("Отключиться") : QStringLiteral("Подключиться"));
    btnConnect->setAccessibleName(btnConnect->text());
}

// The fields take what the options hold; a value the file lacked leaves its field as it is.
void TzConnectionPanel::ShowLineOptions(const TzComportOptions &comport) {
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

TzComportOptions TzConnectionPanel::LineOptions() const {
    TzComportOptions comport;
    comport.Indx = ComPort;
    comport.Name = ComPortName; // digits alone are ambiguous
    comport.Addr = txtLineAddr->text();
    comport.BaudRate = cbLineBaudRate->currentIndex();
    comport.Format = cbLineFormat->currentIndex();
    comport.Timeout = txtLineTimeout->text();
    return comport;
}

// The entry of port number n: "COM" + n on Windows, elsewhere the first name with those digits.
int TzConnectionPanel::FindPortEntry(int number) const {
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
