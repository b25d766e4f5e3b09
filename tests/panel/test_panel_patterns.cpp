// The test panel bound to the test patterns: its buttons and speed bar drive them, the output
// buttons show their steps, and the panel shows and hides with the test functions. The
// patterns' own logic is tested through the session (tests/session/test_session_patterns.cpp).
#include "app/main_window.h"
#include "app/tarvex_registration.h"
#include "panel_fixture.h"
#include "widgets/output_button.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

using Access = TzTestPatternsTestAccess;

// The outputs the panel shows on.
QList<int> LitOutputs(const TfrTarvex &p) {
    QList<int> lit;
    for (int n = 1; n <= 20; ++n)
        if (p.DoutBtns[n]->Picture() == TzOutputPicture::On)
            lit.append(n);
    return lit;
}

} // namespace

class TestPanelPatterns : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetLog(); }
    void cleanupTestCase() { DeleteLogWindow(); }

    void speed_data();
    void speed();
    void dragSnapsToFive_data();
    void dragSnapsToFive();
    void buttonsDriveThePatterns();
    void allOutputsShowPending();
    void patternsOwnTheDisplayWhileRunning();
    void patternButtonsNeedTheConnection();
    void expandCollapseAndTestMode();
};

void TestPanelPatterns::speed_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("period");
    QTest::newRow("1600") << 1600 << 450;
    QTest::newRow("50") << 50 << 2000;
    QTest::newRow("2000") << 2000 << 50;
}

void TestPanelPatterns::speed() {
    QFETCH(int, position);
    QFETCH(int, period);
    TestPanel p;
    auto *bar = Child<QScrollBar>(p, "SnakeSpeedScroll");
    auto *label = Child<QLabel>(p, "labSnakeSpeed");
    QCOMPARE(bar->value(), 1600);
    QCOMPARE(label->text(), QStringLiteral("Скорость: (Шаг в 500мс)"));
    QCOMPARE(Access::Runner_Timer(p.Patterns()).interval(), 500);
    bar->setValue(position == 1600 ? 1000 : 1600); // make sure it changes
    bar->setValue(position);
    QCOMPARE(p.Patterns().stepPeriod(), period);
    QCOMPARE(Access::SnakeTimer(p.Patterns()).interval(), period);
    QCOMPARE(Access::Runner_Timer(p.Patterns()).interval(), period);
    QCOMPARE(label->text(), QStringLiteral("Скорость: (Шаг в %1 мс)").arg(period));
}

void TestPanelPatterns::dragSnapsToFive_data() {
    QTest::addColumn<int>("dragged");
    QTest::addColumn<int>("snapped");
    QTest::newRow("1603 up") << 1603 << 1605;
    QTest::newRow("1604 up") << 1604 << 1605;
    QTest::newRow("1601 down") << 1601 << 1600;
    QTest::newRow("1602 down") << 1602 << 1600;
    QTest::newRow("1605 stays") << 1605 << 1605;
}

void TestPanelPatterns::dragSnapsToFive() {
    QFETCH(int, dragged);
    QFETCH(int, snapped);
    TestPanel p;
    auto *bar = Child<QScrollBar>(p, "SnakeSpeedScroll");
    bar->setSliderDown(true); // the thumb is dragged
    bar->setSliderPosition(dragged);
    bar->setSliderDown(false);
    QCOMPARE(bar->value(), snapped);
    QCOMPARE(p.Patterns().stepPeriod(), 2050 - snapped);
}

// The snake's button starts and stops it and names the next action; the runner's stays down
// while the runner runs; the steps show on the output buttons.
void TestPanelPatterns::buttonsDriveThePatterns() {
    TestPanel p;
    auto *snake = Child<QPushButton>(p, "btnSnakeOn");
    auto *runner = Child<QPushButton>(p, "btnRunner");
    snake->setEnabled(true); // no module: only the display changes
    runner->setEnabled(true);
    snake->click();
    QVERIFY(p.Patterns().snakeRunning());
    QCOMPARE(snake->text(), QStringLiteral("Отключить"));
    Access::SnakeTimer(p.Patterns()).stop(); // steps by hand
    for (int step = 0; step < 11; ++step)
        p.Patterns().SnakeTimerTimer();
    QCOMPARE(LitOutputs(p), QList<int>{20});
    Access::SnakeTimer(p.Patterns()).start();
    snake->click();
    QVERIFY(!p.Patterns().snakeRunning());
    QCOMPARE(snake->text(), QStringLiteral("Включить"));

    for (int n = 1; n <= 20; ++n) // no module states to show again: the last step stays
        p.DoutBtns[n]->SetPicture(TzOutputPicture::Off);
    runner->click();
    QVERIFY(runner->isChecked());
    QVERIFY(p.Patterns().runnerDown());
    Access::Runner_Timer(p.Patterns()).stop();
    p.Patterns().Runner_TimerTimer();
    p.Patterns().Runner_TimerTimer();
    QCOMPARE(LitOutputs(p), (QList<int>{2, 12}));
    runner->click();
    QVERIFY(!p.Patterns().runnerDown());
}

