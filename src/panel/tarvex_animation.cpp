#include "connection_panel.h"
#include "tarvex.h"

#include <QLabel>
#include <QPushButton>

void TfrTarvex::Anima(bool on) {
    panComPort->btnConnect->setEnabled(!on);
    panComPort->labAni->clear();
    panComPort->labAni->setVisible(on);
    if (on) {
        AniTimer.start();
        return;
    }
    AniTimer.stop();
    AniSlide = 0;
    AniDirect = 1;
}

// A row of 1 to 10 dots growing and shrinking by one every tick.
void TfrTarvex::AniTimerTimer() {
    AniSlide += AniDirect;
    if (AniSlide < 0 || AniSlide > 8)
        AniDirect = -AniDirect;
    panComPort->labAni->setText(QString(AniSlide + 1, QLatin1Char('.')));
}

void TfrTarvex::ArrowTimerTimer() {
    const bool connected = ShownConnected();
    imgArrow->setVisible(!connected);
    if (connected)
        return;
    imgArrow->move(imgArrow->x() + ArrowStep, imgArrow->y());
    if (imgArrow->x() < 128 || imgArrow->x() > 135)
        ArrowStep = -ArrowStep;
}
