// The serial worker on a line that behaves like a real one: tarvex-sim paces its answers at
// the wire rate, hands them over in bursts like a USB adapter, and logs every request that
// reaches it while it is still answering.
#include "model/modbus_answer_rule.h"
#include "model/register_map.h"
#include "sim_process.h"
#include "transport/free_port.h"
#include "transport/utils.h"

#include <QElapsedTimer>
#include <QTest>

namespace {
constexpr int kLongWaitMs = 15000;
constexpr uint8_t kAddr = 16;

TStringBytes Request(uint8_t function, uint16_t reg, uint16_t count) {
    const TStringBytes frame = TStringBytes::FromBytes(
        {kAddr, function, uint8_t(reg >> 8), uint8_t(reg), uint8_t(count >> 8), uint8_t(count)});
    const uint16_t crc = ModbusCRC16(frame, frame.Size());
    return frame + uint8_t(crc & 0xFF) + uint8_t(crc >> 8);
}

bool CrcOk(const QByteArray &answer) {
    const TStringBytes bytes = TStringBytes::FromBytes(answer);
    const int n = bytes.Size();
    const uint16_t crc = ModbusCRC16(bytes, n - 2);
    return n > 2 && bytes.ByteAt(n - 1) == (crc & 0xFF) && bytes.ByteAt(n) == crc >> 8;
}

struct Answer {
    QByteArray bytes;
    uint32_t errCode = 0;
    qint64 ms = 0; // since the request was queued
};
} // namespace

class TestFreePortLine : public QObject {
    Q_OBJECT

private slots:
    void exchangesOnTheLine_data();
    void exchangesOnTheLine();
    void simulatorExits_data();
    void simulatorExits();
};

void TestFreePortLine::exchangesOnTheLine_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<int>("baud");
    QTest::addColumn<TStringBytes>("request");
    QTest::addColumn<bool>("withRule");
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("constant"); // the read total's constant; no multiplier
    QTest::addColumn<bool>("stopWhileWaiting");
    QTest::addColumn<int>("size"); // -1: part of the answer
    QTest::addColumn<bool>("whole");
    QTest::addColumn<uint32_t>("errCode");
    QTest::addColumn<int>("minMs"); // bounds of the time from queueing to the answer
    QTest::addColumn<int>("maxMs");

    using namespace TarvexMap;
    const TStringBytes block = Request(0x03, kRegPwmBlock1, kPwmBlockRegisters); // 65 bytes back
    const TStringBytes one = Request(0x04, kRegDeviceType, 1); // 7 bytes of answer
    // 15 bytes in each burst: a 10 ms gap rule would end the answer after the first.
    QTest::newRow("65-byte answer in 16 ms bursts at 9600 arrives whole")
        << QStringList{"--baud", "9600", "--burst", "16"} << 9600 << block << true << 10 << 50
        << false << 65 << true << kErrNone << 0 << kLongWaitMs;
    // The interval is long: ending at the gap would take 2 s.
    QTest::newRow("exception answer ends after 5 bytes")
        << SimProcess::exceptionArgs(kRegOutputStates1to16, 2) << 9600
        << Request(0x03, kRegOutputStates1to16, 1) << true << 2000 << 5000 << false << 5 << true
        << kErrNone << 0 << 1500;
    QTest::newRow("garbage answer ends at the gap")
        << QStringList{"--corrupt-every", "1"} << 9600 << one << true << 300 << 5000 << false << 7
        << false << kErrNone << 300 << 4000;
    // The answer takes 540 ms; the read gives up after 100 ms while the module goes on.
    QTest::newRow("a slave that keeps talking after a timeout is not interrupted")
        << QStringList{"--baud", "1200", "--burst", "16"} << 1200 << block << false << 50 << 100
        << false << -1 << false << kErrNone << 0 << kLongWaitMs;
    // Request and answer take 608 ms on the wire at 1200 bit/s, more than the constant alone.
    QTest::newRow("the total covers the answer's wire time at 1200")
        << QStringList{"--baud", "1200", "--wire-delay"} << 1200 << block << true << 10 << 300
        << false << 65 << true << kErrNone << 0 << kLongWaitMs;
    QTest::newRow("Stop during the wait for a first byte")
        << QStringList{"--silent"} << 9600 << one << true << 10 << 10000 << true << 0 << false
        << kErrPortClosed << 0 << kLongWaitMs;
}

