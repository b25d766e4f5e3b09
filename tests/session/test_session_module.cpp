// The module's own settings through a session: PWM and safe states, the RS-485 settings with
// their ranges, the reboot and the module ID, against a simulated module.
#include "model/register_map.h"
#include "session/log_colours.h"
#include "session_fixture.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

using namespace TarvexMap;
using State = TarvexSession::ConnectionState;

QString Write(int function, int reg, int value) {
    return WriteFrameText(function, reg, value);
}

TzPwmParams Pwm(int scale, int period, int duty, bool safe = false) {
    TzPwmParams params;
    params.ShimScale = scale;
    params.ShimPeriod = period;
    params.ShimKoef = duty;
    params.ShimSafe = safe;
    return params;
}

} // namespace

Q_DECLARE_METATYPE(TzApplyResult)

class TestSessionModule : public QObject {
    Q_OBJECT
private slots:
    void pwmApplyChecksItsFields_data();
    void pwmApplyChecksItsFields();
    void pwmApplyWritesTheOutput();
    void moduleSettingsChecked_data();
    void moduleSettingsChecked();
    void moduleSettingsNeedConnection();
    void asciiFormatLeftAlone();
    void moduleFormatTexts_data();
    void moduleFormatTexts();
    void rebootEndsTheConnection();
    void moduleId_data();
    void moduleId();
    void cleanupTestCase() { m_module.reset(); }

private:
    // One connected module for the rows of a table: it takes written settings only when it
    // restarts, so the rows do not disturb each other.
    SessionFixture &ConnectedModule();
    std::unique_ptr<SessionFixture> m_module;
};

SessionFixture &TestSessionModule::ConnectedModule() {
    if (!m_module || !m_module->polling()) {
        m_module = std::make_unique<SessionFixture>();
        if (m_module->ok())
            m_module->connectAndPoll();
    }
    return *m_module;
}

// A field out of its range is refused before anything else; within range, nothing is written
// without a connection, and nothing is taken over either.
void TestSessionModule::pwmApplyChecksItsFields_data() {
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("period");
    QTest::addColumn<int>("duty");
    QTest::addColumn<TzApplyResult>("result");
    QTest::newRow("scale 0") << 0 << 50 << 0 << TzApplyResult::BadPwmScale;
    QTest::newRow("scale 241") << 241 << 50 << 0 << TzApplyResult::BadPwmScale;
    QTest::newRow("period 49") << 1 << 49 << 0 << TzApplyResult::BadPwmPeriod;
    QTest::newRow("period 36001") << 1 << 36001 << 0 << TzApplyResult::BadPwmPeriod;
    QTest::newRow("duty -1") << 1 << 50 << -1 << TzApplyResult::BadPwmDuty;
    QTest::newRow("duty 1001") << 1 << 50 << 1001 << TzApplyResult::BadPwmDuty;
    QTest::newRow("scale and period bad: the scale") << 0 << 0 << 0 << TzApplyResult::BadPwmScale;
    QTest::newRow("lower bounds") << 1 << 50 << 0 << TzApplyResult::NotConnected;
    QTest::newRow("upper bounds") << 240 << 36000 << 1000 << TzApplyResult::NotConnected;
}

void TestSessionModule::pwmApplyChecksItsFields() {
    QFETCH(int, scale);
    QFETCH(int, period);
    QFETCH(int, duty);
    QFETCH(TzApplyResult, result);
    TarvexSession s;
    QSignalSpy pwm(&s, &TarvexSession::pwmChanged);
    QCOMPARE(s.applyPwm(1, Pwm(scale, period, duty)), result);
    QCOMPARE(s.output(1).ShimScale, 0);
    QVERIFY(pwm.isEmpty());
}

void TestSessionModule::pwmApplyWritesTheOutput() {
    SessionFixture &f = ConnectedModule();
    QVERIFY(f.polling());
    TarvexSession &s = f.session();
    QTRY_VERIFY_WITH_TIMEOUT(s.output(7).ShimScale == 1, 5000); // the module's value
    f.sim().clearFrames();
    QSignalSpy pwm(&s, &TarvexSession::pwmChanged);
    QCOMPARE(s.applyPwm(7, Pwm(2, 100, 300, true)), TzApplyResult::Written);
    QCOMPARE(pwm.size(), 1);
    QCOMPARE(s.output(7).ShimScale, 2); // taken over at once

    const QStringList expected = {Write(6, OutputRegister(7, kOffsetPwmScale), 2),
                                  Write(6, OutputRegister(7, kOffsetPwmPeriod), 100),
                                  Write(6, OutputRegister(7, kOffsetPwmDuty), 300),
                                  Write(5, OutputRegister(7, kOffsetSafeCoil), 0xFF00)};
    QTRY_COMPARE_WITH_TIMEOUT(WritesOf(f.simFrames()), expected, 5000); // in this order
    // The module's PWM block and safe states follow at the next polls.
    const auto read = [&f] { return f.sim().frames().size(); };
    const qsizetype writesSeen = read();
    QTRY_VERIFY_WITH_TIMEOUT(read() >= writesSeen + 16, 5000); // two poll cycles more
    QCOMPARE(s.output(7).ShimKoef, 300);
    QCOMPARE(s.output(7).ShimPeriod, 100);
    QCOMPARE(s.output(7).ShimSafe, 1);
    QVERIFY(s.output(7).ShimOn());
}

