// Register access and answer dispatch of a session: the per-output tags, pending answers and the
// queue, exception counters, write confirmation, cancelled requests, the values read into the
// outputs, and a line that delivers answers in bursts, against a simulated module.
#include "model/register_map.h"
#include "session/log_colours.h"
#include "session_fixture.h"
#include "transport/free_port.h"

#include <QSet>
#include <QSignalSpy>
#include <QTest>

namespace {

using namespace TarvexMap;

QSet<uint32_t> PendingCodes(const TarvexSession &s) {
    QSet<uint32_t> codes;
    for (const TzModbusAnswer &a : s.pendingAnswers())
        codes.insert(a.Code);
    return codes;
}

// On a 1200 bit/s line a polling cycle takes longer than its 250 ms, so the queue stays full.
bool ConnectAt1200(SessionFixture &f) {
    TarvexLineSettings line = f.line();
    line.baudRate = 1200;
    line.timeoutMs = 150;
    return f.connectAndPoll(line, 15000);
}

// PWM time unit, period and duty factor that tell the outputs apart.
int ScaleOf(int n) {
    return n;
}
int PeriodOf(int n) {
    return 100 + n;
}
int KoefOf(int n) {
    return 1000 - n;
}

// The requests between two reads of the voltage, for every cycle the log holds whole.
QList<QStringList> PollCycles(const QStringList &frames) {
    const QString voltage = PolledReadRequests().first();
    QList<QStringList> cycles;
    for (const QString &frame : frames) {
        const QString request = frame.left(17); // address, function, register and quantity
        if (request == voltage)
            cycles.append(QStringList());
        if (!cycles.isEmpty())
            cycles.last().append(request);
    }
    if (!cycles.isEmpty())
        cycles.removeLast(); // still going on
    return cycles;
}

} // namespace

class TestSessionRegisters : public QObject {
    Q_OBJECT
private slots:
    void perOutputTags();
    void duplicateReadRefused();
    void exceptionCountersAndRecovery();
    void unknownUidIsLogged();
    void outputWriteIsConfirmedByEcho();
    void quickSwitchesEndAsTheLastOne_data();
    void quickSwitchesEndAsTheLastOne();
    void clearedRequestsAreCancelled();
    void slowLineKeepsWaitingRequests();
    void safeStatesAndPwmFromModule();
    void shortPwmBlockIgnored();
    void tryValueByID_data();
    void tryValueByID();
    void pollsThroughABurstingAdapter_data();
    void pollsThroughABurstingAdapter();
};

void TestSessionRegisters::perOutputTags() {
    TarvexSession s;
    QVERIFY(s.deviceTemplateLoaded());
    const auto &tags = s.device().Tags;
    QCOMPARE(int(tags.size()), 19 + 100);
    const struct {
        const char *prefix;
        int offset;
        bool coil;
    } kinds[] = {{"Реле #", kOffsetCoil, true},
                 {"DOUT Shim Scale #", kOffsetPwmScale, false},
                 {"DOUT Shim Period #", kOffsetPwmPeriod, false},
                 {"DOUT Shim Koef #", kOffsetPwmDuty, false},
                 {"DOUT State Safe #", kOffsetSafeCoil, true}};
    QSet<QString> guids;
    int index = 19;
    for (const auto &kind : kinds) {
        for (int n = 1; n <= 20; ++n, ++index) {
            const TzTag &t = *tags[index];
            QCOMPARE(t.ID, OutputRegister(n, kind.offset));
            QCOMPARE(t.Reg, t.ID);
            QCOMPARE(t.OPCName, QString::fromUtf8(kind.prefix) + QString::number(n));
            QVERIFY(!t.Enabled && !t.CanRead && t.Force);
            QCOMPARE(t.ReadPriority, 1);
            QCOMPARE(t.WritePriority, 1);
            QCOMPARE(t.ReadCmd, kind.coil ? 1 : 3);
            QCOMPARE(t.WriteCmd, kind.coil ? 5 : 6);
            QCOMPARE(t.ValType, kind.coil ? 8 : 2);
            QCOMPARE(t.OrderMas, QByteArray("\x02\x01", 2));
            QVERIFY(t.GUID.startsWith('{') && t.GUID.endsWith('}'));
            guids.insert(t.GUID);
        }
    }
    QCOMPARE(guids.size(), 100);
}

