#include "module_panel.h"

#include "line_fields.h"
#include "panel_texts.h"
#include "session/tarvex_session.h"
#include "widgets/blinker.h"
#include "widgets/popup_form.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TzModulePanel::TzModulePanel(TarvexSession &session, QWidget *frame)
    : QFrame(frame), Session(session) {
    InitPopupPanel(this, QStringLiteral("panRS485"), QStringLiteral("Устройство"), 236, 190);

    const TzLineFields line = MakeLineFields(this, "txtAddr", "cbBaudRate", "cbFormat", 34);
    txtAddr = line.address;
    cbBaudRate = line.baudRate;
    cbFormat = line.format;
    txtTimeout = MakeDigitsField(this, QStringLiteral("0"));
    PlaceField(txtTimeout, QStringLiteral("txtTimeout"), QStringLiteral("Тайм-аут"),
               Hint("Сетевой тайм-аут в секундах\r\nДиапазон: 0..600"), 118, 60);
    (new QLabel(QStringLiteral("сек"), this))->setGeometry(148, 118, 30, 22);

    btnRS485_Apply = new QPushButton(QStringLiteral("Применить"), this);
    btnRS485_Apply->setObjectName(QStringLiteral("btnRS485_Apply"));
    btnRS485_Apply->setAccessibleName(QStringLiteral("Применить"));
    btnRS485_Apply->setGeometry(38, 152, 130, 28);
    connect(btnRS485_Apply, &QPushButton::clicked, this, &TzModulePanel::btnRS485_ApplyClick);
    auto *note = new QLabel(QStringLiteral("i"), this);
    note->setObjectName(QStringLiteral("imgRS485Note"));
    note->setGeometry(176, 155, 20, 22);
    note->setAlignment(Qt::AlignCenter);
    note->setStyleSheet(QStringLiteral("color: #1c2f6b; font-weight: bold"));
    note->setToolTip(QStringLiteral("Настройки будут применены после перезапуска устройства"));
    note->setAccessibleName(note->toolTip());

    connect(&Session, &TarvexSession::moduleSettingsRead, this, &TzModulePanel::ShowModuleSettings);
}

void TzModulePanel::btnRS485_ApplyClick() {
    TzModuleSettings settings;
    settings.address = FieldNumber(txtAddr);
    settings.baudCode = cbBaudRate->currentIndex();
    settings.format = cbFormat->currentIndex();
    settings.networkTimeout = FieldNumber(txtTimeout);
    switch (Session.applyModuleSettings(settings)) {
    case TzApplyResult::Written:
        emit settingsWritten(settings);
        break;
    case TzApplyResult::BadAddress:
        BlinkEdit(txtAddr);
        break;
    case TzApplyResult::BadNetworkTimeout:
        BlinkEdit(txtTimeout);
        break;
    default:
        break;
    }
}

void TzModulePanel::ShowModuleSettings() {
    if (const std::optional<int> address = Session.moduleAddress())
        txtAddr->setText(QString::number(*address));
    // Applying a new address must not reset the module's network timeout to 0.
    if (const std::optional<int> timeout = Session.networkTimeout())
        txtTimeout->setText(QString::number(*timeout));
    if (const std::optional<int> code = Session.baudCode(); code && *code >= 0 && *code <= 9)
        cbBaudRate->setCurrentIndex(*code);
    // An ASCII format selects no row.
    if (const std::optional<int> code = Session.formatCode())
        cbFormat->setCurrentIndex(ModuleFormatRow(*code));
}
