#include "panel_texts.h"
#include "tarvex.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>

namespace {

constexpr int kPanelWidth = 190;
constexpr int kPanelHeight = 318;
constexpr int kCaptionHeight = 22; // what shows of the collapsed panel
constexpr int kExpandedWidth = 900;
constexpr int kNormalWidth = 700;

int StepPeriod(const QScrollBar *bar) {
    return bar->maximum() + bar->minimum() - bar->value();
}

} // namespace

void TfrTarvex::CreateTestPanel() {
    panSnake = new QFrame(this);
    panSnake->setObjectName(QStringLiteral("panSnake"));
    panSnake->setAccessibleName(QStringLiteral("Тестирование"));
    panSnake->setFrameShape(QFrame::Panel);
    panSnake->setFrameShadow(QFrame::Raised);
    panSnake->setAutoFillBackground(true);
    panSnake->resize(kPanelWidth, kPanelHeight);
    panSnake->hide(); // a test function

    labSnakeCaption = new QLabel(QStringLiteral("Тестирование"), panSnake);
    labSnakeCaption->setObjectName(QStringLiteral("labSnakeCaption"));
    labSnakeCaption->setAccessibleName(labSnakeCaption->text());
    labSnakeCaption->setGeometry(0, 0, kPanelWidth - 22, kCaptionHeight);
    labSnakeCaption->setAlignment(Qt::AlignCenter);
    labSnakeCaption->setStyleSheet(
        QStringLiteral("background: #2b579a; color: white; font-weight: bold"));
    labSnakeCaption->setCursor(Qt::PointingHandCursor);
    OnClick(labSnakeCaption, &TfrTarvex::labSnakeCaptionMouseDown);
    labClosePanSnake = new QLabel(QStringLiteral("x"), panSnake);
    labClosePanSnake->setObjectName(QStringLiteral("labClosePanSnake"));
    labClosePanSnake->setAccessibleName(QStringLiteral("Свернуть"));
    labClosePanSnake->setGeometry(kPanelWidth - 22, 0, 22, kCaptionHeight);
    labClosePanSnake->setAlignment(Qt::AlignCenter);
    labClosePanSnake->setStyleSheet(
        QStringLiteral("background: #2b579a; color: white; font-weight: bold"));
    OnClick(labClosePanSnake, &TfrTarvex::labClosePanSnakeClick);

    const auto button = [this](const char *name, const QString &caption, int y) {
        auto *b = new QPushButton(caption, panSnake);
        b->setObjectName(QString::fromLatin1(name));
        b->setAccessibleName(caption);
        b->setGeometry(8, y, kPanelWidth - 16, 26);
        return b;
    };
    btnSnakeOn = button("btnSnakeOn", QStringLiteral("Включить"), 30);
    btnSnakeOn->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    connect(btnSnakeOn, &QPushButton::clicked, this, &TfrTarvex::btnSnakeOnClick);
    btnRunner = button("btnRunner", QStringLiteral("Runner"), 60);
    btnRunner->setCheckable(true);
    connect(btnRunner, &QPushButton::clicked, this, &TfrTarvex::btnRunnerClick);

    labSnakeSpeed = new QLabel(QStringLiteral("Скорость: (Шаг в 500мс)"), panSnake);
    labSnakeSpeed->setObjectName(QStringLiteral("labSnakeSpeed"));
    labSnakeSpeed->setAccessibleName(QStringLiteral("Скорость"));
    labSnakeSpeed->setGeometry(8, 94, kPanelWidth - 16, 20);
    SnakeSpeedScroll = new QScrollBar(Qt::Horizontal, panSnake);
    SnakeSpeedScroll->setObjectName(QStringLiteral("SnakeSpeedScroll"));
    SnakeSpeedScroll->setAccessibleName(QStringLiteral("Скорость"));
    SnakeSpeedScroll->setRange(50, 2000);
    SnakeSpeedScroll->setSingleStep(5);
    SnakeSpeedScroll->setPageStep(50);
    SnakeSpeedScroll->setValue(1600);
    SnakeSpeedScroll->setGeometry(8, 116, kPanelWidth - 16, 18);
    connect(SnakeSpeedScroll, &QScrollBar::valueChanged, this, &TfrTarvex::SnakeSpeedScrollChange);
    connect(SnakeSpeedScroll, &QScrollBar::sliderMoved, this, &TfrTarvex::SnakeSpeedScrollScroll);

    const struct {
        const char *name;
        const char *caption;
        QPushButton **button;
    } allButtons[] = {{"btnAllOnSlow", "Включить все (по очереди)", &btnAllOnSlow},
                      {"btnAllOffSlow", "Отключить все (по очереди)", &btnAllOffSlow},
                      {"btnAllOn", "Включить все (быстро)", &btnAllOn},
                      {"btnAllOff", "Отключить все (быстро)", &btnAllOff}};
    int y = 150;
    for (const auto &entry : allButtons) {
        QPushButton *b = button(entry.name, QString::fromUtf8(entry.caption), y);
        connect(b, &QPushButton::clicked, this, [this, b] { btnAllOnClick(b); });
        *entry.button = b;
        y += 32;
    }

    SnakeTimer.setObjectName(QStringLiteral("SnakeTimer"));
    SnakeTimer.setInterval(250);
    connect(&SnakeTimer, &QTimer::timeout, this, &TfrTarvex::SnakeTimerTimer);
    Runner_Timer.setObjectName(QStringLiteral("Runner_Timer"));
    Runner_Timer.setInterval(500);
    connect(&Runner_Timer, &QTimer::timeout, this, &TfrTarvex::Runner_TimerTimer);
    Runner_Timer.start();
}

