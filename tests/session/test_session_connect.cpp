// A session connecting to a simulated module: first contact, first full read, polling, the
// connection's states and log lines, failed attempts and the line settings on the port.
#include "model/register_map.h"
#include "session/log_colours.h"
#include "session_fixture.h"
#include "transport/free_port.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace TarvexMap;
using State = TarvexSession::ConnectionState;

// The request part of a frame log line: address, function, register and quantity.
QString RequestOf(const QString &frame) {
    return frame.left(17);
}

QString FailureLine(const QString &port, const QString &addr = "16") {
    return QStringLiteral("Неудачное подключение: [Адр:%1, %2, 9600, MODBUS RTU 8N1]")
        .arg(addr, port);
}

QList<State> States(const QSignalSpy &spy) {
    QList<State> states;
    for (const QList<QVariant> &signal : spy)
        states.append(signal[0].value<State>());
    return states;
}

} // namespace

class TestSessionConnect : public QObject {
    Q_OBJECT
private slots:
    void connectionStatesAndIdentity();
    void firmwareVersionText_data();
    void firmwareVersionText();
    void supplyFromModule();
    void firstReadOrderThenPolling();
    void failedAttempts_data();
    void failedAttempts();
    void portMissingOrBusy_data();
    void portMissingOrBusy();
    void addressOutOfRangeOpensNothing_data();
    void addressOutOfRangeOpensNothing();
    void shortTimeoutRaised();
    void minimumTimeout_data();
    void minimumTimeout();
    void lineFormatReachesThePort_data();
    void lineFormatReachesThePort();
    void userDisconnectWritesNoFailure();
    void reconnectAfterDisconnectDuringFirstRead();
};

void TestSessionConnect::connectionStatesAndIdentity() {
    SessionFixture f({"--id", "0123456789AB", "--voltage", "24000"});
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    QSignalSpy states(&s, &TarvexSession::connectionStateChanged);
    QSignalSpy identity(&s, &TarvexSession::identityChanged);
    QSignalSpy settings(&s, &TarvexSession::moduleSettingsRead);
    QVERIFY(f.connectAndPoll());
    QCOMPARE(States(states), (QList<State>{State::Connecting, State::FirstRead, State::Polling}));
    QVERIFY(s.isConnected());
    QCOMPARE(settings.size(), 1);
    QVERIFY(!identity.isEmpty());
    QCOMPARE(s.moduleId(), QStringLiteral("01-23-45-67-89-AB"));
    QVERIFY(s.moduleIdRead());
    QCOMPARE(s.firmwareText(), QStringLiteral("1.00"));
    QCOMPARE(s.deviceType(), std::optional<int>(kTarvexDeviceType));
    QCOMPARE(s.moduleAddress(), std::optional<int>(16));
    QCOMPARE(s.baudCode(), std::optional<int>(3));
    QCOMPARE(s.formatCode(), std::optional<int>(4));
    QCOMPARE(s.lineSettings().portName, f.sim().portPath());
    const QString success =
        QStringLiteral("Успешное подключение: [Адр:16, %1, 9600, RTU 8N1]").arg(f.sim().portPath());
    QVERIFY2(f.log().has(success, LogColor::Green), qPrintable(f.log().all()));
    QTRY_COMPARE_WITH_TIMEOUT(s.supplyVoltage(), std::optional<double>(24.0), 5000);
}

void TestSessionConnect::firmwareVersionText_data() {
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<QString>("shown");
    QTest::newRow("100") << "100"
                         << "1.00";
    QTest::newRow("123") << "123"
                         << "1.23";
    QTest::newRow("99") << "99"
                        << "99";
}

void TestSessionConnect::firmwareVersionText() {
    QFETCH(QString, firmware);
    QFETCH(QString, shown);
    SessionFixture f({"--firmware", firmware});
    QVERIFY(f.ok());
    QVERIFY(f.connectAndPoll());
    QCOMPARE(f.session().firmwareText(), shown);
    QCOMPARE(f.session().device().DevPOVersionStr, shown);
}

