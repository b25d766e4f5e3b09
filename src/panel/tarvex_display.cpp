#include "model/register_map.h"
#include "tarvex.h"
#include "transport/utils.h"
#include "widgets/win_color.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QToolButton>

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
    if (!testMode) {
        if (!panProxy->isHidden()) {
            panProxy->hide();
            imgOpenSirel->hide();
        }
        if (SnakeExpanded)
            labClosePanSnakeClick();
    }
    // Hiding the switch leaves remote control running.
    for (QWidget *control : std::initializer_list<QWidget *>{panSnake, cbStyles, chkRemoteControl,
                                                             imgProxySettings, imgOpenSirel})
        control->setVisible(testMode);
}

void TfrTarvex::InterfaceTimerTimer() {
    ShowTestFunctions();
    if (!Connected) {
        ButtonsEnabled(false);
        btnPortObserver->hide();
        btnConnect->setText(QStringLiteral("Подключиться"));
        btnConnect->setAccessibleName(btnConnect->text());
        return;
    }
    btnPortObserver->show();
    btnConnect->setText(QStringLiteral("Отключиться"));
    btnConnect->setAccessibleName(btnConnect->text());
    if (!Device)
        return;

    double millivolts = 0;
    if (TryValueByID(TarvexMap::kRegSupplyVoltage, millivolts))
        labPower1->setText(QLocale().toString(millivolts / 1000, 'f', 2) + QStringLiteral(" В"));
    int status = 0;
    if (TryValueByID(TarvexMap::kRegPowerStatus, status)) {
        const bool alarm = IsBitSet(status, TarvexMap::kPowerAlarmBitLow) ||
                           IsBitSet(status, TarvexMap::kPowerAlarmBitHigh);
        if (alarm)
            SetColours(labPower1, 255, 65535); // yellow on red
        else
            SetColours(labPower1, 15780518, 8388608); // navy on sky blue
    }

    if (!TestSequenceRunning()) // the patterns alone draw the outputs meanwhile
        ShowOutputStates();

    LinkEvent(Link.Check(GetTickCount()));
    labTest->setText(QString::number(PendingAnswerCount()));
}

void TfrTarvex::ShowOutputStates() {
    int outputs = 0;
    if (TryValueByID(TarvexMap::kRegOutputStates1to16, outputs))
        for (int n = 1; n <= 16; ++n)
            SetDOUT(n, IsBitSet(outputs, n - 1));
    if (TryValueByID(TarvexMap::kRegOutputStates17to20, outputs))
        for (int n = 17; n <= TarvexMap::kOutputCount; ++n)
            SetDOUT(n, IsBitSet(outputs, n - 17));
}
