#include "model/register_map.h"
#include "panel_texts.h"
#include "tarvex.h"
#include "tools/temp_log.h"
#include "transport/utils.h"
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

// The module takes the new settings at its next restart; the connection keeps the old ones.
// Only values the module can live with are written: an address outside 1..247 would leave it
// unreachable after its restart.
void TfrTarvex::btnRS485_ApplyClick() {
    if (!Connected || Link.Lost())
        return;
    TempLogAdd(QString(), LogColor::Navy);
    int address = 0;
    int timeout = 0;
    if (!CheckBlinkEditInt(txtAddr, address, 1, 247) ||
        !CheckBlinkEditInt(txtTimeout, timeout, 0, 600))
        return;

    // The next connection uses the new settings.
    txtLineAddr->setText(txtAddr->text());
    cbLineBaudRate->setCurrentIndex(cbBaudRate->currentIndex());
    if (cbFormat->currentIndex() >= 0)
        cbLineFormat->setCurrentIndex(cbFormat->currentIndex());
    cbComPortChange();

    panRS485->hide();
    btnRS485->setChecked(false);
    labNeedReset->show();

    SetRegByID(TarvexMap::kRegAddress, address, true);
    SetRegByID(TarvexMap::kRegBaudCode, cbBaudRate->currentIndex(), true);
    // No row chosen (the module reported an ASCII format): its format stays as it is.
    if (cbFormat->currentIndex() >= 0)
        SetRegByID(TarvexMap::kRegFormatCode,
                   cbFormat->currentIndex() + TarvexMap::kRtuFormatCodeFirst, true);
    SetRegByID(TarvexMap::kRegNetworkTimeout, timeout, true);
}

void TfrTarvex::btnResetClick() {
    OprosTimer.stop();
    // The wait below handles events: a second click in it must not send a second reboot.
    ButtonsEnabled(false);
    if (FreePort)
        FreePort->ClearRequestList();
    // One command: the module restarts on it and would not hear a second. (The queue takes a
    // copy again as soon as the first has been exchanged, before its answer is handled.)
    SetRegByID(TarvexMap::kRegCommand, TarvexMap::kCommandReboot, true);
    WaitWithMessages(1200);

    Connected = false; // the watchdog closes the port at its next tick
    labNeedReset->hide();
    Anima(false);
    CloseAllPanel();
    ButtonsEnabled(false);
    ClearLabels(QStringLiteral("..."));
    for (int n = 1; n <= 20; ++n) {
        DOUTs[n].ShimKoef = 0;
        SetDOUT(n, false);
    }
    EndLink();
}

void TfrTarvex::SetMAC(const QByteArray &bytes) {
    if (bytes.size() != 6)
        return;
    txtMAC->setText(QString::fromLatin1(bytes.toHex('-').toUpper()));
    ModuleIdRead = true;
}

void TfrTarvex::puMAC_CopyClick() {
    CopyTextToClipboard(txtMAC->text());
}
