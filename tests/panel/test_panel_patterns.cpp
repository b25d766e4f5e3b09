// The test panel: running light, running pair, all outputs on or off, its speed, and how it
// shows and hides with the test functions.
#include "app/main_window.h"
#include "app/tarvex_registration.h"
#include "model/register_map.h"
#include "panel_fixture.h"
#include "tools/temp_log.h"
#include "tools/temp_log_window.h"
#include "transport/free_port.h"
#include "widgets/output_button.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

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
    void snakeRunsRoundTheRows();
    void runnerLightsPairsAndWaitsForTheSnake();
    void allOutputs();
    void patternsOwnTheDisplayWhileRunning();
    void snakeGoesOnAfterTheConnectionEnds();
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
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QCOMPARE(p.labSnakeSpeed->text(), QStringLiteral("Скорость: (Шаг в 500мс)"));
    QCOMPARE(p.Runner_Timer.interval(), 500);
    p.SnakeSpeedScroll->setValue(position == 1600 ? 1000 : 1600); // make sure it changes
    p.SnakeSpeedScroll->setValue(position);
    QCOMPARE(p.SnakeTimer.interval(), period);
    QCOMPARE(p.Runner_Timer.interval(), period);
    QCOMPARE(p.labSnakeSpeed->text(), QStringLiteral("Скорость: (Шаг в %1 мс)").arg(period));
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
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    p.SnakeSpeedScroll->setValue(dragged);
    p.SnakeSpeedScrollScroll(dragged);
    QCOMPARE(p.SnakeSpeedScroll->value(), snapped);
}

void TestPanelPatterns::snakeRunsRoundTheRows() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    p.btnSnakeOnClick();
    QVERIFY(p.SnakeTimer.isActive());
    QCOMPARE(p.btnSnakeOn->text(), QStringLiteral("Отключить"));
    QCOMPARE(p.SnakeTimer.interval(), 450);
    p.SnakeTimer.stop(); // steps are driven by hand
    QList<int> path;
    for (int step = 0; step < 22; ++step) {
        p.SnakeTimerTimer();
        const QList<int> lit = LitOutputs(p);
        QCOMPARE(lit.size(), 1);
        path.append(lit.first());
    }
    QCOMPARE(path, (QList<int>{1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 20,
                               19, 18, 17, 16, 15, 14, 13, 12, 11, 1,  2}));
    p.SnakeTimer.start();
    p.btnSnakeOnClick();
    QVERIFY(!p.SnakeTimer.isActive());
    QCOMPARE(p.btnSnakeOn->text(), QStringLiteral("Включить"));
}

void TestPanelPatterns::runnerLightsPairsAndWaitsForTheSnake() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    p.Runner_Timer.stop();
    p.btnRunner->setChecked(true);
    p.btnRunnerClick();
    QList<QList<int>> pairs;
    for (int step = 0; step < 11; ++step) {
        p.Runner_TimerTimer();
        pairs.append(LitOutputs(p));
    }
    QCOMPARE(pairs.first(), (QList<int>{1, 11}));
    QCOMPARE(pairs[9], (QList<int>{10, 20}));
    QCOMPARE(pairs[10], (QList<int>{1, 11}));

    p.btnRunnerClick();   // a click restarts at the first pair
    p.SnakeTimer.start(); // the snake runs: the runner lights nothing
    const QList<int> before = LitOutputs(p);
    p.Runner_TimerTimer();
    QCOMPARE(LitOutputs(p), before);
    p.SnakeTimer.stop();
    p.Runner_TimerTimer();
    QVERIFY(LitOutputs(p).contains(1) && LitOutputs(p).contains(11));
}

