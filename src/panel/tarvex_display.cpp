#include "autorun_panel.h"
#include "remote_panel.h"
#include "tarvex.h"
#include "test_panel.h"
#include "widgets/win_color.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLocale>

namespace {

// A disabled label keeps the style's greyed colours.
void SetColours(QLabel *label, quint32 background, quint32 text) {
    QPalette palette = label->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, WinColor(background));
        palette.setColor(group, QPalette::WindowText, WinColor(text));
    }
    label->setPalette(palette);
}

} // namespace

// The test functions show only while TestMode is set; an expanded test panel is collapsed
// before it hides.
void TfrTarvex::ShowTestFunctions() {
    const bool testMode = TestMode();
    if (!testMode && panSnake->expanded())
        panSnake->labClosePanSnakeClick();
    panSnake->setVisible(testMode);
    panAutorun->ShowTestFunctions(testMode);
    panProxy->ShowTestFunctions(testMode);
}

// The flag belongs to the main window, which tells nobody when it changes.
void TfrTarvex::InterfaceTimerTimer() {
    ShowTestFunctions();
}

// The last values stay on show, greyed, so that nobody takes them for live ones.
void TfrTarvex::ShowLinkLost(bool lost) {
    labLinkLost->setVisible(lost);
    for (QLabel *label : {labAddr, labBaudRate, labFormat, labVerPO, labPower1, labTest})
        label->setEnabled(!lost);
    ButtonsEnabled(ShownState == TarvexSession::ConnectionState::Polling);
}

void TfrTarvex::ShowSupply() {
    if (!ShownConnected())
        return;
    if (const std::optional<double> volts = Session->supplyVoltage())
        labPower1->setText(QLocale().toString(*volts, 'f', 2) + QStringLiteral(" В"));
    if (const std::optional<bool> alarm = Session->supplyAlarm()) {
        if (*alarm)
            SetColours(labPower1, 255, 65535); // yellow on red
        else
            SetColours(labPower1, 15780518, 8388608); // navy on sky blue
    }
}

void TfrTarvex::ShowIdentity() {
    const QString firmware = Session->firmwareText();
    if (ShownConnected() && !firmware.isEmpty())
        labVerPO->setText(firmware);
    if (Session->moduleIdRead())
        txtMAC->setText(Session->moduleId());
}

// What the first full read brought of the module's own settings; the RS-485 panel shows them
// in its fields.
void TfrTarvex::ShowModuleSettingsLabels() {
    if (const std::optional<int> address = Session->moduleAddress())
        labAddr->setText(QString::number(*address));
    if (const std::optional<int> code = Session->baudCode(); code && *code >= 0 && *code <= 9)
        labBaudRate->setText(LineBaudRates()[*code]);
    // Other codes leave the label as it is.
    if (const std::optional<int> code = Session->formatCode())
        if (const QString text = ModuleFormatText(*code); !text.isEmpty())
            labFormat->setText(text);
}

void TfrTarvex::ShowQueueLength(int length) {
    if (ShownConnected())
        labTest->setText(QString::number(length));
}