// After each exchange a short read follows at once: the module must hear it, not have it
// arrive while it is still answering.
void TestFreePortLine::exchangesOnTheLine() {
    QFETCH(QStringList, simArgs);
    QFETCH(int, baud);
    QFETCH(TStringBytes, request);
    QFETCH(bool, withRule);
    QFETCH(int, interval);
    QFETCH(int, constant);
    QFETCH(bool, stopWhileWaiting);
    QFETCH(int, size);
    QFETCH(bool, whole);
    QFETCH(uint32_t, errCode);
    QFETCH(int, minMs);
    QFETCH(int, maxMs);

    SimProcess sim(QStringList{"--log-frames"} + simArgs);
    QVERIFY(sim.start());
    TzFreePort port(sim.portPath());
    port.LocDCB().BaudRate = baud;
    port.LocDCB().ByteSize = 8;
    port.LocDCB().Parity = 0;
    port.LocDCB().StopBits = 0;
    port.LocTimeouts().ReadIntervalTimeout = interval;
    port.LocTimeouts().ReadTotalTimeoutMultiplier = 0;
    port.LocTimeouts().ReadTotalTimeoutConstant = constant;
    QList<Answer> answers;
    QElapsedTimer sinceQueued;
    port.SetOnAsyncAnswerProc([&](int, uint32_t, const TStringBytes &bytes, uint32_t err) {
        answers.append({bytes.AsBytes(), err, sinceQueued.elapsed()});
    });
    QVERIFY(port.Start());

    sinceQueued.start();
    QVERIFY(port.SendCmd(request, kAddr, withRule ? ModbusRtuAnswerRule(request) : TzAnswerRule{}));
    if (stopWhileWaiting) {
        QVERIFY(sim.waitForFrames(1, kLongWaitMs)); // the request is out, its answer awaited
        QElapsedTimer stopping;
        stopping.start();
        QVERIFY(port.Stop());
        QVERIFY2(stopping.elapsed() < 50, qPrintable(QString::number(stopping.elapsed())));
    }
    QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 1, kLongWaitMs);
    const Answer first = answers[0];
    QCOMPARE(first.errCode, errCode);
    if (size >= 0)
        QCOMPARE(first.bytes.size(), size);
    else
        QVERIFY2(!first.bytes.isEmpty() && first.bytes.size() < 65,
                 qPrintable(QString::number(first.bytes.size())));
    QCOMPARE(CrcOk(first.bytes), whole);
    QVERIFY2(first.ms >= minMs && first.ms <= maxMs, qPrintable(QString::number(first.ms)));
    if (stopWhileWaiting)
        return;

    const TStringBytes next = Request(0x04, TarvexMap::kRegDeviceType, 1);
    sinceQueued.start();
    QVERIFY(port.SendCmd(next, kAddr, ModbusRtuAnswerRule(next)));
    QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 2, kLongWaitMs);
    QCOMPARE(answers[1].errCode, kErrNone);
    QCOMPARE(answers[1].bytes.size(), 7);
    QTRY_COMPARE_WITH_TIMEOUT(sim.answers().size(), 2, kLongWaitMs);
    QCOMPARE(sim.frames().size(), 2);
    QByteArray collided;
    for (const SimProcess::Frame &frame : sim.collisions())
        collided += QByteArray::number(frame.ms) + " ms: " + frame.bytes.toHex(' ') + '\n';
    QVERIFY2(collided.isEmpty(), collided.constData());
}

void TestFreePortLine::simulatorExits_data() {
    QTest::addColumn<bool>("whileAwaited");
    QTest::newRow("between two exchanges") << false;
    QTest::newRow("while an answer is awaited") << true;
}

// The pseudo-terminal hangs up when its simulator exits, as a USB adapter does when pulled out:
// the first exchange that finds the module's port gone already says so.
void TestFreePortLine::simulatorExits() {
    QFETCH(bool, whileAwaited);

    SimProcess sim(QStringList{"--log-frames"});
    QVERIFY(sim.start());
    TzFreePort port(sim.portPath());
    port.LocDCB().BaudRate = 9600;
    port.LocTimeouts().ReadIntervalTimeout = 10;
    port.LocTimeouts().ReadTotalTimeoutMultiplier = 0;
    port.LocTimeouts().ReadTotalTimeoutConstant = 3000;
    QList<Answer> answers;
    port.SetOnAsyncAnswerProc([&](int, uint32_t, const TStringBytes &bytes, uint32_t err) {
        answers.append({bytes.AsBytes(), err, 0});
    });
    QVERIFY(port.Start());
    const TStringBytes type = Request(0x04, TarvexMap::kRegDeviceType, 1),
                       version = Request(0x04, TarvexMap::kRegFirmwareVersion, 1);
    QVERIFY(port.SendCmd(type, kAddr, ModbusRtuAnswerRule(type)));
    QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 1, kLongWaitMs);
    QCOMPARE(answers[0].errCode, kErrNone);

    if (whileAwaited) {
        sim.command("silent on");
        QVERIFY(port.SendCmd(version, kAddr, ModbusRtuAnswerRule(version)));
        QVERIFY(sim.waitForFrames(2, kLongWaitMs));
        sim.stop();
    } else {
        sim.stop();
        QVERIFY(port.SendCmd(version, kAddr, ModbusRtuAnswerRule(version)));
    }
    QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 2, kLongWaitMs);
    QCOMPARE(answers[1].errCode, kErrPortClosed);
    QCOMPARE(answers[1].bytes, QByteArray());

    QVERIFY(port.SendCmd(type, kAddr, ModbusRtuAnswerRule(type)));
    QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 3, kLongWaitMs);
    QCOMPARE(answers[2].errCode, kErrPortClosed);
}

QTEST_GUILESS_MAIN(TestFreePortLine)
#include "test_free_port_line.moc"
