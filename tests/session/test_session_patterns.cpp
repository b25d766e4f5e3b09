// The test patterns through the session alone: running light, running pair, all outputs on or
// off, their speed, and how they go on once the connection ends.
#include "model/register_map.h"
#include "session_fixture.h"
#include "transport/free_port.h"

#include <QSignalSpy>
#include <QTest>

#include <set>

namespace {

using Access = TzTestPatternsTestAccess;

// The outputs the patterns show on, as their signals drew them.
class ShownOutputs {
public:
    explicit ShownOutputs(TzTestPatterns &patterns) {
        QObject::connect(&patterns, &TzTestPatterns::outputShown, &patterns,
                         [this](int output, bool on) {
                             if (on)
                                 m_lit.insert(output);
                             else
                                 m_lit.erase(output);
                         });
    }
    QList<int> lit() const { return QList<int>(m_lit.begin(), m_lit.end()); }

private:
    std::set<int> m_lit;
};

// The module's outputs that are on, as the session last read them.
QList<int> ModuleOutputsOn(const TarvexSession &session) {
    QList<int> on;
    for (int n = 1; n <= TarvexSession::kOutputCount; ++n)
        if (session.output(n).StateKnown && session.output(n).IsOn)
            on.append(n);
    return on;
}

} // namespace

class TestSessionPatterns : public QObject {
    Q_OBJECT
private slots:
    void stepPeriod_data();
    void stepPeriod();
    void snakeRunsRoundTheRows();
    void snakeSwitchesTheModule();
    void runnerLightsPairsAndWaitsForTheSnake();
    void allOutputs();
    void snakeGoesOnAfterTheConnectionEnds();
};

void TestSessionPatterns::stepPeriod_data() {
    QTest::addColumn<int>("asked");
    QTest::addColumn<int>("period");
    QTest::newRow("450") << 450 << 450;
    QTest::newRow("2000") << 2000 << 2000;
    QTest::newRow("50") << 50 << 50;
    QTest::newRow("below the shortest") << 10 << 50;
    QTest::newRow("above the longest") << 5000 << 2000;
}

void TestSessionPatterns::stepPeriod() {
    QFETCH(int, asked);
    QFETCH(int, period);
    TarvexSession session;
    TzTestPatterns patterns(session);
    QCOMPARE(Access::SnakeTimer(patterns).interval(), 250);
    QCOMPARE(Access::Runner_Timer(patterns).interval(), 500);
    QVERIFY(Access::Runner_Timer(patterns).isActive()); // runs for the patterns' whole life
    QCOMPARE(patterns.stepPeriod(), 450);
    patterns.setStepPeriod(asked);
    QCOMPARE(patterns.stepPeriod(), period);
    QCOMPARE(Access::SnakeTimer(patterns).interval(), period);
    QCOMPARE(Access::Runner_Timer(patterns).interval(), period);
}

void TestSessionPatterns::snakeRunsRoundTheRows() {
    TarvexSession session;
    TzTestPatterns patterns(session);
    ShownOutputs shown(patterns);
    QSignalSpy snake(&patterns, &TzTestPatterns::snakeChanged);
    patterns.toggleSnake();
    QVERIFY(patterns.snakeRunning());
    QVERIFY(patterns.TestSequenceRunning());
    QCOMPARE(snake.takeFirst().at(0).toBool(), true);
    QCOMPARE(Access::SnakeTimer(patterns).interval(), 450);
    Access::SnakeTimer(patterns).stop(); // steps are driven by hand
    QList<int> path;
    for (int step = 0; step < 22; ++step) {
        patterns.SnakeTimerTimer();
        const QList<int> lit = shown.lit();
        QCOMPARE(lit.size(), 1);
        path.append(lit.first());
    }
    QCOMPARE(path, (QList<int>{1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 20,
                               19, 18, 17, 16, 15, 14, 13, 12, 11, 1,  2}));
    Access::SnakeTimer(patterns).start();
    patterns.toggleSnake();
    QVERIFY(!patterns.snakeRunning());
    QVERIFY(!patterns.TestSequenceRunning());
    QCOMPARE(snake.takeFirst().at(0).toBool(), false);
}

// Each start switches every output off; each step switches the module's outputs as it shows
// them, so the module ends with the lit output alone on.
void TestSessionPatterns::snakeSwitchesTheModule() {
    SessionFixture f;
    QVERIFY(f.ok());
    QVERIFY(f.connectAndPoll());
    QVERIFY(f.session().setOutputWords(0x00F0, 0x8)); // outputs 5..8 and 20 on
    QTRY_COMPARE_WITH_TIMEOUT(ModuleOutputsOn(f.session()), (QList<int>{5, 6, 7, 8, 20}), 3000);
    TzTestPatterns patterns(f.session());
    patterns.toggleSnake();
    Access::SnakeTimer(patterns).stop(); // steps by hand, once the module shows the last one
    QTRY_VERIFY_WITH_TIMEOUT(ModuleOutputsOn(f.session()).isEmpty(), 3000);
    for (int step = 1; step <= 3; ++step) {
        patterns.SnakeTimerTimer();
        QTRY_COMPARE_WITH_TIMEOUT(ModuleOutputsOn(f.session()), QList<int>{step}, 3000);
    }
}