// The power status raises the alarm with bit 14 or bit 15; each read tells the followers.
void TestSessionConnect::supplyFromModule() {
    SessionFixture f({"--voltage", "12340", "--power-status", "32768"});
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    QCOMPARE(s.supplyVoltage(), std::nullopt);
    QSignalSpy supply(&s, &TarvexSession::supplyChanged);
    QVERIFY(f.connectAndPoll());
    QCOMPARE(s.supplyVoltage(), std::optional<double>(12.34));
    QCOMPARE(s.supplyAlarm(), std::optional<bool>(true));
    QVERIFY(!supply.isEmpty());

    f.sim().setInput(kRegPowerStatus, 0);
    QTRY_COMPARE_WITH_TIMEOUT(s.supplyAlarm(), std::optional<bool>(false), 5000);
    f.sim().setInput(kRegPowerStatus, 16384); // bit 14 alone raises the alarm too
    QTRY_COMPARE_WITH_TIMEOUT(s.supplyAlarm(), std::optional<bool>(true), 5000);
    f.sim().setInput(kRegSupplyVoltage, 24000);
    QTRY_COMPARE_WITH_TIMEOUT(s.supplyVoltage(), std::optional<double>(24.0), 5000);
}

void TestSessionConnect::firstReadOrderThenPolling() {
    SessionFixture f;
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    QVERIFY(f.connectAndPoll());
    // A few polling cycles, watching that no request ever waits twice.
    QElapsedTimer watch;
    watch.start();
    while (watch.elapsed() < 1500) {
        QStringList waiting;
        for (const TzModbusAnswer &a : s.pendingAnswers())
            waiting.append(QString::fromLatin1(a.Cmd.AsBytes().toHex()));
        const qsizetype all = waiting.size();
        waiting.removeDuplicates();
        QVERIFY2(waiting.size() == all, "two copies of one request waiting");
        QTest::qWait(5);
    }

    // The first full read follows the register table, its read of the device type included: it
    // equals the first contact, whose request left the queue before its answer was handled.
    QStringList expectedFirst = {
        ReadRequestText(4, kRegDeviceType, 1), // first contact
        ReadRequestText(3, kRegBaudCode, 1),   ReadRequestText(3, kRegFormatCode, 1),
        ReadRequestText(3, kRegAddress, 1),    ReadRequestText(3, kRegNetworkTimeout, 1),
        ReadRequestText(4, kRegDeviceType, 1), ReadRequestText(4, kRegHardwareVersion, 1),
        ReadRequestText(4, kRegId1, 1),        ReadRequestText(4, kRegId2, 1),
        ReadRequestText(4, kRegId3, 1),        ReadRequestText(4, kRegFirmwareVersion, 1)};
    // The table ends with the registers that are polled, in the order they are polled.
    const QStringList polled = PolledReadRequests();
    expectedFirst += polled;
    const QList<SimProcess::Frame> timed = f.sim().frames();
    QStringList frames = f.simFrames();
    for (QString &frame : frames)
        frame = RequestOf(frame);
    QCOMPARE(frames.mid(0, expectedFirst.size()), expectedFirst);

    // Then the eight polled reads: the first cycle complete and in order, after it nothing
    // else. (When a cycle overruns its 250 ms, the queue refuses the copies still waiting.)
    const QStringList rest = frames.mid(expectedFirst.size());
    QVERIFY(rest.size() >= 24);
    QCOMPARE(rest.mid(0, 8), polled);
    for (const QString &frame : rest)
        QVERIFY2(polled.contains(frame), qPrintable(frame));

    QList<qint64> spacing; // between reads of the supply voltage: one per cycle
    qint64 previous = -1;
    for (int i = expectedFirst.size(); i < timed.size(); ++i) {
        if (RequestOf(frames[i]) != polled[0])
            continue;
        if (previous >= 0)
            spacing.append(timed[i].ms - previous);
        previous = timed[i].ms;
    }
    std::sort(spacing.begin(), spacing.end());
    QVERIFY(spacing.size() >= 3);
    const qint64 median = spacing[spacing.size() / 2];
    QVERIFY2(median >= 200 && median <= 400, qPrintable(QString::number(median)));
}

void TestSessionConnect::failedAttempts_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::newRow("device type 72") << QStringList{"--type", "72"};
    QTest::newRow("silent module") << QStringList{"--silent"};
    QTest::newRow("exception to the first contact") << SimProcess::exceptionArgs(kRegDeviceType, 2);
}

