#include "model/register_map.h"
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
        DOUTs[n].Btn = button;
        button->setEnabled(true); // the display refresh disables them while not connected
    }
}

void TfrTarvex::btnDOUT1_Click(int output) {
    CloseAllPanel();
    TzDiscretOutParams &out = DOUTs[output];
    // A direct switch ends modulation; the module sets the duty factor the same way.
    out.ShimKoef = out.IsOn ? 0 : 1000;
    SetDOUT_Temp(output);
    // Under remote control the service decides: the click is only reported to it.
    if (chkRemoteControl->isChecked())
        ReportOutputClick(output);
    else
        SendDOUT(output, !out.IsOn);
}

void TfrTarvex::SendDOUT(int output, bool on) {
    // The output's coil tag carries Force, so the write is queued right behind the exchange
    // in progress.
    SetRegByID(TarvexMap::OutputRegister(output), on ? 1 : 0, false);
}

void TfrTarvex::SetDOUT(int output, bool on) {
    if (output < 1 || output > 20)
        return;
    TzDiscretOutParams &out = DOUTs[output];
    out.IsOn = on;
    if (!out.Btn)
        return;
    out.Btn->SetPicture(out.ShimOn() ? TzOutputPicture::Pwm
                        : on         ? TzOutputPicture::On
                                     : TzOutputPicture::Off);
}

void TfrTarvex::SetDOUT_Temp(int output) {
    if (output >= 1 && output <= 20 && DOUTs[output].Btn)
        DOUTs[output].Btn->SetPicture(TzOutputPicture::Pending);
}
