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

TStringBytes WithCrc(const TStringBytes &frame) {
    const uint16_t crc = ModbusCRC16(frame, frame.Size());
    return frame + uint8_t(crc & 0xFF) + uint8_t(crc >> 8);
}

TStringBytes Request(uint8_t function, uint16_t reg, uint16_t count) {
    return WithCrc(TStringBytes::FromBytes(
        {kAddr, function, uint8_t(reg >> 8), uint8_t(reg), uint8_t(count >> 8), uint8_t(count)}));
}

// Function 05 on the output's coil.
TStringBytes Switch(int output, bool on) {
    const int reg = TarvexMap::OutputRegister(output);
    return WithCrc(TStringBytes::FromBytes(
        {kAddr, 0x05, uint8_t(reg >> 8), uint8_t(reg), uint8_t(on ? 0xFF : 0), 0}));
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

// A request queued with a priority, or an ordinary one (priority -1).
struct Queued {
    TStringBytes frame;
    int priority = -1;
};

// 9600 bit/s, a 10 ms gap ends an answer; every answer is collected.
void SetUpLine(TzFreePort &port, int totalTimeoutMs, QList<Answer> &answers) {
    port.LocDCB().BaudRate = 9600;
    port.LocTimeouts().ReadIntervalTimeout = 10;
    port.LocTimeouts().ReadTotalTimeoutMultiplier = 0;
    port.LocTimeouts().ReadTotalTimeoutConstant = totalTimeoutMs;
    port.SetOnAsyncAnswerProc([&answers](int, uint32_t, const TStringBytes &bytes, uint32_t err) {
        answers.append({bytes.AsBytes(), err, 0});
    });
}

} // namespace

class TestFreePortLine : public QObject {
    Q_OBJECT

private slots:
    void exchangesOnTheLine_data();
    void exchangesOnTheLine();
    void simulatorExits_data();
    void simulatorExits();
    void priorityRequestsKeepTheirOrder_data();
    void priorityRequestsKeepTheirOrder();
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
    QList<Answer> answers;
    SetUpLine(port, 3000, answers);
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

void TestFreePortLine::priorityRequestsKeepTheirOrder_data() {
    QTest::addColumn<QList<Queued>>("queued");
    QTest::addColumn<QList<int>>("sendingOrder"); // positions in queued
    QTest::addColumn<int>("cancelledCount");      // replaced by later writes, answered first
    QTest::addColumn<int>("outputs1to16");        // the module's output states at the end

    using namespace TarvexMap;
    const Queued voltage{Request(0x04, kRegSupplyVoltage, 1)};
    const Queued power{Request(0x04, kRegPowerStatus, 1)};
    QList<Queued> oneByOne{voltage};
    QList<int> oneByOneOrder;
    for (int n = kOutputCount; n >= 1; --n) {
        oneByOne.append({Switch(n, true), 1});
        oneByOneOrder.append(oneByOneOrder.size() + 1);
    }
    oneByOneOrder.append(0);
    QTest::newRow("outputs 20 down to 1, one by one, ahead of a waiting read")
        << oneByOne << oneByOneOrder << 0 << 0xFFFF;
    // The last write to a coil wins: the waiting switch-on is never sent.
    QTest::newRow("output 3 on and off again behind another switch")
        << QList<Queued>{voltage,
                         {Switch(4, true), 1},
                         {Switch(3, true), 1},
                         {Switch(3, false), 1},
                         power}
        << QList<int>{1, 3, 0, 4} << 1 << 0x0008;
}

// All is queued before the port opens, so nothing is on the line meanwhile: the first priority
// request goes in front of the waiting read, and the others follow it in their order.
void TestFreePortLine::priorityRequestsKeepTheirOrder() {
    QFETCH(QList<Queued>, queued);
    QFETCH(QList<int>, sendingOrder);
    QFETCH(int, cancelledCount);
    QFETCH(int, outputs1to16);

    SimProcess sim(QStringList{"--log-frames"});
    QVERIFY(sim.start());
    TzFreePort port(sim.portPath());
    QList<Answer> answers;
    SetUpLine(port, 1000, answers);
    for (const Queued &request : queued) {
        const TzAnswerRule rule = ModbusRtuAnswerRule(request.frame);
        if (request.priority < 0)
            QVERIFY(port.SendCmd(request.frame, kAddr, rule));
        else
            QVERIFY(port.SendCmdForce(request.frame, kAddr, request.priority, rule));
    }
    QVERIFY(port.Start());
    QTRY_COMPARE_WITH_TIMEOUT(answers.size(), queued.size(), kLongWaitMs);

    QList<QByteArray> expected;
    for (int i : sendingOrder)
        expected.append(queued[i].frame.AsBytes());
    const auto received = [&sim] {
        QList<QByteArray> frames;
        for (const SimProcess::Frame &frame : sim.frames())
            frames.append(frame.bytes);
        return frames;
    };
    QTRY_COMPARE_WITH_TIMEOUT(received(), expected, kLongWaitMs);
    QList<uint32_t> errCodes, expectedCodes;
    for (const Answer &answer : answers)
        errCodes.append(answer.errCode);
    for (int i = 0; i < queued.size(); ++i)
        expectedCodes.append(i < cancelledCount ? kErrCancelled : kErrNone);
    QCOMPARE(errCodes, expectedCodes);

    const TStringBytes states = Request(0x03, TarvexMap::kRegOutputStates1to16, 1);
    QVERIFY(port.SendCmd(states, kAddr, ModbusRtuAnswerRule(states)));
    QTRY_COMPARE_WITH_TIMEOUT(answers.size(), queued.size() + 1, kLongWaitMs);
    const QByteArray read = answers.last().bytes;
    QCOMPARE(read.size(), 7);
    QCOMPARE((uint8_t(read[3]) << 8) | uint8_t(read[4]), outputs1to16);
}

QTEST_GUILESS_MAIN(TestFreePortLine)
#include "test_free_port_line.moc"