bool TfrTarvex::TestSequenceRunning() const {
    return SnakeTimer.isActive() || btnRunner->isChecked();
}

void TfrTarvex::btnSnakeOnClick() {
    Session->setAllOutputs(false);
    const bool running = SnakeTimer.isActive();
    btnSnakeOn->setText(running ? QStringLiteral("Включить") : QStringLiteral("Отключить"));
    btnSnakeOn->setIcon(
        style()->standardIcon(running ? QStyle::SP_MediaPlay : QStyle::SP_MediaStop));
    SnakePos = SnakePosPrev = 0;
    SnakeLen = 3;
    SnakeDir = 1;
    SnakeSilence = false;
    SnakeTimer.setInterval(StepPeriod(SnakeSpeedScroll));
    if (running)
        SnakeTimer.stop();
    else
        SnakeTimer.start();
    ShowOutputStates(); // once stopped, the module's states show again
}

// The lit output runs 1..10, then 20..11, then 1 again: once round the two rows.
void TfrTarvex::SnakeTimerTimer() {
    if (SnakePos < 10)
        ++SnakePos;
    if (SnakePos > 11)
        --SnakePos;
    SetDOUT(SnakePos, true);
    if (!SnakeSilence)
        Session->setOutput(SnakePos, true);
    if (SnakePosPrev > 0) {
        SetDOUT(SnakePosPrev, false);
        if (!SnakeSilence)
            Session->setOutput(SnakePosPrev, false);
    }
    SnakePosPrev = SnakePos;
    if (SnakePos == 10)
        SnakePos = 21;
    else if (SnakePos == 11)
        SnakePos = 0;
}

void TfrTarvex::btnRunnerClick() {
    RunnerPos = 1;
    RunnerPosPrev = -1;
    Runner_Timer.setInterval(StepPeriod(SnakeSpeedScroll));
    Session->setAllOutputs(false);
    ShowOutputStates(); // once unchecked, the module's states show again
}

// The pairs (1, 11), (2, 12) ... (10, 20) light in turn.
void TfrTarvex::Runner_TimerTimer() {
    if (!btnRunner->isChecked() || SnakeTimer.isActive())
        return;
    if (RunnerPosPrev > 0) {
        SetDOUT(RunnerPosPrev, false);
        SetDOUT(RunnerPosPrev + 10, false);
        Session->setOutput(RunnerPosPrev, false);
        Session->setOutput(RunnerPosPrev + 10, false);
    }
    SetDOUT(RunnerPos, true);
    SetDOUT(RunnerPos + 10, true);
    Session->setOutput(RunnerPos, true);
    Session->setOutput(RunnerPos + 10, true);
    RunnerPosPrev = RunnerPos;
    RunnerPos = RunnerPos % 10 + 1;
}

void TfrTarvex::btnAllOnClick(QPushButton *sender) {
    for (int n = 1; n <= 20; ++n)
        SetDOUT_Temp(n);
    if (sender == btnAllOn || sender == btnAllOff) {
        Session->setAllOutputs(sender == btnAllOn);
        return;
    }
    const bool on = sender == btnAllOnSlow;
    for (int n = 20; n >= 1; --n)
        Session->setOutput(n, on);
}

void TfrTarvex::SnakeSpeedScrollChange() {
    const int period = StepPeriod(SnakeSpeedScroll);
    SnakeTimer.setInterval(period);
    Runner_Timer.setInterval(period);
    labSnakeSpeed->setText(QStringLiteral("Скорость: (Шаг в %1 мс)").arg(period));
}

// While the thumb is dragged the position snaps to a multiple of 5.
void TfrTarvex::SnakeSpeedScrollScroll(int position) {
    const int remainder = position % 5;
    if (remainder == 0)
        return;
    SnakeSpeedScroll->setValue(remainder <= 2 ? position - remainder : position + 5 - remainder);
}

void TfrTarvex::labSnakeCaptionMouseDown() {
    window()->setFixedWidth(kExpandedWidth);
    SnakeExpanded = true;
    panSnake->move(kExpandedWidth - panSnake->width() - 12, 130); // in the added strip
    panSnake->raise();
}

void TfrTarvex::labClosePanSnakeClick() {
    panSnake->hide();
    SnakeExpanded = false;
    window()->setFixedWidth(kNormalWidth);
    PlaceTestPanel();
    panSnake->show();
}

void TfrTarvex::PlaceTestPanel() {
    if (SnakeExpanded)
        return;
    panSnake->move(width() - panSnake->width(), height() - kCaptionHeight);
    panSnake->raise();
}