void TestSessionRegisters::duplicateReadRefused() {
    SessionFixture f({"--silent"});
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    QVERIFY(f.connect()); // opens the port; the silent module never answers the first contact
    QSignalSpy queue(&s, &TarvexSession::queueLengthChanged);
    const int before = s.PendingAnswerCount();
    QVERIFY(s.GetModbusRegRTU2(kRegOutputStates1to16));
    QVERIFY(!s.GetModbusRegRTU2(kRegOutputStates1to16));
    QCOMPARE(s.PendingAnswerCount(), before + 1);
    QCOMPARE(queue.size(), 1);
    QCOMPARE(queue[0][0].toInt(), before + 1);
    QVERIFY(!s.GetModbusRegRTU2(123456)); // no such tag
}

void TestSessionRegisters::exceptionCountersAndRecovery() {
    SessionFixture f(SimProcess::exceptionArgs(kRegOutputStates1to16, 6) +
                     SimProcess::exceptionArgs(kRegOutputStates17to20, 11) +
                     SimProcess::exceptionArgs(kRegSafeStates1to16, 2));
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    QSignalSpy counted(&s, &TarvexSession::exceptionCounted);
    QVERIFY(f.connectAndPoll());
    QTRY_VERIFY_WITH_TIMEOUT(s.exceptionCount(6) >= 2 && s.exceptionCount(11) >= 2, 5000);
    int value = 0;
    QVERIFY(!s.TryValueByID(kRegOutputStates1to16, value));
    QCOMPARE(s.device().GetTagByID(kRegOutputStates1to16)->ModbusErrorCodeStr,
             QStringLiteral("06h"));
    QCOMPARE(s.exceptionCount(1), 0);
    // Each count is told with the code as the module sent it and the new total of its counter,
    // which codes above 8 share.
    QHash<int, int> last;
    for (const QList<QVariant> &signal : counted) {
        const int code = signal[0].toInt();
        QCOMPARE(signal[1].toInt(), last.value(code) + 1);
        last[code] = signal[1].toInt();
    }
    QCOMPARE(QSet<int>(last.keyBegin(), last.keyEnd()), (QSet<int>{2, 6, 11}));
    for (int code : {2, 6, 11})
        QCOMPARE(last.value(code), s.exceptionCount(code));
    QVERIFY(!s.output(1).StateKnown);

    // The next normal answer makes the output states usable again.
    f.sim().setCoil(OutputRegister(1), true);
    f.sim().clearException(kRegOutputStates1to16);
    QTRY_VERIFY_WITH_TIMEOUT(s.TryValueByID(kRegOutputStates1to16, value), 5000);
    QCOMPARE(value & 1, 1);
    QTRY_VERIFY_WITH_TIMEOUT(s.output(1).StateKnown && s.output(1).IsOn, 5000);
}

void TestSessionRegisters::unknownUidIsLogged() {
    SessionFixture f;
    QVERIFY(f.ok());
    f.session().ModbusAsyncAnswer(1, 424242, TStringBytes::FromBytes({1, 3, 2, 0, 10}), 0);
    QVERIFY(f.log().has(QStringLiteral("Неизвестный UID (424242):   Ответ: 1.3.2.0"),
                        LogColor::DarkRed));
}

// A successful write comes back as its own echo; it must confirm the value written, not mark
// the tag undecodable. The output then shows on from the next read of the states.
void TestSessionRegisters::outputWriteIsConfirmedByEcho() {
    SessionFixture f;
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    QVERIFY(f.connectAndPoll());
    TzTag *coil = s.device().GetTagByID(OutputRegister(5));
    QTRY_VERIFY_WITH_TIMEOUT(s.output(5).StateKnown, 5000);
    QVERIFY(!s.output(5).IsOn);
    QSignalSpy outputs(&s, &TarvexSession::outputsChanged);

    QVERIFY(s.setOutput(5, true));
    QCOMPARE(s.output(5).ShimKoef, 1000); // a direct switch ends modulation
    const auto write = std::find_if(s.pendingAnswers().begin(), s.pendingAnswers().end(),
                                    [coil](const TzModbusAnswer &a) { return a.Tag == coil; });
    QVERIFY(write != s.pendingAnswers().end());
    const uint32_t code = write->Code;
    QTRY_VERIFY_WITH_TIMEOUT(!PendingCodes(s).contains(code), 5000);
    QCOMPARE(coil->Quality, kQualityGood);
    QCOMPARE(coil->Value(), 1.0);
    QVERIFY(f.simFrames().contains(QStringLiteral("10 05 12 00 FF 00 8A 03")));
    QTRY_VERIFY_WITH_TIMEOUT(s.output(5).IsOn, 5000);
    QVERIFY(!outputs.isEmpty());
    QVERIFY(!s.setOutput(0, true));
    QVERIFY(!s.setOutput(21, true));
}