void TestPanelPatterns::allOutputs() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QVERIFY(f.connectAndPoll());
    f.sim().command("silent on"); // requests wait, so the queue shows what was queued
    QTRY_VERIFY_WITH_TIMEOUT(TarvexSessionTestAccess::FreePort(f.session())->QueueCount() > 0,
                             2000);

    QTest::mouseClick(p.btnAllOnSlow, Qt::LeftButton);
    for (int n = 1; n <= 20; ++n)
        QCOMPARE(p.DoutBtns[n]->Picture(), TzOutputPicture::Pending);
    QList<int> expected;
    for (int n = 20; n >= 1; --n)
        expected.append(n);
    QList<int> switchedOn;
    for (const auto &[output, on] : QueuedOutputWrites(f.session()))
        if (on)
            switchedOn.append(output);
    QCOMPARE(switchedOn, expected);

    QTest::mouseClick(p.btnAllOn, Qt::LeftButton);
    QCOMPARE(QueuedRegisterWrites(f.session(), TarvexMap::kRegOutputStates17to20),
             QList<int>{0x000F});
    QCOMPARE(QueuedRegisterWrites(f.session(), TarvexMap::kRegOutputStates1to16),
             QList<int>{0xFFFF});
    f.sim().command("silent off");
    QTRY_VERIFY_WITH_TIMEOUT(p.DoutBtns[20]->Picture() == TzOutputPicture::On &&
                                 p.DoutBtns[1]->Picture() == TzOutputPicture::On,
                             5000);
}

void TestPanelPatterns::patternsOwnTheDisplayWhileRunning() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QVERIFY(f.connectAndPoll());
    p.SnakeSpeedScroll->setValue(50); // two-second steps: the refreshes come in between
    p.btnSnakeOnClick();
    p.SnakeSilence = true; // the display alone: the module keeps every output off
    p.SnakeTimerTimer();
    QSignalSpy states(p.Session, &TarvexSession::outputsChanged);
    QTRY_VERIFY_WITH_TIMEOUT(states.size() >= 2, 2000); // fresh output states from the module
    QCOMPARE(p.DoutBtns[1]->Picture(), TzOutputPicture::On);
    p.btnSnakeOnClick(); // stopped: the module's states show again
    QCOMPARE(p.DoutBtns[1]->Picture(), TzOutputPicture::Off);
}

void TestPanelPatterns::snakeGoesOnAfterTheConnectionEnds() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QVERIFY(f.connectAndPoll());
    QVERIFY(p.btnSnakeOn->isEnabled());
    p.btnSnakeOnClick();
    p.btnConnectClick(); // disconnect
    QTRY_VERIFY_WITH_TIMEOUT(!p.btnSnakeOn->isEnabled(), 1000);
    QVERIFY(p.SnakeTimer.isActive());
    const int pending = f.session().PendingAnswerCount();
    p.SnakeTimerTimer();
    p.SnakeTimerTimer();
    QCOMPARE(LitOutputs(p).size(), 1);
    QCOMPARE(f.session().PendingAnswerCount(), pending); // nothing queued
}

void TestPanelPatterns::expandCollapseAndTestMode() {
    UseFreshPanelDir();
    TestPanelSession session;
    RegisterTarvexPanel(&session.OwnSession, &session.Parts.Options, &session.Parts.Remote);
    TfrmMain mainWindow(QStringList{"tarvex-panel", "test"});
    mainWindow.show();
    auto *p = qobject_cast<TfrTarvex *>(mainWindow.Frame());
    QVERIFY(p);
    p->InterfaceTimerTimer();
    QVERIFY(p->panSnake->isVisible());
    QCOMPARE(p->panSnake->y(), p->height() - 22); // only the caption strip shows
    QCOMPARE(p->panSnake->geometry().right(), p->width() - 1);

    QTest::mouseClick(p->labSnakeCaption, Qt::LeftButton);
    QCOMPARE(mainWindow.minimumWidth(), 900);
    QCOMPARE(mainWindow.maximumWidth(), 900);
    QTRY_COMPARE(p->width(), 900);
    QCOMPARE(p->panSnake->pos(), QPoint(900 - p->panSnake->width() - 12, 130));

    QTest::mouseClick(p->labClosePanSnake, Qt::LeftButton);
    QCOMPARE(mainWindow.maximumWidth(), 700);
    QTRY_COMPARE(p->width(), 700);
    QTRY_COMPARE(p->panSnake->y(), p->height() - 22);
    QVERIFY(p->panSnake->isVisible());

    QTest::mouseClick(p->labSnakeCaption, Qt::LeftButton);
    mainWindow.SysCommand(kCmdTestMode); // test functions off
    p->InterfaceTimerTimer();
    QCOMPARE(mainWindow.maximumWidth(), 700); // collapsed first, then hidden
    QVERIFY(!p->panSnake->isVisible());
    QVERIFY(!p->findChild<QWidget *>("cbStyles")->isVisible());
}

QTEST_MAIN(TestPanelPatterns)
#include "test_panel_patterns.moc"