// Only settings the module can live with reach it: an address outside 1..247 would leave it
// unreachable after its restart (65552 would reach it as 16), and a format that is no row of
// the list is not this session's to write. Every attempt starts with a separator line.
void TestSessionModule::moduleSettingsChecked_data() {
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("baudCode");
    QTest::addColumn<int>("format"); // row of the format list, -1 none
    QTest::addColumn<int>("timeout");
    QTest::addColumn<TzApplyResult>("result");
    QTest::addColumn<QStringList>("written");
    const auto writes = [](int address, int baudCode, int format, int timeout) {
        QStringList frames = {Write(6, kRegAddress, address), Write(6, kRegBaudCode, baudCode),
                              Write(6, kRegNetworkTimeout, timeout)};
        if (format >= 0)
            frames.append(Write(6, kRegFormatCode, format + kRtuFormatCodeFirst));
        return Sorted(frames);
    };
    const auto bad = TzApplyResult::BadAddress;
    QTest::newRow("address 0") << 0 << 3 << 0 << 30 << bad << QStringList();
    QTest::newRow("address 1") << 1 << 3 << 0 << 30 << TzApplyResult::Written
                               << writes(1, 3, 0, 30);
    QTest::newRow("address 247, 115200 8E1")
        << 247 << 9 << 2 << 30 << TzApplyResult::Written << writes(247, 9, 2, 30);
    QTest::newRow("address 248") << 248 << 3 << 0 << 30 << bad << QStringList();
    QTest::newRow("address 65552") << 65552 << 3 << 0 << 30 << bad << QStringList();
    QTest::newRow("baud code 10") << 16 << 10 << 0 << 30 << TzApplyResult::BadBaudCode
                                  << QStringList();
    QTest::newRow("format row 4") << 16 << 3 << 4 << 30 << TzApplyResult::BadFormat
                                  << QStringList();
    QTest::newRow("timeout 600") << 16 << 3 << 1 << 600 << TzApplyResult::Written
                                 << writes(16, 3, 1, 600);
    QTest::newRow("timeout 601") << 16 << 3 << 0 << 601 << TzApplyResult::BadNetworkTimeout
                                 << QStringList();
    QTest::newRow("timeout -1") << 16 << 3 << 0 << -1 << TzApplyResult::BadNetworkTimeout
                                << QStringList();
    QTest::newRow("no format row")
        << 16 << 3 << -1 << 0 << TzApplyResult::Written << writes(16, 3, -1, 0);
}

void TestSessionModule::moduleSettingsChecked() {
    QFETCH(int, address);
    QFETCH(int, baudCode);
    QFETCH(int, format);
    QFETCH(int, timeout);
    QFETCH(TzApplyResult, result);
    QFETCH(QStringList, written);
    SessionFixture &f = ConnectedModule();
    QVERIFY(f.polling());
    f.sim().clearFrames();
    f.log().clear();
    TzModuleSettings settings;
    settings.address = address;
    settings.baudCode = baudCode;
    settings.format = format;
    settings.networkTimeout = timeout;
    QCOMPARE(f.session().applyModuleSettings(settings), result);
    QCOMPARE(f.log().lines(), QStringList{QString()});
    if (written.isEmpty())
        QTest::qWait(500);
    else
        QTRY_VERIFY_WITH_TIMEOUT(WritesOf(f.simFrames()).size() >= written.size(), 5000);
    QTest::qWait(300); // a write too many would follow on the heels of the others
    QCOMPARE(Sorted(WritesOf(f.simFrames())), written);
}

void TestSessionModule::moduleSettingsNeedConnection() {
    TarvexSession s;
    QSignalSpy log(&s, &TarvexSession::logLine);
    QCOMPARE(s.applyModuleSettings(TzModuleSettings()), TzApplyResult::NotConnected);
    QVERIFY(log.isEmpty()); // not even the separator line
}

