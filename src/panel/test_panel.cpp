#include "test_panel.h"

#include "session/test_patterns.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>

namespace {

constexpr int kPanelWidth = 190;
constexpr int kPanelHeight = 318;
constexpr int kCaptionHeight = 22; // what shows of the collapsed panel
constexpr int kExpandedWidth = 900;
constexpr int kNormalWidth = 700;

// The bar's right end is the shortest step.
int StepPeriod(const QScrollBar *bar) {
    return bar->maximum() + bar->minimum() - bar->value();
}

QLabel *CaptionLabel(const QString &text, QWidget *panel, const char *name) {
    auto *label = new QLabel(text, panel);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("background: #2b579a; color: white; font-weight: bold"));
    label->installEventFilter(panel);
    return label;
}

} // namespace

TzTestPanel::TzTestPanel(TzTestPatterns &patterns, QWidget *frame)
    : QFrame(frame), Patterns(patterns) {
    setObjectName(QStringLiteral("panSnake"));
    setAccessibleName(QStringLiteral("Тестирование"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    resize(kPanelWidth, kPanelHeight);
    hide(); // a test function

    labSnakeCaption = CaptionLabel(QStringLiteral("Тестирование"), this, "labSnakeCaption");
    labSnakeCaption->setAccessibleName(labSnakeCaption->text());
    labSnakeCaption->setGeometry(0, 0, kPanelWidth - 22, kCaptionHeight);
    labSnakeCaption->setCursor(Qt::PointingHandCursor);
    labClosePanSnake = CaptionLabel(QStringLiteral("x"), this, "labClosePanSnake");
    labClosePanSnake->setAccessibleName(QStringLiteral("Свернуть"));
    labClosePanSnake->setGeometry(kPanelWidth - 22, 0, 22, kCaptionHeight);

    const auto button = [this](const char *name, const QString &caption, int y) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAccessibleName(caption);
        b->setGeometry(8, y, kPanelWidth - 16, 26);
        return b;
    };
    btnSnakeOn = button("btnSnakeOn", QStringLiteral("Включить"), 30);
    btnSnakeOn->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    connect(btnSnakeOn, &QPushButton::clicked, this, &TzTestPanel::btnSnakeOnClick);
    btnRunner = button("btnRunner", QStringLiteral("Runner"), 60);
    btnRunner->setCheckable(true);
    btnRunner->setChecked(Patterns.runnerDown());
    connect(btnRunner, &QPushButton::clicked, this, &TzTestPanel::btnRunnerClick);

    labSnakeSpeed = new QLabel(QStringLiteral("Скорость: (Шаг в 500мс)"), this);
    labSnakeSpeed->setObjectName(QStringLiteral("labSnakeSpeed"));
    labSnakeSpeed->setAccessibleName(QStringLiteral("Скорость"));
    labSnakeSpeed->setGeometry(8, 94, kPanelWidth - 16, 20);
    SnakeSpeedScroll = new QScrollBar(Qt::Horizontal, this);
    SnakeSpeedScroll->setObjectName(QStringLiteral("SnakeSpeedScroll"));
    SnakeSpeedScroll->setAccessibleName(QStringLiteral("Скорость"));
    SnakeSpeedScroll->setRange(TzTestPatterns::kShortestStep, TzTestPatterns::kLongestStep);
    SnakeSpeedScroll->setSingleStep(5);
    SnakeSpeedScroll->setPageStep(50);
    SnakeSpeedScroll->setValue(TzTestPatterns::kShortestStep + TzTestPatterns::kLongestStep -
                               Patterns.stepPeriod());
    SnakeSpeedScroll->setGeometry(8, 116, kPanelWidth - 16, 18);
    connect(SnakeSpeedScroll, &QScrollBar::valueChanged, this,
            &TzTestPanel::SnakeSpeedScrollChange);
    connect(SnakeSpeedScroll, &QScrollBar::sliderMoved, this, &TzTestPanel::SnakeSpeedScrollScroll);

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

    ShowSnake(Patterns.snakeRunning());
    connect(&Patterns, &TzTestPatterns::snakeChanged, this, &TzTestPanel::ShowSnake);
    connect(&Patterns, &TzTestPatterns::runnerChanged, btnRunner, &QPushButton::setChecked);
}

void TzTestPanel::btnSnakeOnClick() {
    Patterns.toggleSnake();
}

// The caption names the next action.
void TzTestPanel::ShowSnake(bool running) {
    btnSnakeOn->setText(running ? QStringLiteral("Отключить") : QStringLiteral("Включить"));
    btnSnakeOn->setIcon(
        style()->standardIcon(running ? QStyle::SP_MediaStop : QStyle::SP_MediaPlay));
}

void TzTestPanel::btnRunnerClick() {
    Patterns.setRunner(btnRunner->isChecked());
}

void TzTestPanel::btnAllOnClick(QPushButton *sender) {
    if (sender == btnAllOn || sender == btnAllOff)
        Patterns.switchAll(sender == btnAllOn);
    else
        Patterns.switchAllInTurn(sender == btnAllOnSlow);
}

void TzTestPanel::SnakeSpeedScrollChange() {
    const int period = StepPeriod(SnakeSpeedScroll);
    Patterns.setStepPeriod(period);
    labSnakeSpeed->setText(QStringLiteral("Скорость: (Шаг в %1 мс)").arg(period));
}

void TzTestPanel::SnakeSpeedScrollScroll(int position) {
    const int remainder = position % 5;
    if (remainder == 0)
        return;
    SnakeSpeedScroll->setValue(remainder <= 2 ? position - remainder : position + 5 - remainder);
}

void TzTestPanel::labSnakeCaptionMouseDown() {
    window()->setFixedWidth(kExpandedWidth);
    SnakeExpanded = true;
    move(kExpandedWidth - width() - 12, 130); // in the added strip
    raise();
}

void TzTestPanel::labClosePanSnakeClick() {
    hide();
    SnakeExpanded = false;
    window()->setFixedWidth(kNormalWidth);
    PlaceTestPanel();
    show();
}

void TzTestPanel::PlaceTestPanel() {
    if (SnakeExpanded || !parentWidget())
        return;
    move(parentWidget()->width() - width(), parentWidget()->height() - kCaptionHeight);
    raise();
}

void TzTestPanel::ButtonsEnabled(bool enabled) {
    for (QPushButton *button :
         {btnAllOn, btnAllOff, btnAllOnSlow, btnAllOffSlow, btnSnakeOn, btnRunner})
        button->setEnabled(enabled);
}

bool TzTestPanel::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == labSnakeCaption) {
            labSnakeCaptionMouseDown();
            return true;
        }
        if (watched == labClosePanSnake) {
            labClosePanSnakeClick();
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}