void TestPanelPatterns::allOutputsShowPending() {
    TestPanel p;
    for (const char *name : {"btnAllOnSlow", "btnAllOffSlow", "btnAllOn", "btnAllOff"}) {
        for (int n = 1; n <= 20; ++n)
            p.DoutBtns[n]->SetPicture(TzOutputPicture::Off);
        auto *button = Child<QPushButton>(p, name);
        button->setEnabled(true);
        button->click();
        for (int n = 1; n <= 20; ++n)
            QCOMPARE(p.DoutBtns[n]->Picture(), TzOutputPicture::Pending);
    }
}

void TestPanelPatterns::patternsOwnTheDisplayWhileRunning() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QVERIFY(f.connectAndPoll());
    // Two-second steps: the refreshes come in between.
    Child<QScrollBar>(p, "SnakeSpeedScroll")->setValue(50);
    Child<QPushButton>(p, "btnSnakeOn")->click();
    Access::SetSnakeSilence(p.Patterns(), true); // the display alone: the module keeps all off
    p.Patterns().SnakeTimerTimer();
    QSignalSpy states(p.Session, &TarvexSession::outputsChanged);
    QTRY_VERIFY_WITH_TIMEOUT(states.size() >= 2, 2000); // fresh output states from the module
    QCOMPARE(p.DoutBtns[1]->Picture(), TzOutputPicture::On);
    Child<QPushButton>(p, "btnSnakeOn")->click(); // stopped: the module's states show again
    QCOMPARE(p.DoutBtns[1]->Picture(), TzOutputPicture::Off);
}

// Usable only while the module is polled; a snake running when the connection ends goes on.
void TestPanelPatterns::patternButtonsNeedTheConnection() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    const QList<QPushButton *> buttons = {
        Child<QPushButton>(p, "btnSnakeOn"),   Child<QPushButton>(p, "btnRunner"),
        Child<QPushButton>(p, "btnAllOnSlow"), Child<QPushButton>(p, "btnAllOffSlow"),
        Child<QPushButton>(p, "btnAllOn"),     Child<QPushButton>(p, "btnAllOff")};
    for (QPushButton *button : buttons)
        QVERIFY(!button->isEnabled());
    QVERIFY(f.connectAndPoll());
    for (QPushButton *button : buttons)
        QVERIFY(button->isEnabled());
    QTest::mouseClick(buttons.first(), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(p, "btnConnect"), Qt::LeftButton); // disconnect
    QTRY_VERIFY_WITH_TIMEOUT(!buttons.first()->isEnabled(), 1000);
    for (QPushButton *button : buttons)
        QVERIFY(!button->isEnabled());
    QVERIFY(p.Patterns().snakeRunning());
    p.Patterns().SnakeTimerTimer();
    QCOMPARE(LitOutputs(p).size(), 1);
}

void TestPanelPatterns::expandCollapseAndTestMode() {
    UseFreshPanelDir();
    TestPanelSession session;
    RegisterTarvexPanel(&session.OwnSession, &session.Parts.Options, &session.Parts.Remote);
    TfrmMain mainWindow(QStringList{"tarvex-panel", "test"});
    mainWindow.show();
    auto *p = qobject_cast<TfrTarvex *>(mainWindow.Frame());
    QVERIFY(p);
    auto *panSnake = Child<QFrame>(*p, "panSnake");
    p->InterfaceTimerTimer();
    QVERIFY(panSnake->isVisible());
    QCOMPARE(panSnake->y(), p->height() - 22); // only the caption strip shows
    QCOMPARE(panSnake->geometry().right(), p->width() - 1);

    QTest::mouseClick(Child<QLabel>(*p, "labSnakeCaption"), Qt::LeftButton);
    QCOMPARE(mainWindow.minimumWidth(), 900);
    QCOMPARE(mainWindow.maximumWidth(), 900);
    QTRY_COMPARE(p->width(), 900);
    QCOMPARE(panSnake->pos(), QPoint(900 - panSnake->width() - 12, 130));

    QTest::mouseClick(Child<QLabel>(*p, "labClosePanSnake"), Qt::LeftButton);
    QCOMPARE(mainWindow.maximumWidth(), 700);
    QTRY_COMPARE(p->width(), 700);
    QTRY_COMPARE(panSnake->y(), p->height() - 22);
    QVERIFY(panSnake->isVisible());

    QTest::mouseClick(Child<QLabel>(*p, "labSnakeCaption"), Qt::LeftButton);
    mainWindow.SysCommand(kCmdTestMode); // test functions off
    p->InterfaceTimerTimer();
    QCOMPARE(mainWindow.maximumWidth(), 700); // collapsed first, then hidden
    QVERIFY(!panSnake->isVisible());
    QVERIFY(!p->findChild<QWidget *>("cbStyles")->isVisible());
}

QTEST_MAIN(TestPanelPatterns)
#include "test_panel_patterns.moc"
