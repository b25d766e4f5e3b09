#include "panel_texts.h"
#include "tarvex.h"
#include "widgets/blinker.h"
#include "widgets/clipboard.h"
#include "widgets/popup_form.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

void TfrTarvex::CreateModulePanel() {
    panRS485 =
        MakePopupPanel(this, QStringLiteral("panRS485"), QStringLiteral("Устройство"), 236, 190);

    txtAddr = MakeDigitsField(panRS485, QStringLiteral("16"));
    PlaceField(txtAddr, QStringLiteral("txtAddr"), QStringLiteral("Адрес"),
               Hint("Адрес прибора\r\nДиапазон: 1..247"), 34, 60);
    cbBaudRate = new QComboBox(panRS485);
    cbBaudRate->addItems(LineBaudRates());
    cbBaudRate->setCurrentIndex(3);
    PlaceField(cbBaudRate, QStringLiteral("cbBaudRate"), QStringLiteral("Скорость"),
               Hint("Скорость обмена данными, бод/сек"), 62, 140);
    cbFormat = new QComboBox(panRS485);
    cbFormat->addItems(LineFormats());
    cbFormat->setCurrentIndex(0);
    PlaceField(cbFormat, QStringLiteral("cbFormat"), QStringLiteral("Формат"), LineFormatHint(), 90,
               140);
    txtTimeout = MakeDigitsField(panRS485, QStringLiteral("0"));
    PlaceField(txtTimeout, QStringLiteral("txtTimeout"), QStringLiteral("Тайм-аут"),
               Hint("Сетевой тайм-аут в секундах\r\nДиапазон: 0..600"), 118, 60);
    (new QLabel(QStringLiteral("сек"), panRS485))->setGeometry(148, 118, 30, 22);

    btnRS485_Apply = new QPushButton(QStringLiteral("Применить"), panRS485);
    btnRS485_Apply->setObjectName(QStringLiteral("btnRS485_Apply"));
    btnRS485_Apply->setAccessibleName(QStringLiteral("Применить"));
    btnRS485_Apply->setGeometry(38, 152, 130, 28);
    connect(btnRS485_Apply, &QPushButton::clicked, this, &TfrTarvex::btnRS485_ApplyClick);
    connect(btnReset, &QPushButton::clicked, this, &TfrTarvex::btnResetClick);
    auto *note = new QLabel(QStringLiteral("i"), panRS485);
    note->setObjectName(QStringLiteral("imgRS485Note"));
    note->setGeometry(176, 155, 20, 22);
    note->setAlignment(Qt::AlignCenter);
    note->setStyleSheet(QStringLiteral("color: #1c2f6b; font-weight: bold"));
    note->setToolTip(QStringLiteral("Настройки будут применены после перезапуска устройства"));
    note->setAccessibleName(note->toolTip());

    txtMAC->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(txtMAC, &QLabel::customContextMenuRequested, this, [this](const QPoint &pos) {
        QMenu menu(this);
        menu.addAction(QStringLiteral("Скопировать ID"), this, &TfrTarvex::puMAC_CopyClick);
        menu.exec(txtMAC->mapToGlobal(pos));
    });
}

// The session checks the settings and writes them; the first field it refuses blinks. Written,
// they become the connection's settings too, for the module takes them at its next restart.
void TfrTarvex::btnRS485_ApplyClick() {
    TzModuleSettings settings;
    settings.address = FieldNumber(txtAddr);
    settings.baudCode = cbBaudRate->currentIndex();
    settings.format = cbFormat->currentIndex();
    settings.networkTimeout = FieldNumber(txtTimeout);
    switch (Session->applyModuleSettings(settings)) {
    case TzApplyResult::Written:
        break;
    case TzApplyResult::BadAddress:
        BlinkEdit(txtAddr);
        return;
    case TzApplyResult::BadNetworkTimeout:
        BlinkEdit(txtTimeout);
        return;
    default:
        return;
    }
    txtLineAddr->setText(txtAddr->text());
    cbLineBaudRate->setCurrentIndex(cbBaudRate->currentIndex());
    // No row chosen (the module reported an ASCII format): the connection keeps its own.
    if (cbFormat->currentIndex() >= 0)
        cbLineFormat->setCurrentIndex(cbFormat->currentIndex());
    cbComPortChange();

    panRS485->hide();
    btnRS485->setChecked(false);
    labNeedReset->show();
}

// The session disables what acts on the module at once and ends the connection after its wait.
void TfrTarvex::btnResetClick() {
    Session->reboot();
}

void TfrTarvex::puMAC_CopyClick() {
    CopyTextToClipboard(txtMAC->text());
}