// The module reports an ASCII format: no row stands for it, and settings without a format row
// leave it alone.
void TestSessionModule::asciiFormatLeftAlone() {
    SessionFixture f;
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    f.sim().setHolding(kRegFormatCode, 2); // ASCII 7E1
    QVERIFY(f.connectAndPoll());
    QCOMPARE(s.formatCode(), std::optional<int>(2));
    f.sim().clearFrames();
    TzModuleSettings settings;
    settings.format = -1;
    QCOMPARE(s.applyModuleSettings(settings), TzApplyResult::Written);
    QTRY_VERIFY_WITH_TIMEOUT(WritesOf(f.simFrames()).contains(Write(6, kRegNetworkTimeout, 0)),
                             3000);
    QTest::qWait(300);
    QVERIFY(!WritesOf(f.simFrames()).join('\n').contains(Write(6, kRegFormatCode, 0).left(11)));
}

void TestSessionModule::moduleFormatTexts_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("row"); // of the connection's format list
    QTest::newRow("0") << 0 << "" << -1;
    QTest::newRow("1") << 1 << "ASCII 7O1" << -1;
    QTest::newRow("3") << 3 << "ASCII 7N2" << -1;
    QTest::newRow("4") << 4 << "RTU 8N1" << 0;
    QTest::newRow("6") << 6 << "RTU 8E1" << 2;
    QTest::newRow("7") << 7 << "RTU 8N2" << 3;
    QTest::newRow("8") << 8 << "" << -1;
}

void TestSessionModule::moduleFormatTexts() {
    QFETCH(int, code);
    QFETCH(QString, text);
    QFETCH(int, row);
    QCOMPARE(ModuleFormatText(code), text);
    QCOMPARE(ModuleFormatRow(code), row);
    if (row >= 0)
        QCOMPARE(ShortFormatText(row), text);
}

// The reboot sends its command once and ends the connection after its wait, without blocking:
// what acts on the module is refused from the start of the wait.
void TestSessionModule::rebootEndsTheConnection() {
    SessionFixture f;
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    f.sim().setHolding(kRegOutputStates1to16, 3);
    f.sim().setHolding(OutputRegister(2, kOffsetPwmDuty), 500);
    QVERIFY(f.connectAndPoll());
    QTRY_VERIFY_WITH_TIMEOUT(s.output(1).IsOn && s.output(2).ShimOn(), 5000);
    QSignalSpy states(&s, &TarvexSession::connectionStateChanged);
    QSignalSpy outputs(&s, &TarvexSession::outputsChanged);
    f.sim().clearFrames();

    QVERIFY(s.reboot());
    QCOMPARE(s.connectionState(), State::Rebooting);
    QVERIFY(!s.reboot());
    QTRY_COMPARE_WITH_TIMEOUT(s.connectionState(), State::Idle, 5000);
    QCOMPARE(states.size(), 2);
    QVERIFY(!s.isConnected());
    QVERIFY(!outputs.isEmpty());
    for (int n = 1; n <= 20; ++n) {
        QVERIFY(!s.output(n).IsOn);
        QCOMPARE(s.output(n).ShimKoef, 0);
        QVERIFY(!s.output(n).StateKnown);
    }
    QCOMPARE(WritesOf(f.simFrames()), QStringList{Write(6, kRegCommand, kCommandReboot)});
    // The watchdog, still running, closes the port at its next tick.
    QTRY_VERIFY_WITH_TIMEOUT(
        f.log().lines().first().startsWith(QStringLiteral("Неудачное подключение")), 5000);
    QCOMPARE(states.size(), 2);
}

void TestSessionModule::moduleId_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("id");
    QTest::newRow("six bytes") << QByteArray::fromHex("012A00FF100B")
                               << QStringLiteral("01-2A-00-FF-10-0B");
    QTest::newRow("five bytes ignored") << QByteArray::fromHex("012A00FF10") << QString();
    QTest::newRow("seven bytes ignored") << QByteArray::fromHex("012A00FF100B0C") << QString();
}

void TestSessionModule::moduleId() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, id);
    TarvexSession s;
    QSignalSpy identity(&s, &TarvexSession::identityChanged);
    s.SetMAC(bytes);
    QCOMPARE(s.moduleId(), id);
    QCOMPARE(s.moduleIdRead(), !id.isEmpty());
    QCOMPARE(identity.size(), id.isEmpty() ? 0 : 1);
}

QTEST_GUILESS_MAIN(TestSessionModule)
#include "test_session_module.moc"
