#include "panel_texts.h"
#include "serial_port_list.h"
#include "tarvex.h"
#include "tools/temp_log.h"
#include "transport/utils.h"
#include "widgets/blinker.h"
#include "widgets/pictures.h"
#include "widgets/popup_form.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

void TfrTarvex::CreateConnectionPanel() {
    panComPort = MakePopupPanel(this, QStringLiteral("panComPort"),
                                QStringLiteral("Сетевые настройки"), 236, 250);

    cbComPort = new QComboBox(panComPort);
    cbComPort->setMaxVisibleItems(12);
    PlaceField(cbComPort, QStringLiteral("cbComPort"), QStringLiteral("СОМ-порт"), QString(), 34,
               140);

    txtLineAddr = MakeDigitsField(panComPort, QStringLiteral("16"));
    PlaceField(txtLineAddr, QStringLiteral("txtLineAddr"), QStringLiteral("Адрес"),
               Hint("Адрес прибора\r\nДиапазон: 1..247"), 62, 60);
    imgFindDevice = new QLabel(panComPort);
    imgFindDevice->setObjectName(QStringLiteral("imgFindDevice"));
    imgFindDevice->setAccessibleName(QStringLiteral("Поиск устройств"));
    imgFindDevice->setToolTip(QStringLiteral("Поиск устройств"));
    imgFindDevice->setPixmap(SearchPixmap(false));
    imgFindDevice->setGeometry(148, 63, 20, 20);

    cbLineBaudRate = new QComboBox(panComPort);
    cbLineBaudRate->addItems(LineBaudRates());
    cbLineBaudRate->setCurrentIndex(3);
    PlaceField(cbLineBaudRate, QStringLiteral("cbLineBaudRate"), QStringLiteral("Скорость"),
               Hint("Скорость обмена данными, бод/сек"), 90, 140);

    cbLineFormat = new QComboBox(panComPort);
    cbLineFormat->addItems(LineFormats());
    cbLineFormat->setCurrentIndex(0);
    PlaceField(cbLineFormat, QStringLiteral("cbLineFormat"), QStringLiteral("Формат"),
               LineFormatHint(), 118, 140);

    txtLineTimeout = MakeDigitsField(panComPort, QStringLiteral("20"));
    PlaceField(txtLineTimeout, QStringLiteral("txtLineTimeout"), QStringLiteral("Тайм-аут"),
               Hint("Сетевой тайм-аут в миллисекундах"), 146, 60);
    (new QLabel(QStringLiteral("мс"), panComPort))->setGeometry(148, 146, 30, 22);

    btnConnect = new QPushButton(QStringLiteral("Подключиться"), panComPort);
    btnConnect->setObjectName(QStringLiteral("btnConnect"));
    btnConnect->setAccessibleName(QStringLiteral("Подключиться"));
    btnConnect->setGeometry(38, 182, 160, 30);
    connect(btnConnect, &QPushButton::clicked, this, &TfrTarvex::btnConnectClick);

    labAni = new QLabel(panComPort);
    labAni->setObjectName(QStringLiteral("labAni"));
    labAni->setAccessibleName(QStringLiteral("Подключение"));
    labAni->setGeometry(38, 216, 160, 22);
    labAni->setAlignment(Qt::AlignCenter);
    QFont bold = labAni->font();
    bold.setBold(true);
    labAni->setFont(bold);
    labAni->hide();

    connect(cbComPort, &QComboBox::currentIndexChanged, this, &TfrTarvex::cbComPortChange);
    connect(cbLineBaudRate, &QComboBox::currentIndexChanged, this, &TfrTarvex::cbComPortChange);
    connect(cbLineFormat, &QComboBox::currentIndexChanged, this, &TfrTarvex::cbComPortChange);
    connect(txtLineAddr, &QLineEdit::textChanged, this, &TfrTarvex::cbComPortChange);
    connect(txtLineTimeout, &QLineEdit::textChanged, this, &TfrTarvex::cbComPortChange);
}