// The watchdog ends an attempt the module has not answered rightly within a second.
void TestSessionConnect::failedAttempts() {
    QFETCH(QStringList, simArgs);
    SessionFixture f(simArgs);
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    QSignalSpy states(&s, &TarvexSession::connectionStateChanged);
    QVERIFY(f.connect());
    QCOMPARE(s.connectionState(), State::Connecting);
    const QString failure = FailureLine(f.sim().portPath());
    QTRY_VERIFY_WITH_TIMEOUT(f.log().has(failure, LogColor::DarkRed), 5000);
    QCOMPARE(States(states), (QList<State>{State::Connecting, State::Idle}));
    QVERIFY(!s.isConnected());
    QVERIFY(!f.log().contains(QStringLiteral("Успешное подключение")));
    QCOMPARE(f.log().count(failure), 1);
    QTest::qWait(1200); // the watchdog stopped: no second failure line
    QCOMPARE(f.log().count(failure), 1);
}

void TestSessionConnect::portMissingOrBusy_data() {
    QTest::addColumn<bool>("busy");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing, warning") << false << false << "Причина: нет такого устройства";
    QTest::newRow("missing, silent mode") << false << true << "Причина: нет такого устройства";
    QTest::newRow("busy, warning") << true << false << "Причина: порт занят другой программой";
}

void TestSessionConnect::portMissingOrBusy() {
    QFETCH(bool, busy);
    QFETCH(bool, silent);
    QFETCH(QString, reason);
    SessionFixture f;
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    TarvexLineSettings line = f.line();
    QSerialPort holder(line.portName);
    if (busy)
        QVERIFY(holder.open(QIODevice::ReadWrite));
    else
        line.portName = QStringLiteral("/dev/tarvex-no-such-port");
    s.SetSilenceMode(silent);
    QSignalSpy warnings(&s, &TarvexSession::warning);

    QVERIFY(s.connectTo(line));
    const QString notice = QStringLiteral("Выбранный СОМ-порт занят или недоступен");
    QCOMPARE(f.log().has(notice, LogColor::Navy), silent);
    QCOMPARE(warnings.size(), silent ? 0 : 1);
    if (!silent) {
        QCOMPARE(warnings[0][0].toString(), notice);
        QCOMPARE(warnings[0][1].toString(), QStringLiteral("Уведомление"));
        QCOMPARE(warnings[0][2].toBool(), false);
    }
    QVERIFY(
        f.log().has(line.portName + QStringLiteral(" занят или недоступен"), LogColor::DarkRed));
    QVERIFY2(f.log().lines().first().startsWith(reason), qPrintable(f.log().lines().first()));
    QCOMPARE(s.connectionState(), State::Connecting); // until the watchdog ends the attempt
    QTRY_VERIFY_WITH_TIMEOUT(f.log().has(FailureLine(line.portName), LogColor::DarkRed), 5000);
    QCOMPARE(s.connectionState(), State::Idle);
}

void TestSessionConnect::addressOutOfRangeOpensNothing_data() {
    QTest::addColumn<int>("address");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("0") << 0 << false;
    QTest::newRow("248") << 248 << false;
    QTest::newRow("1") << 1 << true;
    QTest::newRow("247") << 247 << true;
}

void TestSessionConnect::addressOutOfRangeOpensNothing() {
    QFETCH(int, address);
    QFETCH(bool, accepted);
    SessionFixture f({"--addr", QString::number(accepted ? address : 16)});
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    QSignalSpy states(&s, &TarvexSession::connectionStateChanged);
    TarvexLineSettings line = f.line();
    line.address = address;
    QCOMPARE(s.connectTo(line), accepted);
    if (accepted) {
        QTRY_VERIFY_WITH_TIMEOUT(s.isConnected(), 5000);
        const char probe[] = {char(address), 4, char(kRegDeviceType >> 8), 0, 0, 1};
        QCOMPARE(RequestOf(f.simFrames().first()),
                 QString::fromLatin1(QByteArray(probe, sizeof probe).toHex(' ').toUpper()));
    } else {
        QVERIFY(states.isEmpty());
        QTest::qWait(300);
        QVERIFY(f.simFrames().isEmpty());
    }
}

void TestSessionConnect::shortTimeoutRaised() {
    SessionFixture f;
    QVERIFY(f.ok());
    TarvexLineSettings line = f.line();
    line.timeoutMs = 5;
    QVERIFY(f.connectAndPoll(line));
    QCOMPARE(f.session().lineSettings().timeoutMs, 30);
}