void TestSessionPatterns::runnerLightsPairsAndWaitsForTheSnake() {
    TarvexSession session;
    TzTestPatterns patterns(session);
    ShownOutputs shown(patterns);
    Access::Runner_Timer(patterns).stop();
    patterns.Runner_TimerTimer(); // up: the runner lights nothing
    QVERIFY(shown.lit().isEmpty());
    QSignalSpy runner(&patterns, &TzTestPatterns::runnerChanged);
    patterns.setRunner(true);
    QCOMPARE(runner.takeFirst().at(0).toBool(), true);
    QVERIFY(patterns.TestSequenceRunning());
    QList<QList<int>> pairs;
    for (int step = 0; step < 11; ++step) {
        patterns.Runner_TimerTimer();
        pairs.append(shown.lit());
    }
    QCOMPARE(pairs.first(), (QList<int>{1, 11}));
    QCOMPARE(pairs[4], (QList<int>{5, 15}));
    QCOMPARE(pairs[9], (QList<int>{10, 20}));
    QCOMPARE(pairs[10], (QList<int>{1, 11}));

    patterns.setRunner(true);             // a click restarts at the first pair
    Access::SnakeTimer(patterns).start(); // the snake runs: the runner lights nothing
    const QList<int> before = shown.lit();
    patterns.Runner_TimerTimer();
    QCOMPARE(shown.lit(), before);
    Access::SnakeTimer(patterns).stop();
    patterns.Runner_TimerTimer();
    QCOMPARE(shown.lit(), (QList<int>{1, 11}));

    patterns.setRunner(false);
    QVERIFY(!patterns.TestSequenceRunning());
    patterns.Runner_TimerTimer(); // up again: nothing changes
    QCOMPARE(shown.lit(), (QList<int>{1, 11}));
}

// One by one, the writes are queued and go out 20 down to 1; at once, two register writes.
void TestSessionPatterns::allOutputs() {
    SessionFixture f;
    QVERIFY(f.ok());
    QVERIFY(f.connectAndPoll());
    TzTestPatterns patterns(f.session());
    QSignalSpy pending(&patterns, &TzTestPatterns::outputsPending);
    f.sim().command("silent on"); // requests wait, so the queue shows what was queued
    QTRY_VERIFY_WITH_TIMEOUT(TarvexSessionTestAccess::FreePort(f.session())->QueueCount() > 0,
                             2000);

    patterns.switchAllInTurn(true);
    QCOMPARE(pending.size(), 1);
    QList<int> expected;
    for (int n = 20; n >= 1; --n)
        expected.append(n);
    QList<int> switchedOn;
    for (const auto &[output, on] : QueuedOutputWrites(f.session()))
        if (on)
            switchedOn.append(output);
    QCOMPARE(switchedOn, expected);

    patterns.switchAll(true);
    QCOMPARE(pending.size(), 2);
    QCOMPARE(QueuedRegisterWrites(f.session(), TarvexMap::kRegOutputStates17to20),
             QList<int>{0x000F});
    QCOMPARE(QueuedRegisterWrites(f.session(), TarvexMap::kRegOutputStates1to16),
             QList<int>{0xFFFF});
    f.sim().clearFrames();
    f.sim().command("silent off");
    QTRY_COMPARE_WITH_TIMEOUT(ModuleOutputsOn(f.session()).size(), 20, 5000);
    QStringList written;
    for (int n = 20; n >= 1; --n)
        written.append(WriteFrameText(5, TarvexMap::OutputRegister(n), 0xFF00));
    written.append(WriteFrameText(6, TarvexMap::kRegOutputStates17to20, 0x000F));
    written.append(WriteFrameText(6, TarvexMap::kRegOutputStates1to16, 0xFFFF));
    QTRY_COMPARE_WITH_TIMEOUT(WritesOf(f.simFrames()), written, 5000);

    patterns.switchAll(false);
    QTRY_VERIFY_WITH_TIMEOUT(ModuleOutputsOn(f.session()).isEmpty(), 5000);
}

// The snake goes on lighting the display and queues nothing.
void TestSessionPatterns::snakeGoesOnAfterTheConnectionEnds() {
    SessionFixture f;
    QVERIFY(f.ok());
    QVERIFY(f.connectAndPoll());
    TzTestPatterns patterns(f.session());
    ShownOutputs shown(patterns);
    patterns.toggleSnake();
    f.session().disconnectFromModule();
    QTRY_COMPARE_WITH_TIMEOUT(f.session().connectionState(), TarvexSession::ConnectionState::Idle,
                              1000);
    QVERIFY(patterns.snakeRunning());
    const int pending = f.session().PendingAnswerCount();
    patterns.SnakeTimerTimer();
    patterns.SnakeTimerTimer();
    QCOMPARE(shown.lit().size(), 1);
    QCOMPARE(f.session().PendingAnswerCount(), pending); // nothing queued
}

QTEST_GUILESS_MAIN(TestSessionPatterns)
#include "test_session_patterns.moc"
