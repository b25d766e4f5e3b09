#include "panel_texts.h"
#include "serial_port_list.h"
#include "tarvex.h"
#include "tools/temp_log.h"
#include "transport/serial_overlays.h"
#include "widgets/blinker.h"
#include "widgets/pictures.h"
#include "widgets/popup_form.h"

#include <QComboBox>
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
    ComPort = PortNumber(ComPortName);
    BaudRate = cbLineBaudRate->currentText().toInt();
    // Another port chosen: the session no longer waits for a vanished one to come back.
    if (ComPortName != Session->lineSettings().portName)
        Session->stopWaitingForPort();
    SaveConnectionOptions();
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
