#include "session/remote_control.h"
#include "session/test_patterns.h"
#include "tarvex.h"
#include "widgets/output_button.h"

#include <QCheckBox>
#include <QLabel>

namespace {

constexpr int kFirstButtonX = 170;
constexpr int kFirstButtonY = 172;
constexpr int kButtonWidth = 41;
constexpr int kButtonHeight = 74;
constexpr int kGapX = 8;
constexpr int kGapY = 12;

} // namespace

void TfrTarvex::CreateDoutBtns() {
    labDOUTHeader = new QLabel(QStringLiteral("Дискретные выходы"), this);
    labDOUTHeader->setObjectName(QStringLiteral("labDOUTHeader"));
    labDOUTHeader->setAccessibleName(labDOUTHeader->text());
    labDOUTHeader->setGeometry(kFirstButtonX, kFirstButtonY - 24, 10 * kButtonWidth + 9 * kGapX,
                               20);
    labDOUTHeader->setAlignment(Qt::AlignCenter);
    labDOUTHeader->setStyleSheet(
        QStringLiteral("font-weight: bold; border-bottom: 1px solid #8090b0"));

    for (int n = 1; n <= 20; ++n) {
        const int column = (n - 1) % 10;
        const int row = (n - 1) / 10;
        auto *button = new TzOutputButton(n, row == 0, this);
        button->setObjectName(QStringLiteral("btnDOUT%1").arg(n));
        button->setGeometry(kFirstButtonX + column * (kButtonWidth + kGapX),
                            kFirstButtonY + row * (kButtonHeight + kGapY), kButtonWidth,
                            kButtonHeight);
        connect(button, &TzOutputButton::clicked, this, [this, n] { btnDOUT1_Click(n); });
        DoutBtns[n] = button;
    }
}

// The button keeps the pending picture until the session reports the module's state.
void TfrTarvex::btnDOUT1_Click(int output) {
    CloseAllPanel();
    SetDOUT_Temp(output);
    // Under remote control the service decides: the click is only reported to it.
    Remote->toggleOutput(output);
}

void TfrTarvex::SetDOUT(int output, bool on) {
    if (output < 1 || output > 20)
        return;
    DoutBtns[output]->SetPicture(Session->output(output).ShimOn() ? TzOutputPicture::Pwm
                                 : on                             ? TzOutputPicture::On
                                                                  : TzOutputPicture::Off);
}

void TfrTarvex::SetDOUT_Temp(int output) {
    if (output >= 1 && output <= 20)
        DoutBtns[output]->SetPicture(TzOutputPicture::Pending);
}

void TfrTarvex::ShowAllPending() {
    for (int n = 1; n <= TarvexSession::kOutputCount; ++n)
        SetDOUT_Temp(n);
}

void TfrTarvex::ShowOutputStates() {
    if (m_patterns->TestSequenceRunning()) // the patterns alone draw the outputs meanwhile
        return;
    for (int n = 1; n <= TarvexSession::kOutputCount; ++n)
        if (Session->output(n).StateKnown)
            SetDOUT(n, Session->output(n).IsOn);
}
