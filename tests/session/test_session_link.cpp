// What a session tells about its link to a simulated module: a module that stops answering, a
// port that goes away with its device, and registers of the first full read that fail.
#include "model/register_map.h"
#include "session/log_colours.h"
#include "session_fixture.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

using namespace TarvexMap;
using State = TarvexSession::ConnectionState;

const QString kLost = QStringLiteral("Связь с устройством потеряна");
const QString kRestored = QStringLiteral("Связь с устройством восстановлена");

// Reads of the module's first ID register the simulator received.
int IdReads(SessionFixture &f) {
    return int(f.simFrames().filter(QRegularExpression("^10 04 90 02 00 01 ")).size());
}

} // namespace

class TestSessionLink : public QObject {
    Q_OBJECT
private slots:
    void silentModuleIsLost();
    void noWriteReachesALostModule();
    void vanishedPortIsReconnected();
    void firstReadRetried_data();
    void firstReadRetried();
};

void TestSessionLink::silentModuleIsLost() {
    SessionFixture f({"--voltage", "24000"});
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    QVERIFY(f.connectAndPoll());
    QSignalSpy link(&s, &TarvexSession::linkChanged);

    f.sim().command("silent on");
    QTRY_VERIFY_WITH_TIMEOUT(s.linkLost(), 5000);
    QCOMPARE(link.size(), 1);
    QCOMPARE(link[0][0].toBool(), true);
    QVERIFY(f.log().has(kLost, LogColor::DarkRed));
    // Still connected: polling goes on, and the loss is told once.
    QCOMPARE(s.connectionState(), State::Polling);
    f.sim().clearFrames();
    QTRY_VERIFY_WITH_TIMEOUT(f.sim().frames().size() >= 3, 5000);
    QCOMPARE(f.log().count(kLost), 1);

    f.sim().command("silent off");
    QTRY_VERIFY_WITH_TIMEOUT(!s.linkLost(), 5000);
    QCOMPARE(link.size(), 2);
    QCOMPARE(link[1][0].toBool(), false);
    QVERIFY(f.log().has(kRestored, LogColor::Green));
    QTRY_COMPARE_WITH_TIMEOUT(s.supplyVoltage(), std::optional<double>(24.0), 5000);
    QCOMPARE(f.log().count(kLost), 1);
    QCOMPARE(f.log().count(kRestored), 1);
}

void TestSessionLink::noWriteReachesALostModule() {
    SessionFixture f;
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    QVERIFY(f.connectAndPoll());
    const int scaleBefore = s.output(1).ShimScale;
    f.sim().command("silent on");
    QTRY_VERIFY_WITH_TIMEOUT(s.linkLost(), 6000);
    f.sim().clearFrames();
    f.log().clear();

    // Every way the session writes: one output, all outputs at once, PWM settings, the module's
    // settings and its reboot.
    QVERIFY(!s.setOutput(3, true));
    QVERIFY(!s.setAllOutputs(true));
    TzPwmParams pwm;
    pwm.ShimScale = 2;
    pwm.ShimPeriod = 100;
    pwm.ShimKoef = 300;
    QCOMPARE(s.applyPwm(1, pwm), TzApplyResult::NotConnected);
    TzModuleSettings settings;
    settings.address = 20;
    QCOMPARE(s.applyModuleSettings(settings), TzApplyResult::NotConnected);
    QVERIFY(!s.reboot());
    QTest::qWait(1000);
    QVERIFY2(WritesOf(f.simFrames()).isEmpty(), qPrintable(WritesOf(f.simFrames()).join('\n')));
    QVERIFY(f.sim().frames().size() >= 2);         // the polls went out meanwhile
    QCOMPARE(s.output(1).ShimScale, scaleBefore);  // nothing taken over from the PWM settings
    QVERIFY(!f.log().lines().contains(QString())); // not even the separator line

    f.sim().command("silent off");
    QTRY_VERIFY_WITH_TIMEOUT(!s.linkLost(), 5000);
    QVERIFY(s.setOutput(3, true));
    QTRY_VERIFY_WITH_TIMEOUT(
        WritesOf(f.simFrames()).contains(WriteFrameText(5, OutputRegister(3), 0xFF00)), 5000);
}

void TestSessionLink::vanishedPortIsReconnected() {
    QTemporaryDir dir;
    const QString link = dir.filePath("ttyTarvex");
    SessionFixture f({"--link", link});
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    TarvexLineSettings line = f.line();
    line.portName = link;
    QVERIFY(f.connectAndPoll(line));
    QSignalSpy states(&s, &TarvexSession::connectionStateChanged);

    f.sim().stop(); // the pseudo-terminal goes away with its simulator
    const QString gone = link + QStringLiteral(" отключён от системы");
    QTRY_VERIFY_WITH_TIMEOUT(f.log().has(gone, LogColor::DarkRed), 5000);
    QCOMPARE(s.connectionState(), State::Idle);
    QVERIFY(!s.output(1).StateKnown);
    // While the port is missing the session only looks for it: no attempt fails on it.
    QTest::qWait(2500);
    QVERIFY(!f.log().contains(QStringLiteral("Неудачное подключение")));
    QCOMPARE(states.size(), 1);

    SimProcess again({"--log-frames", "--link", link});
    QVERIFY(again.start());
    QTRY_VERIFY_WITH_TIMEOUT(f.polling(), 6000);
    QVERIFY(f.log().has(link + QStringLiteral(" снова в системе: повторное подключение"),
                        LogColor::Navy));
    QVERIFY(!again.frames().isEmpty());
    QCOMPARE(f.log().count(gone), 1);
    QCOMPARE(s.lineSettings().portName, link);
}

void TestSessionLink::firstReadRetried_data() {
    QTest::addColumn<int>("failures"); // exception answers to the ID read before a good one
    QTest::addColumn<int>("reads");
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("givenUp");
    QTest::newRow("first try fails") << 1 << 2 << "01-2A-00-FF-10-0B" << false;
    QTest::newRow("value at the last retry") << 3 << 4 << "01-2A-00-FF-10-0B" << false;
    QTest::newRow("given up after three retries") << 4 << 4 << "" << true;
}

void TestSessionLink::firstReadRetried() {
    QFETCH(int, failures);
    QFETCH(int, reads);
    QFETCH(QString, id);
    QFETCH(bool, givenUp);
    SessionFixture f;
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    f.sim().setException(kRegId1, 2, failures);
    QVERIFY(f.connectAndPoll(6000)); // the first full read ends with the retries
    QCOMPARE(IdReads(f), reads);
    QCOMPARE(s.moduleId(), id);
    QCOMPARE(s.moduleIdRead(), !givenUp);
    QCOMPARE(f.log().has(QStringLiteral("Не удалось прочитать регистр %1 «Идентификатор прибора 1»")
                             .arg(kRegId1),
                         LogColor::DarkRed),
             givenUp);
    QTest::qWait(300); // polling reads no ID again
    QCOMPARE(IdReads(f), reads);
}

QTEST_GUILESS_MAIN(TestSessionLink)
#include "test_session_link.moc"
