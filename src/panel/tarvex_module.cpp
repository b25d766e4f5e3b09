#include "connection_panel.h"
#include "module_panel.h"
#include "tarvex.h"
#include "widgets/clipboard.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>

void TfrTarvex::CreateModuleActions() {
    connect(btnReset, &QPushButton::clicked, this, &TfrTarvex::btnResetClick);
    txtMAC->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(txtMAC, &QLabel::customContextMenuRequested, this, [this](const QPoint &pos) {
        QMenu menu(this);
        menu.addAction(QStringLiteral("Скопировать ID"), this, &TfrTarvex::puMAC_CopyClick);
        menu.exec(txtMAC->mapToGlobal(pos));
    });
}

// Written, the settings become the connection's settings too, for the module takes them at its
// next restart, which is due.
void TfrTarvex::ModuleSettingsWritten(const TzModuleSettings &settings) {
    panComPort->TakeModuleSettings(settings);
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