void TestSessionRegisters::quickSwitchesEndAsTheLastOne_data() {
    QTest::addColumn<QList<bool>>("clicks"); // on (true) or off, in the order made
    QTest::newRow("on, then off") << QList<bool>{true, false};
    QTest::newRow("off, then on") << QList<bool>{false, true};
    QTest::newRow("on, off, on") << QList<bool>{true, false, true};
    QTest::newRow("off, on, off") << QList<bool>{false, true, false};
}

// An operator who switches an output back and forth before the first write has gone out leaves
// the module as the last click said: the last write to the coil takes the place of those still
// waiting, which never reach the module. A replaced write is no unanswered request: it neither
// counts toward a lost link nor shows as an answer, and its record goes.
void TestSessionRegisters::quickSwitchesEndAsTheLastOne() {
    QFETCH(QList<bool>, clicks);
    SessionFixture f;
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    // A silent module holds each read on the line this long: the clicks all fall in one wait.
    TarvexLineSettings line = f.line();
    line.timeoutMs = 1200;
    QVERIFY(f.connectAndPoll(line));
    const bool start = !clicks.first(); // the state the second click goes back to
    QVERIFY(s.setOutput(3, start));
    QTRY_VERIFY_WITH_TIMEOUT(s.output(3).StateKnown && s.output(3).IsOn == start, 5000);

    TzFreePort &port = *TarvexSessionTestAccess::FreePort(s);
    QSignalSpy answers(&port, &TzFreePort::answered);
    QSignalSpy link(&s, &TarvexSession::linkChanged);
    QList<int> shown; // the answers the line monitor is given
    QObject::connect(&s, &TarvexSession::answerReceived,
                     [&shown](const TzPortObsRec &rec) { shown.append(rec.Index); });
    f.sim().command("silent on");
    // A read has just gone unanswered and the next one is on the line, others waiting behind.
    QTRY_VERIFY_WITH_TIMEOUT(!answers.isEmpty() && answers.last()[3].toUInt() == kErrNoAnswer &&
                                 port.QueueCount() >= 2,
                             5000);
    f.sim().clearFrames();
    f.log().clear();
    QList<uint32_t> uids;
    for (const bool on : clicks) {
        QVERIFY(s.setOutput(3, on));
        uids.append(port.LastUID());
    }
    f.sim().command("silent off");

    QTRY_VERIFY_WITH_TIMEOUT(QueuedOutputWrites(s).isEmpty(), 5000);
    const QStringList written = {WriteFrameText(5, OutputRegister(3), clicks.last() ? 0xFF00 : 0)};
    QTRY_COMPARE_WITH_TIMEOUT(WritesOf(f.simFrames()), written, 5000);
    // A poll answered before the write may still be handled after the module got it; the polls
    // read after the write show the last click, and go on showing it.
    QTRY_COMPARE_WITH_TIMEOUT(s.output(3).IsOn, clicks.last(), 5000);
    QSignalSpy outputs(&s, &TarvexSession::outputsChanged);
    QTRY_VERIFY_WITH_TIMEOUT(outputs.size() >= 2, 5000);
    QCOMPARE(s.output(3).IsOn, clicks.last());

    QHash<uint32_t, uint32_t> errCodeOf;
    for (const QList<QVariant> &answer : answers)
        errCodeOf.insert(answer[1].toUInt(), answer[3].toUInt());
    for (int i = 0; i < uids.size(); ++i) {
        const bool replaced = i < uids.size() - 1;
        QCOMPARE(errCodeOf.value(uids[i]), replaced ? kErrCancelled : kErrNone);
        QCOMPARE(shown.contains(int(uids[i])), !replaced);
    }
    // Two reads went unanswered and the silence lasted over 2 s: one more would lose the link.
    QVERIFY(link.isEmpty());
    QVERIFY2(!f.log().contains(QStringLiteral("UID")), qPrintable(f.log().all()));
}