void TfrTarvex::EnumSerialPorts() {
    const QString selected = cbComPort->currentText();
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
        ports.prepend(selected); // an unplugged adapter stays selected rather than switching
    }
    const QSignalBlocker blocker(cbComPort);
    cbComPort->clear();
    cbComPort->addItems(ports);
    const int index = firstFill ? 0 : cbComPort->findText(selected);
    cbComPort->setCurrentIndex(qMax(index, 0));
}

void TfrTarvex::cbComPortChange() {
    ComPortName = cbComPort->currentText();
    int number = 0;
    ComPort = TryDigitsToInt(ComPortName, number) ? number : 0;
    BaudRate = cbLineBaudRate->currentText().toInt();
    SaveOptions();
}

void TfrTarvex::FormatToFreePort() {
    // Data bits are always 8; parity and stop bits in the serial record's codes.
    static const struct { int Parity, StopBits; } formats[] = {{0, 0}, {1, 0}, {2, 0}, {0, 2}};
    const int position = qBound(0, cbLineFormat->currentIndex(), 3);
    TzDCB &dcb = FreePort->LocDCB();
    dcb.ByteSize = 8;
    dcb.Parity = formats[position].Parity;
    dcb.StopBits = formats[position].StopBits;
}

int TfrTarvex::GetTimeout(int baudRate) const {
    switch (baudRate) {
    case 1200:
        return 150;
    case 2400:
        return 80;
    case 4800:
        return 50;
    case 9600:
        return 30;
    case 14400:
        return 20;
    case 19200:
        return 15;
    case 28800:
    case 38400:
    case 57600:
    case 115200:
        return 10;
    default:
        return 150;
    }
}

bool TfrTarvex::CheckTimeout(int timeout, int baudRate) const {
    return timeout >= GetTimeout(baudRate);
}

bool TfrTarvex::CheckBlinkEditInt(QLineEdit *field, int &value, int minimum, int maximum) {
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

QString TfrTarvex::PortTitle() const {
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(ComPort);
#else
    return ComPortName;
#endif
}

// A port refused although the user may read and write its device is held by another program.
bool TfrTarvex::DeviceIsAccessible() const {
#ifdef Q_OS_WIN
    return true;
#else
    const QString path =
        QDir::isAbsolutePath(ComPortName) ? ComPortName : QStringLiteral("/dev/") + ComPortName;
    const QFileInfo device(path);
    return device.exists() && device.isReadable() && device.isWritable();
#endif
}

void TfrTarvex::ReportOpenFailure() {
    MessageBoxNew(this, QStringLiteral("Выбранный СОМ-порт занят или недоступен"),
                  QStringLiteral("Уведомление"), QMessageBox::Warning);
    TempLogAdd(PortTitle() + QStringLiteral(" занят или недоступен"), LogColor::DarkRed);

    const QString reason = FreePort->LastOpenErrorText();
    QString line;
    switch (FreePort->LastOpenError()) {
    case QSerialPort::PermissionError:
        if (DeviceIsAccessible()) {
            line = QStringLiteral("Причина: порт занят другой программой (%1)").arg(reason);
            break;
        }
        line = QStringLiteral("Причина: нет доступа к порту (%1). Пользователю нужно разрешить "
                              "работу с последовательными портами, в Debian — через группу "
                              "dialout")
                   .arg(reason);
        break;
    case QSerialPort::DeviceNotFoundError:
        line = QStringLiteral("Причина: нет такого устройства (%1)").arg(reason);
        break;
    case QSerialPort::OpenError:
        line = QStringLiteral("Причина: порт занят другой программой (%1)").arg(reason);
        break;
    default:
        line = QStringLiteral("Причина: %1").arg(reason);
        break;
    }
    TempLogAdd(line, LogColor::DarkRed);
}