void TestSessionConnect::minimumTimeout_data() {
    QTest::addColumn<int>("baudRate");
    QTest::addColumn<int>("minimum");
    const int table[][2] = {{1200, 150}, {2400, 80},   {4800, 50},   {9600, 30},
                            {14400, 20}, {19200, 15},  {28800, 10},  {38400, 10},
                            {57600, 10}, {115200, 10}, {230400, 150}};
    for (const auto &row : table)
        QTest::addRow("%d", row[0]) << row[0] << row[1];
}

void TestSessionConnect::minimumTimeout() {
    QFETCH(int, baudRate);
    QFETCH(int, minimum);
    QCOMPARE(GetTimeout(baudRate), minimum);
    QVERIFY(CheckTimeout(minimum, baudRate));
    QVERIFY(!CheckTimeout(minimum - 1, baudRate));
}

// A pseudo-terminal has no parity (Linux refuses or strips it), so the formats with parity are
// followed as far as the serial record; the others down to the terminal's settings.
void TestSessionConnect::lineFormatReachesThePort_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("baudRate");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<speed_t>("speed");
    QTest::newRow("8N1") << 0 << 9600 << 0 << 0 << speed_t(B9600);
    QTest::newRow("8O1") << 1 << 19200 << 1 << 0 << speed_t(B19200);
    QTest::newRow("8E1") << 2 << 115200 << 2 << 0 << speed_t(B115200);
    QTest::newRow("8N2") << 3 << 1200 << 0 << 2 << speed_t(B1200);
}

void TestSessionConnect::lineFormatReachesThePort() {
    QFETCH(int, format);
    QFETCH(int, baudRate);
    QFETCH(int, parity);
    QFETCH(int, stopBits);
    QFETCH(speed_t, speed);
    SessionFixture f({"--silent"});
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    s.SetSilenceMode(true);
    TarvexLineSettings line = f.line();
    line.format = format;
    line.baudRate = baudRate;
    line.timeoutMs = 200;
    QVERIFY(s.connectTo(line));
    QVERIFY(TarvexSessionTestAccess::FreePort(s));
    TzFreePort &worker = *TarvexSessionTestAccess::FreePort(s);
    QCOMPARE(worker.LocDCB().BaudRate, baudRate);
    QCOMPARE(worker.LocDCB().ByteSize, 8);
    QCOMPARE(worker.LocDCB().Parity, parity);
    QCOMPARE(worker.LocDCB().StopBits, stopBits);
    QCOMPARE(worker.LocTimeouts().ReadTotalTimeoutConstant, 200);
    if (parity != 0)
        return;

    const int fd = ::open(qPrintable(f.sim().portPath()), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    termios tio{};
    QCOMPARE(::tcgetattr(fd, &tio), 0);
    ::close(fd);
    QVERIFY(!(tio.c_cflag & PARENB));
    QCOMPARE(bool(tio.c_cflag & CSTOPB), stopBits == 2);
    QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(cfgetospeed(&tio), speed);
}

void TestSessionConnect::userDisconnectWritesNoFailure() {
    SessionFixture f;
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    QVERIFY(f.connectAndPoll());
    QSignalSpy states(&s, &TarvexSession::connectionStateChanged);
    s.disconnectFromModule();
    QCOMPARE(States(states), QList<State>{State::Idle});
    QVERIFY(!s.isConnected());
    f.sim().clearFrames();
    QTest::qWait(1500);
    QVERIFY(f.simFrames().isEmpty()); // no polling
    QVERIFY(!f.log().contains(QStringLiteral("Неудачное подключение")));
    QVERIFY(!s.setOutput(1, true)); // nothing acts on a module that is not connected
}

// A disconnect while the first full read is still on the line used to leave the device locked,
// so the next connection never finished its first read.
void TestSessionConnect::reconnectAfterDisconnectDuringFirstRead() {
    SessionFixture f;
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    QVERIFY(f.connect());
    QTRY_VERIFY_WITH_TIMEOUT(s.isConnected(), 5000);
    QVERIFY(s.device().IsLocked); // the first full read has just been queued
    s.disconnectFromModule();     // and at once connect again: the answer to the last read of the
    QVERIFY(f.connect());         // cut-short first read never comes
    QTRY_VERIFY_WITH_TIMEOUT(f.polling(), 5000);
    QVERIFY(s.isConnected());
    QVERIFY(!s.device().IsLocked);
}

QTEST_GUILESS_MAIN(TestSessionConnect)
#include "test_session_connect.moc"