// Requests cleared from the worker's queue (the reboot clears it) are answered as cancelled:
// their records go at once and their tags keep their quality, for nothing was asked.
void TestSessionRegisters::clearedRequestsAreCancelled() {
    SessionFixture f({"--wire-delay", "--baud", "1200"});
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    QVERIFY(ConnectAt1200(f));
    TzFreePort &port = *TarvexSessionTestAccess::FreePort(s);
    QTRY_VERIFY_WITH_TIMEOUT(port.QueueCount() >= 4, 5000);
    TarvexSessionTestAccess::OprosTimer(s).stop(); // no new reads of the same tags meanwhile
    QHash<uint32_t, TzTag *> tagOf;
    for (const TzModbusAnswer &a : s.pendingAnswers())
        tagOf.insert(a.Code, a.Tag);
    QHash<TzTag *, int> qualityBefore;
    for (TzTag *tag : tagOf)
        qualityBefore.insert(tag, tag->Quality);
    QSignalSpy answers(&port, &TzFreePort::answered);

    port.ClearRequestList();
    QVERIFY(port.QueueCount() <= 1); // the read on the line is answered as usual
    QSet<uint32_t> dropped;
    for (uint32_t code : PendingCodes(s))
        if (!port.HoldsRequest(code))
            dropped.insert(code);
    QVERIFY(dropped.size() >= 3);
    QTRY_VERIFY_WITH_TIMEOUT(!PendingCodes(s).intersects(dropped), 5000);
    int cancelled = 0;
    for (const QList<QVariant> &answer : answers) {
        if (answer[3].toUInt() != kErrCancelled)
            continue;
        ++cancelled;
        TzTag *tag = tagOf.value(answer[1].toUInt());
        QVERIFY(tag);
        QCOMPARE(tag->Quality, qualityBefore.value(tag));
    }
    QVERIFY(cancelled >= 3);
    QVERIFY(!s.linkLost());
    QVERIFY(!f.log().contains(QStringLiteral("Неизвестный UID")));
}

// On a line slower than the polling, requests wait for seconds; they are still queued and must
// keep their records, or their answers would arrive with unknown ids.
void TestSessionRegisters::slowLineKeepsWaitingRequests() {
    SessionFixture f({"--wire-delay", "--baud", "1200"});
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    QVERIFY(ConnectAt1200(f));
    QTest::qWait(4000);
    QVERIFY2(!f.log().contains(QStringLiteral("Неизвестный UID")), qPrintable(f.log().all()));
    QVERIFY(s.PendingAnswerCount() <= 9); // one copy of each polled read, one in flight
}

void TestSessionRegisters::safeStatesAndPwmFromModule() {
    SessionFixture f;
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    f.sim().setHolding(OutputRegister(1, kOffsetPwmScale), 7);
    f.sim().setHolding(OutputRegister(11, kOffsetPwmPeriod), 300);
    f.sim().setHolding(OutputRegister(20, kOffsetPwmDuty), 500);
    f.sim().setHolding(kRegSafeStates1to16, 5);  // outputs 1 and 3 closed at power-on
    f.sim().setHolding(kRegSafeStates17to20, 8); // output 20
    QSignalSpy pwm(&s, &TarvexSession::pwmChanged);
    QVERIFY(f.connectAndPoll());
    QTRY_VERIFY_WITH_TIMEOUT(s.output(20).ShimKoef == 500, 5000);
    QVERIFY(s.output(20).ShimOn());
    QVERIFY(!s.output(19).ShimOn());
    QCOMPARE(s.output(1).ShimScale, 7);
    QCOMPARE(s.output(11).ShimPeriod, 300);
    QCOMPARE(s.output(1).ShimSafe, 1);
    QCOMPARE(s.output(2).ShimSafe, 0);
    QCOMPARE(s.output(3).ShimSafe, 1);
    QCOMPARE(s.output(20).ShimSafe, 1);
    QCOMPARE(s.output(17).ShimSafe, 0);
    QVERIFY(!pwm.isEmpty());
}

void TestSessionRegisters::shortPwmBlockIgnored() {
    TarvexSession s;
    QSignalSpy pwm(&s, &TarvexSession::pwmChanged);
    TzTag *block = s.device().GetTagByID(kTagPwmBlock1);
    block->Data = QByteArray(58, char(1));
    s.ShimAllCallback(block);
    for (int n = 1; n <= 10; ++n)
        QCOMPARE(s.output(n).ShimScale, 0);
    QVERIFY(pwm.isEmpty());
    block->Data = QByteArray(60, char(1));
    s.ShimAllCallback(block);
    QCOMPARE(s.output(10).ShimKoef, 0x0101);
    QCOMPARE(s.output(11).ShimKoef, 0); // the other block's outputs stay as they were
    QCOMPARE(pwm.size(), 1);
}

void TestSessionRegisters::tryValueByID_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("quality");
    QTest::addColumn<bool>("modbusError");
    QTest::addColumn<bool>("usable");
    const int states = kRegOutputStates1to16;
    QTest::newRow("good") << states << true << 192 << false << true;
    QTest::newRow("never read") << states << true << 32 << false << false;
    QTest::newRow("undecodable") << states << true << 16 << false << false;
    QTest::newRow("exchange failed") << states << true << 0 << false << false;
    QTest::newRow("modbus error") << states << true << 192 << true << false;
    QTest::newRow("disabled") << states << false << 192 << false << false;
    QTest::newRow("no such tag") << 1 << true << 192 << false << false;
}

void TestSessionRegisters::tryValueByID() {
    QFETCH(int, id);
    QFETCH(bool, enabled);
    QFETCH(int, quality);
    QFETCH(bool, modbusError);
    QFETCH(bool, usable);
    TarvexSession s;
    TzTag *tag = s.device().GetTagByID(kRegOutputStates1to16);
    tag->SetValue(-7.9);
    tag->Enabled = enabled;
    tag->Quality = quint16(quality);
    tag->ModbusError = modbusError;
    int asInt = 0;
    double asDouble = 0;
    QCOMPARE(s.TryValueByID(id, asInt), usable);
    QCOMPARE(s.TryValueByID(id, asDouble), usable);
    if (usable) {
        QCOMPARE(asInt, -7); // truncated toward zero
        QCOMPARE(asDouble, -7.9);
    }
}

// A line behind a USB adapter that hands over what it received every 16 ms: every answer must
// arrive whole and no request may go out while the module is answering.
void TestSessionRegisters::pollsThroughABurstingAdapter_data() {
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("pollMs");    // how long the test watches the polling
    QTest::addColumn<int>("minCycles"); // whole poll cycles in that time

    // 65-byte PWM block answers come in five bursts at 9600 bit/s, 35 at 1200. At both rates
    // a poll cycle takes longer than the 250 ms polling period.
    QTest::newRow("9600 bit/s") << 9600 << 2500 << 4;
    QTest::newRow("1200 bit/s") << 1200 << 6000 << 1;
}

void TestSessionRegisters::pollsThroughABurstingAdapter() {
    QFETCH(int, baud);
    QFETCH(int, pollMs);
    QFETCH(int, minCycles);

    SessionFixture f({"--baud", QString::number(baud), "--burst", "16"});
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    for (int n = 1; n <= 20; ++n) {
        f.sim().setHolding(OutputRegister(n, kOffsetPwmScale), ScaleOf(n));
        f.sim().setHolding(OutputRegister(n, kOffsetPwmPeriod), PeriodOf(n));
        f.sim().setHolding(OutputRegister(n, kOffsetPwmDuty), KoefOf(n));
    }
    int undecodable = 0;
    for (const auto &tag : s.device().Tags) {
        tag->OnResponse = [inner = tag->OnResponse, &undecodable](TzTag *t) {
            undecodable += t->Quality == kQualityUndecodable ? 1 : 0;
            if (inner)
                inner(t);
        };
    }
    // A failed exchange reaches the line monitor as an empty answer.
    int failed = 0;
    connect(&s, &TarvexSession::answerReceived, this, [&failed](const TzPortObsRec &rec) {
        if (rec.Value.isEmpty() && rec.Cmd.isEmpty())
            ++failed;
    });

    TarvexLineSettings line = f.line();
    line.baudRate = baud;
    QVERIFY(f.connectAndPoll(line, 15000));
    f.sim().clearFrames();
    QTest::qWait(pollMs);

    for (int n = 1; n <= 20; ++n) {
        QCOMPARE(s.output(n).ShimScale, ScaleOf(n));
        QCOMPARE(s.output(n).ShimPeriod, PeriodOf(n));
        QCOMPARE(s.output(n).ShimKoef, KoefOf(n));
    }
    QCOMPARE(undecodable, 0);
    QCOMPARE(failed, 0);
    // A tick during a cycle waits for it: every cycle reads all eight, none is skipped.
    const QList<QStringList> cycles = PollCycles(f.simFrames());
    QVERIFY2(cycles.size() >= minCycles, qPrintable(QString::number(cycles.size())));
    for (const QStringList &cycle : cycles)
        QCOMPARE(cycle, PolledReadRequests());
    QByteArray collided;
    for (const SimProcess::Frame &frame : f.sim().collisions())
        collided += QByteArray::number(frame.ms) + " ms: " + frame.bytes.toHex(' ') + '\n';
    QVERIFY2(collided.isEmpty(), collided.constData());
}

QTEST_GUILESS_MAIN(TestSessionRegisters)
#include "test_session_registers.moc"
