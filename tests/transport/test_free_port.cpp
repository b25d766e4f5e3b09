#include "pty_peer.h"
#include "transport/free_port.h"
#include "transport/free_port_thread.h"
#include "transport/port_settings.h"
#include "transport/utils.h"

#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <termios.h>
#include <thread>

// Reaches the id counter so the wrap-around can be tested without 20 million requests.
class TzFreePortTestAccess {
public:
    static void SetGlobUID(TzFreePort &port, uint32_t uid) { port.Port->SetGlobUID(uid); }
};

namespace {
// Generous: these bound waits for things that happen in milliseconds on an idle machine.
constexpr int kLongWaitMs = 15000;

TStringBytes Frame(char tag) {
    return TStringBytes::FromBytes({0x11, uint8_t(tag)});
}

QByteArray FrameBytes(char tag) {
    return Frame(tag).AsBytes();
}

struct Answer {
    int comPort = 0;
    uint32_t uid = 0;
    QByteArray bytes;
    uint32_t errCode = 0;
};

// Collects the callbacks of one port; they run on the test thread.
struct AnswerLog {
    QList<Answer> answers;
    TAsyncAnswer callback() {
        return [this](int comPort, uint32_t uid, const TStringBytes &answer, uint32_t errCode) {
            answers.append({comPort, uid, answer.AsBytes(), errCode});
        };
    }
};

// The device: answers every frame the port sends, on its own thread, so the test thread stays
// free for the event loop that the callbacks need. The answer to one chosen frame can be held
// back until release().
class Responder {
public:
    using Reply = std::function<void(const QByteArray &frame, PtyPeer &peer)>;

    static void Echo(const QByteArray &frame, PtyPeer &peer) { peer.write(frame); }
    static void Silent(const QByteArray &, PtyPeer &) {}

    explicit Responder(PtyPeer &peer, Reply reply = Echo)
        : m_peer(peer), m_reply(std::move(reply)), m_thread([this] { Serve(); }) {}
    ~Responder() {
        m_stop = true;
        m_thread.join();
    }

    void HoldAnswerTo(const QByteArray &frame) {
        std::lock_guard lock(m_mutex);
        m_held = frame;
    }
    void Release() { m_released = true; }

    // A deep copy: a shared one would be released outside the lock while the list grows.
    QList<QByteArray> Received() const {
        std::lock_guard lock(m_mutex);
        QList<QByteArray> copy;
        for (const QByteArray &frame : m_received)
            copy.append(QByteArray(frame.constData(), frame.size()));
        return copy;
    }
    // Blocks the test thread (no event loop) until count frames have arrived.
    bool WaitForFrames(int count) {
        QElapsedTimer timer;
        timer.start();
        while (Received().size() < count && timer.elapsed() < kLongWaitMs)
            QThread::msleep(5);
        return Received().size() >= count;
    }

private:
    void Serve() {
        while (!m_stop) {
            const QByteArray frame = m_peer.read(50, 5);
            if (frame.isEmpty())
                continue;
            QByteArray held;
            {
                std::lock_guard lock(m_mutex);
                m_received.append(frame);
                held = m_held;
            }
            while (frame == held && !m_released && !m_stop)
                QThread::msleep(2);
            m_reply(frame, m_peer);
        }
    }

    PtyPeer &m_peer;
    const Reply m_reply;
    mutable std::mutex m_mutex;
    QList<QByteArray> m_received;
    QByteArray m_held;
    std::atomic<bool> m_released = false;
    std::atomic<bool> m_stop = false;
    std::thread m_thread;
};

void SetTimeouts(TzFreePort &port, int interval, int multiplier, int constant) {
    port.LocTimeouts().ReadIntervalTimeout = interval;
    port.LocTimeouts().ReadTotalTimeoutMultiplier = multiplier;
    port.LocTimeouts().ReadTotalTimeoutConstant = constant;
}

// A port running at 4800 baud, 7E2, hardware flow control.
TzPortDCB RunningRecord() {
    TzPortDCB record;
    record.BaudRate = 4800;
    record.ByteSize = 7;
    record.Parity = 2;
    record.StopBits = 2;
    record.Flags = 0x1 | DcbFlags::fOutxCtsFlow;
    record.XonLim = 100;
    return record;
}

// Blocks the test thread, which then delivers no answer, until the condition holds.
bool WaitWithoutEvents(const std::function<bool()> &condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < kLongWaitMs)
        QThread::msleep(5);
    return condition();
}

int PtyNumber(const PtyPeer &peer) {
    int number = 0;
    TryDigitsToInt(peer.slavePath(), number);
    return number;
}
} // namespace

class TestFreePort : public QObject {
    Q_OBJECT

private slots:
    void queueOrderAndPriority_data();
    void queueOrderAndPriority();
    void duplicatesRefused();
    void idsWrapAfter20Million();
    void answerFraming_data();
    void answerFraming();
    void silentDeviceGives512();
    void lifecycleStartStopRestart();
    void unsetCallbackDrainsQueue();
    void answersWithoutWaiting_data();
    void answersWithoutWaiting();
    void destructionDeliversNothing_data();
    void destructionDeliversNothing();
    void deviceGone();
    void startFails_data();
    void startFails();
    void overlayOnRecord_data();
    void overlayOnRecord();
    void lineSettingsOverlay_data();
    void lineSettingsOverlay();
};

void TestFreePort::queueOrderAndPriority_data() {
    // "A": SendCmd of Frame('A'); "P:1": SendCmdForce with priority 1; "N:1=11 05 0000 FF00": the
    // same with the frame given in hex. A request in neither sendingOrder nor cancelled must be
    // refused.
    QTest::addColumn<QStringList>("queuedBehindHead");
    QTest::addColumn<QByteArray>("sendingOrder");
    QTest::addColumn<QByteArray>("cancelled"); // answered kErrCancelled, in this order
    QTest::addColumn<QByteArray>("head");      // its frame in hex; empty: Frame('H')

    // H is on the line with its answer held back while the others are queued.
    QTest::newRow("count 5, priority 1: next")
        << QStringList{"A", "B", "C", "D", "P:1"} << QByteArray("HPABCD") << QByteArray()
        << QByteArray();
    QTest::newRow("count 5, priority 10: before the last")
        << QStringList{"A", "B", "C", "D", "P:10"} << QByteArray("HABCPD") << QByteArray()
        << QByteArray();
    QTest::newRow("count 5, priority 0: tail")
        << QStringList{"A", "B", "C", "D", "P:0"} << QByteArray("HABCDP") << QByteArray()
        << QByteArray();
    QTest::newRow("count 3, priority 2: before the last")
        << QStringList{"A", "B", "P:2"} << QByteArray("HAPB") << QByteArray() << QByteArray();
    QTest::newRow("count 1: the head still done once")
        << QStringList{"P:1"} << QByteArray("HP") << QByteArray() << QByteArray();
    // An output switched on and off quickly must end off: priority requests keep their order.
    QTest::newRow("priority 1 requests in queueing order, ahead of the ordinary ones")
        << QStringList{"A", "B", "P:1", "Q:1", "R:1"} << QByteArray("HPQRAB") << QByteArray()
        << QByteArray();
    QTest::newRow("priority 1 requests behind the head alone")
        << QStringList{"P:1", "Q:1", "R:1"} << QByteArray("HPQR") << QByteArray() << QByteArray();
    QTest::newRow("priority 2 behind the priority 2 queued before it")
        << QStringList{"A", "B", "C", "P:2", "Q:2"} << QByteArray("HAPQBC") << QByteArray()
        << QByteArray();
    QTest::newRow("an ordinary request queued between them goes behind them")
        << QStringList{"A", "P:1", "B", "Q:1"} << QByteArray("HPQAB") << QByteArray()
        << QByteArray();

    // The last write to a register wins over the writes still waiting.
    const QString on0 = "=11 05 0000 FF00", off0 = "=11 05 0000 0000", on1 = "=11 05 0001 FF00";
    QTest::newRow("on, off, on to one coil: only the last is sent")
        << QStringList{"A", "N:1" + on0, "F:1" + off0, "O:1" + on0} << QByteArray("HOA")
        << QByteArray("NF") << QByteArray();
    QTest::newRow("on, off, on without priority: the last goes to the tail")
        << QStringList{"N" + on0, "A", "F" + off0, "B", "O" + on0} << QByteArray("HABO")
        << QByteArray("NF") << QByteArray();
    QTest::newRow("the replacing write goes behind the priority writes queued before it")
        << QStringList{"A", "N:1" + on0, "M:1" + on1, "F:1" + off0} << QByteArray("HMFA")
        << QByteArray("N") << QByteArray();
    QTest::newRow("an equal write still waiting is replaced")
        << QStringList{"N:1" + on0, "A", "O:1" + on0} << QByteArray("HOA") << QByteArray("N")
        << QByteArray();
    QTest::newRow("writes to different coils are all kept")
        << QStringList{"N:1" + on0, "M:1=11 05 0001 0000", "K:1=11 05 0002 FF00"}
        << QByteArray("HNMK") << QByteArray() << QByteArray();
    QTest::newRow("a write to another device address is kept")
        << QStringList{"N:1" + on0, "F:1=12 05 0000 0000"} << QByteArray("HNF") << QByteArray()
        << QByteArray();
    QTest::newRow("a write to the register by another function is kept")
        << QStringList{"W:1=11 06 0004 0001", "V:1=11 10 0004 0001 02 0002"} << QByteArray("HWV")
        << QByteArray() << QByteArray();
    QTest::newRow("a multiple write replaces the one to the same range only")
        << QStringList{"W:1=11 10 0004 0002 04 0001 0002", "X:1=11 10 0004 0001 02 0003",
                       "Y:1=11 10 0004 0002 04 0005 0006"}
        << QByteArray("HXY") << QByteArray("W") << QByteArray();
    // The one on the line is never replaced: the module gets it, and an equal write is refused.
    QTest::newRow("a write equal to the one on the line is refused, the one between cancelled")
        << QStringList{"F:1" + off0, "O:1" + on0} << QByteArray("H") << QByteArray("F")
        << on0.mid(1).toLatin1();
    QTest::newRow("a write after the one on the line is queued")
        << QStringList{"F:1" + off0} << QByteArray("HF") << QByteArray() << on0.mid(1).toLatin1();
    QTest::newRow("an equal read still queued is refused")
        << QStringList{"R=11 03 0000 0001", "S=11 03 0000 0001", "T:1=11 03 0000 0001"}
        << QByteArray("HR") << QByteArray() << QByteArray();
}

namespace {
struct QueuedRequest {
    char tag = 0;
    bool force = false;
    int priority = 0;
    QByteArray frame;
};

QueuedRequest ParseRequest(const QString &text) {
    const QString request = text.section('=', 0, 0);
    const QString frame = text.section('=', 1);
    QueuedRequest parsed;
    parsed.tag = request.at(0).toLatin1();
    parsed.force = request.contains(':');
    parsed.priority = request.section(':', 1).toInt();
    parsed.frame = frame.isEmpty() ? FrameBytes(parsed.tag) : QByteArray::fromHex(frame.toLatin1());
    return parsed;
}
} // namespace

void TestFreePort::queueOrderAndPriority() {
    QFETCH(QStringList, queuedBehindHead);
    QFETCH(QByteArray, sendingOrder);
    QFETCH(QByteArray, cancelled);
    QFETCH(QByteArray, head);

    PtyPeer peer;
    QVERIFY(peer.isOpen());
    Responder responder(peer);
    QHash<char, QByteArray> frameOf;
    frameOf['H'] = head.isEmpty() ? FrameBytes('H') : QByteArray::fromHex(head);
    responder.HoldAnswerTo(frameOf['H']);
    TzFreePort port(peer.slavePath());
    AnswerLog log;
    port.SetOnAsyncAnswerProc(log.callback());
    SetTimeouts(port, 20, 0, kLongWaitMs);
    QVERIFY(port.Start());

    QHash<char, uint32_t> uidOf;
    // A priority request into an empty queue is simply appended.
    QVERIFY(port.SendCmdForce(TStringBytes::FromBytes(frameOf['H']), 1, 3));
    uidOf['H'] = port.LastUID();
    QVERIFY(responder.WaitForFrames(1));
    for (const QString &text : queuedBehindHead) {
        const QueuedRequest request = ParseRequest(text);
        const TStringBytes frame = TStringBytes::FromBytes(request.frame);
        const bool accepted =
            request.force ? port.SendCmdForce(frame, 1, request.priority) : port.SendCmd(frame, 1);
        const bool kept = sendingOrder.contains(request.tag) || cancelled.contains(request.tag);
        QVERIFY2(accepted == kept, qPrintable(text));
        frameOf[request.tag] = request.frame;
        if (accepted)
            uidOf[request.tag] = port.LastUID();
    }
    QCOMPARE(port.QueueCount(), sendingOrder.size());

    responder.Release();
    QTRY_COMPARE_WITH_TIMEOUT(log.answers.size(), sendingOrder.size() + cancelled.size(),
                              kLongWaitMs);

    QList<Answer> sent, dropped;
    for (const Answer &answer : log.answers)
        (answer.errCode == kErrCancelled ? dropped : sent).append(answer);
    QCOMPARE(dropped.size(), cancelled.size());
    for (int i = 0; i < cancelled.size(); ++i) {
        QCOMPARE(dropped[i].uid, uidOf[cancelled[i]]);
        QVERIFY(dropped[i].bytes.isEmpty());
        QCOMPARE(dropped[i].comPort, PtyNumber(peer));
    }
    QList<QByteArray> expectedFrames;
    for (const char tag : sendingOrder)
        expectedFrames << frameOf[tag];
    QCOMPARE(responder.Received(), expectedFrames);
    QCOMPARE(sent.size(), sendingOrder.size());
    for (int i = 0; i < sendingOrder.size(); ++i) {
        const Answer &answer = sent[i];
        QCOMPARE(answer.uid, uidOf[sendingOrder[i]]);
        QCOMPARE(answer.bytes, expectedFrames[i]);
        QCOMPARE(answer.errCode, kErrNone);
        QCOMPARE(answer.comPort, PtyNumber(peer));
    }
    QCOMPARE(port.QueueCount(), 0);
}

void TestFreePort::duplicatesRefused() {
    PtyPeer peer;
    QVERIFY(peer.isOpen());
    Responder responder(peer);
    responder.HoldAnswerTo(FrameBytes('H'));
    TzFreePort port(peer.slavePath());
    AnswerLog log;
    QList<bool> requeuedInside, heldInside;
    port.SetOnAsyncAnswerProc(
        [&](int comPort, uint32_t uid, const TStringBytes &answer, uint32_t errCode) {
            log.callback()(comPort, uid, answer, errCode);
            if (log.answers.size() > 2)
                return;
            // The echo is the very frame answered: its request left the queue as its
            // exchange ended, so the same frame is taken again at once.
            requeuedInside << port.SendCmd(answer, 1);
            heldInside << port.HoldsRequest(uid);
        });
    SetTimeouts(port, 20, 0, kLongWaitMs);
    QVERIFY(port.Start());

    QVERIFY(port.SendCmd(Frame('H'), 1));
    const uint32_t headUid = port.LastUID();
    QVERIFY(responder.WaitForFrames(1));

    QVERIFY(!port.SendCmd(Frame('H'), 1));  // being sent
    QVERIFY(!port.SendCmd(Frame('H'), 99)); // the device address plays no part
    QVERIFY(port.SendCmd(Frame('A'), 1));
    const uint32_t waitingUid = port.LastUID();
    QVERIFY(!port.SendCmd(Frame('A'), 1)); // waiting
    QVERIFY(!port.SendCmdForce(Frame('A'), 1, 1));
    QVERIFY(!port.SendCmd(TStringBytes::FromText(""), 1));
    QVERIFY(!port.SendCmd(TStringBytes(), 1));
    QCOMPARE(port.LastUID(), waitingUid);
    QVERIFY(port.HoldsRequest(headUid));
    QVERIFY(port.HoldsRequest(waitingUid));

    responder.Release();
    QTRY_COMPARE_WITH_TIMEOUT(log.answers.size(), 4, kLongWaitMs);
    QCOMPARE(requeuedInside, QList<bool>({true, true}));
    QCOMPARE(heldInside, QList<bool>({false, false}));
    QList<QByteArray> answered;
    for (const Answer &answer : log.answers)
        answered << answer.bytes;
    QCOMPARE(answered, QList<QByteArray>(
                           {FrameBytes('H'), FrameBytes('A'), FrameBytes('H'), FrameBytes('A')}));
    QCOMPARE(log.answers[3].uid, waitingUid + 2);
    QVERIFY(!port.HoldsRequest(headUid));
    QTRY_COMPARE_WITH_TIMEOUT(port.QueueCount(), 0, kLongWaitMs);

    // Answered, so the same frame is accepted again.
    port.SetOnAsyncAnswerProc(log.callback());
    QVERIFY(port.SendCmd(Frame('H'), 1));
    QCOMPARE(port.LastUID(), waitingUid + 3);
    QTRY_COMPARE_WITH_TIMEOUT(log.answers.size(), 5, kLongWaitMs);
    QCOMPARE(log.answers[4].bytes, FrameBytes('H'));
}

void TestFreePort::idsWrapAfter20Million() {
    // Never started: requests are queued and wait, nothing is sent.
    TzFreePort port("/dev/tarvex-test-no-such-port");
    QCOMPARE(port.LastUID(), 0u);
    QVERIFY(port.SendCmd(Frame('a'), 1));
    QCOMPARE(port.LastUID(), 1u);
    QVERIFY(port.SendCmd(Frame('b'), 1));
    QCOMPARE(port.LastUID(), 2u);

    TzFreePortTestAccess::SetGlobUID(port, 19999999);
    QVERIFY(port.SendCmd(Frame('c'), 1));
    QCOMPARE(port.LastUID(), 20000000u);
    QVERIFY(port.SendCmd(Frame('d'), 1));
    QCOMPARE(port.LastUID(), 0u);
    QVERIFY(port.SendCmd(Frame('e'), 1));
    QCOMPARE(port.LastUID(), 1u);
    QVERIFY(port.HoldsRequest(0));
    QCOMPARE(port.QueueCount(), 5);

    port.ClearRequestList();
    QCOMPARE(port.QueueCount(), 0);
    QVERIFY(!port.HoldsRequest(0));
    QVERIFY(port.SendCmd(Frame('a'), 1));
    QCOMPARE(port.LastUID(), 2u);
}

void TestFreePort::answerFraming_data() {
    QTest::addColumn<int>("interval");
    QTest::addColumn<QByteArray>("part1");
    QTest::addColumn<int>("gapMs");
    QTest::addColumn<QByteArray>("part2");
    QTest::addColumn<QByteArray>("firstAnswer");

    const QByteArray head("\x01\x03\x02", 3), tail("\x00\x0a", 2);
    QTest::newRow("short gap stays in one answer") << 400 << head << 20 << tail << head + tail;
    QTest::newRow("long gap ends the answer, the rest is purged")
        << 30 << head << 600 << tail << head;
    const QByteArray long300(300, '\x5a');
    QTest::newRow("cut at 255 bytes, the rest is purged")
        << 400 << long300 << 0 << QByteArray() << long300.left(255);
}

// The second request's answer shows whether what the first left on the line was purged.
void TestFreePort::answerFraming() {
    QFETCH(int, interval);
    QFETCH(QByteArray, part1);
    QFETCH(int, gapMs);
    QFETCH(QByteArray, part2);
    QFETCH(QByteArray, firstAnswer);

    PtyPeer peer;
    QVERIFY(peer.isOpen());
    std::atomic<bool> firstAnswerWritten = false;
    Responder responder(peer, [&](const QByteArray &frame, PtyPeer &line) {
        if (frame != FrameBytes('1')) {
            line.write("R2");
            return;
        }
        line.write(part1);
        QThread::msleep(gapMs);
        line.write(part2);
        firstAnswerWritten = true;
    });
    TzFreePort port(peer.slavePath());
    AnswerLog log;
    port.SetOnAsyncAnswerProc(log.callback());
    SetTimeouts(port, interval, 0, kLongWaitMs);
    QVERIFY(port.Start());

    QVERIFY(port.SendCmd(Frame('1'), 1));
    QTRY_VERIFY_WITH_TIMEOUT(log.answers.size() == 1 && firstAnswerWritten, kLongWaitMs);
    QTest::qWait(100); // the late part reaches the port's input queue
    QVERIFY(port.SendCmd(Frame('2'), 1));
    QTRY_COMPARE_WITH_TIMEOUT(log.answers.size(), 2, kLongWaitMs);

    QCOMPARE(log.answers[0].errCode, kErrNone);
    QCOMPARE(log.answers[0].bytes, firstAnswer);
    QCOMPARE(log.answers[1].errCode, kErrNone);
    QCOMPARE(log.answers[1].bytes, QByteArray("R2"));
}

void TestFreePort::silentDeviceGives512() {
    PtyPeer peer;
    QVERIFY(peer.isOpen());
    Responder responder(peer, Responder::Silent);
    TzFreePort port(peer.slavePath());
    AnswerLog log;
    port.SetOnAsyncAnswerProc(log.callback());
    SetTimeouts(port, 10, 1, 100); // the panel's: 355 ms in total
    QVERIFY(port.Start());

    QElapsedTimer timer;
    timer.start();
    QVERIFY(port.SendCmd(Frame('S'), 1));
    QTRY_COMPARE_WITH_TIMEOUT(log.answers.size(), 1, kLongWaitMs);
    QVERIFY2(timer.elapsed() >= 340, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(log.answers[0].errCode, kErrNoAnswer);
    QCOMPARE(log.answers[0].bytes, QByteArray());
    QCOMPARE(responder.Received(), QList<QByteArray>{FrameBytes('S')});
}

void TestFreePort::lifecycleStartStopRestart() {
    PtyPeer peer;
    QVERIFY(peer.isOpen());
    Responder responder(peer);
    TzFreePort port(peer.slavePath());
    AnswerLog log;
    port.SetOnAsyncAnswerProc(log.callback());
    QVERIFY(port.Stop()); // never started: nothing to close

    // Queued before the first Start: waits.
    QVERIFY(port.SendCmd(Frame('0'), 1));
    QTest::qWait(300);
    QVERIFY(log.answers.isEmpty());
    QVERIFY(responder.Received().isEmpty());
    QVERIFY(port.Start());
    QTRY_COMPARE_WITH_TIMEOUT(log.answers.size(), 1, kLongWaitMs);
    QCOMPARE(log.answers[0].errCode, kErrNone);

    // Stopped: the worker goes on answering, with the port closed.
    QVERIFY(port.Stop());
    QVERIFY(port.Stop());
    QList<uint32_t> uids;
    for (const char tag : QByteArray("abc")) {
        QVERIFY(port.SendCmd(Frame(tag), 1));
        uids << port.LastUID();
    }
    QTRY_COMPARE_WITH_TIMEOUT(log.answers.size(), 4, kLongWaitMs);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(log.answers[i + 1].uid, uids[i]);
        QCOMPARE(log.answers[i + 1].errCode, kErrPortClosed);
        QCOMPARE(log.answers[i + 1].bytes, QByteArray());
    }
    QCOMPARE(responder.Received().size(), 1);

    QVERIFY(port.Start());
    QVERIFY(port.SendCmd(Frame('r'), 1));
    QTRY_COMPARE_WITH_TIMEOUT(log.answers.size(), 5, kLongWaitMs);
    QCOMPARE(log.answers[4].errCode, kErrNone);
    QCOMPARE(log.answers[4].bytes, FrameBytes('r'));
}

void TestFreePort::unsetCallbackDrainsQueue() {
    PtyPeer peer;
    QVERIFY(peer.isOpen());
    Responder responder(peer);
    TzFreePort port(peer.slavePath());
    QVERIFY(port.Start());
    for (const char tag : QByteArray("xyz"))
        QVERIFY(port.SendCmd(Frame(tag), 1));
    QTRY_COMPARE_WITH_TIMEOUT(port.QueueCount(), 0, kLongWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(responder.Received().size(), 3, kLongWaitMs);

    AnswerLog log;
    port.SetOnAsyncAnswerProc(log.callback());
    QVERIFY(port.SendCmd(Frame('x'), 1));
    QTRY_COMPARE_WITH_TIMEOUT(log.answers.size(), 1, kLongWaitMs);
    QCOMPARE(log.answers[0].bytes, FrameBytes('x'));
}

void TestFreePort::answersWithoutWaiting_data() {
    QTest::addColumn<QByteArray>("queued"); // H is held on the line
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("inCallback");    // the action comes from the first answer's callback
    QTest::addColumn<QString>("delivered");  // answers in order; :C cancelled, :X port closed
    QTest::addColumn<bool>("headHeldAfter"); // H is still on the line after the action

    // The answers before H pile up while the test thread runs no event loop.
    QTest::newRow("answers wait for the owner, in send order")
        << QByteArray("abcHd") << "" << false << "a b c H d" << true;
    QTest::newRow("cleared: the waiting are cancelled in queue order, H is answered")
        << QByteArray("abHcde") << "ClearRequestList" << false << "a b c:C d:C e:C H" << true;
    QTest::newRow("cleared from the callback")
        << QByteArray("abHcde") << "ClearRequestList" << true << "a b c:C d:C e:C H" << true;
    QTest::newRow("Stop with answers waiting")
        << QByteArray("abHcd") << "Stop" << false << "a b H:X c:X d:X" << false;
    QTest::newRow("Stop from the callback")
        << QByteArray("abHcd") << "Stop" << true << "a b H:X c:X d:X" << false;
    QTest::newRow("Start with answers waiting")
        << QByteArray("abHcd") << "Start" << false << "a b H:X c d" << false;
    QTest::newRow("Start from the callback")
        << QByteArray("abHcd") << "Start" << true << "a b H:X c d" << false;
}

// The worker goes on while its answers wait for the owner's thread; what the owner does
// meanwhile neither blocks on the worker nor upsets the order of the answers.
void TestFreePort::answersWithoutWaiting() {
    QFETCH(QByteArray, queued);
    QFETCH(QString, action);
    QFETCH(bool, inCallback);
    QFETCH(QString, delivered);
    QFETCH(bool, headHeldAfter);

    PtyPeer peer;
    QVERIFY(peer.isOpen());
    // H cut short is never answered: a late echo would only meet the requests after it.
    Responder responder(peer, [&](const QByteArray &frame, PtyPeer &line) {
        if (frame != FrameBytes('H') || headHeldAfter)
            line.write(frame);
    });
    responder.HoldAnswerTo(FrameBytes('H'));
    TzFreePort port(peer.slavePath());
    SetTimeouts(port, 20, 0, kLongWaitMs);
    QHash<uint32_t, char> tagOf;
    QStringList seen;
    bool acted = false, actionOk = false, headHeld = false;
    const auto act = [&] {
        acted = true;
        if (action == "ClearRequestList") {
            port.ClearRequestList();
            actionOk = true;
        } else if (action == "Stop") {
            actionOk = port.Stop();
        } else if (action == "Start") {
            actionOk = port.Start();
        } else {
            actionOk = true;
        }
        headHeld = port.HoldsFrame(Frame('H'));
        responder.Release();
    };
    port.SetOnAsyncAnswerProc([&](int, uint32_t uid, const TStringBytes &answer, uint32_t errCode) {
        const char tag = tagOf.value(uid, '?');
        QString entry(QChar::fromLatin1(tag));
        if (errCode == kErrCancelled && answer.Size() == 0)
            entry += ":C";
        else if (errCode == kErrPortClosed && answer.Size() == 0)
            entry += ":X";
        else if (errCode != kErrNone || answer.AsBytes() != FrameBytes(tag))
            entry += ":?" + QString::number(errCode);
        seen << entry;
        if (!acted)
            act();
    });
    QVERIFY(port.Start());
    for (const char tag : queued) {
        QVERIFY(port.SendCmd(Frame(tag), 1));
        tagOf.insert(port.LastUID(), tag);
    }

    // Everything before H answered and H on the line, with no event loop run meanwhile.
    const int onLine = int(queued.indexOf('H')) + 1;
    QVERIFY(responder.WaitForFrames(onLine));
    QVERIFY(WaitWithoutEvents([&] { return port.QueueCount() == queued.size() - onLine + 1; }));
    QVERIFY(seen.isEmpty());
    if (!inCallback)
        act();

    QTRY_COMPARE_WITH_TIMEOUT(seen.size(), queued.size(), kLongWaitMs);
    QCOMPARE(seen.join(' '), delivered);
    QVERIFY(actionOk);
    QCOMPARE(headHeld, headHeldAfter);
    QTest::qWait(100);
    QCOMPARE(seen.size(), queued.size()); // one answer per request
    QCOMPARE(port.QueueCount(), 0);
}

void TestFreePort::destructionDeliversNothing_data() {
    QTest::addColumn<bool>("deviceAnswers");
    QTest::addColumn<bool>("fromCallback"); // D's callback destroys the port
    QTest::addColumn<QByteArray>("sent");
    // The answer is held back: the worker is still reading when destruction begins.
    QTest::newRow("during the read") << false << false << QByteArray("D");
    // Both answers arrived and wait for the test thread, which has run no event loop since:
    // they die with the port.
    QTest::newRow("answers waiting for the owner's thread") << true << false << QByteArray("DE");
    QTest::newRow("from the first answer's callback, the second waiting")
        << true << true << QByteArray("DE");
}

void TestFreePort::destructionDeliversNothing() {
    QFETCH(bool, deviceAnswers);
    QFETCH(bool, fromCallback);
    QFETCH(QByteArray, sent);

    PtyPeer peer;
    QVERIFY(peer.isOpen());
    Responder responder(peer);
    if (!deviceAnswers)
        responder.HoldAnswerTo(FrameBytes('D'));
    auto port = std::make_unique<TzFreePort>(peer.slavePath());
    AnswerLog log;
    port->SetOnAsyncAnswerProc(
        [&](int comPort, uint32_t uid, const TStringBytes &answer, uint32_t errCode) {
            log.callback()(comPort, uid, answer, errCode);
            port.reset();
        });
    SetTimeouts(*port, 20, 0, 3000);
    QVERIFY(port->Start());

    QVERIFY(port->SendCmd(Frame('D'), 1));
    QVERIFY(port->SendCmd(Frame('E'), 1));
    QVERIFY(responder.WaitForFrames(1));
    // No event loop meanwhile: an answer could only wait for delivery.
    if (deviceAnswers)
        QVERIFY(WaitWithoutEvents([&] { return port->QueueCount() == 0; }));
    else
        QThread::msleep(300);
    if (!fromCallback)
        port.reset();
    responder.Release();

    QTest::qWait(300);
    QVERIFY(!port);
    QCOMPARE(log.answers.size(), fromCallback ? 1 : 0);
    if (fromCallback)
        QCOMPARE(log.answers[0].bytes, FrameBytes('D'));
    QList<QByteArray> expected;
    for (const char tag : sent)
        expected << FrameBytes(tag);
    QCOMPARE(responder.Received(), expected);
}

void TestFreePort::deviceGone() {
    PtyPeer peer;
    QVERIFY(peer.isOpen());
    TzFreePort port(peer.slavePath());
    AnswerLog log;
    port.SetOnAsyncAnswerProc(log.callback());
    SetTimeouts(port, 20, 0, 500);
    QVERIFY(port.Start());

    peer.closeMaster();
    QVERIFY(port.SendCmd(Frame('g'), 1));
    QVERIFY(port.SendCmd(Frame('h'), 1));
    QTRY_COMPARE_WITH_TIMEOUT(log.answers.size(), 2, kLongWaitMs);
    QCOMPARE(log.answers[0].errCode, kErrPortClosed);
    QCOMPARE(log.answers[1].errCode, kErrPortClosed);
    QCOMPARE(log.answers[1].bytes, QByteArray());
}

void TestFreePort::startFails_data() {
    QTest::addColumn<bool>("missingDevice");
    QTest::addColumn<int>("byteSize");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<QSerialPort::SerialPortError>("error");

    QTest::newRow("missing device")
        << true << kNotSet << kNotSet << QSerialPort::DeviceNotFoundError;
    QTest::newRow("nine data bits")
        << false << 9 << kNotSet << QSerialPort::UnsupportedOperationError;
    QTest::newRow("unknown stop bits code")
        << false << kNotSet << 7 << QSerialPort::UnsupportedOperationError;
}

void TestFreePort::startFails() {
    QFETCH(bool, missingDevice);
    QFETCH(int, byteSize);
    QFETCH(int, stopBits);
    QFETCH(QSerialPort::SerialPortError, error);

    PtyPeer peer;
    QVERIFY(peer.isOpen());
    Responder responder(peer);
    TzFreePort port(missingDevice ? "/dev/tarvex-test-no-such-port" : peer.slavePath());
    AnswerLog log;
    port.SetOnAsyncAnswerProc(log.callback());
    port.LocDCB().ByteSize = byteSize;
    port.LocDCB().StopBits = stopBits;
    QCOMPARE(port.LastOpenError(), QSerialPort::NoError);

    QVERIFY(!port.Start());
    QCOMPARE(port.LastOpenError(), error);
    QVERIFY(!port.LastOpenErrorText().isEmpty());

    // Never successfully started: requests wait.
    QVERIFY(port.SendCmd(Frame('w'), 1));
    QTest::qWait(200);
    QVERIFY(log.answers.isEmpty());
    QVERIFY(port.Stop());
}

void TestFreePort::overlayOnRecord_data() {
    QTest::addColumn<TzDCB>("overlay");
    QTest::addColumn<TzPortDCB>("expected");

    const TzPortDCB base = RunningRecord();

    TzDCB overlay;
    TzPortDCB expected = base;
    QTest::newRow("nothing set") << overlay << expected;

    overlay.BaudRate = 19200;
    expected.BaudRate = 19200;
    QTest::newRow("only the baud rate") << overlay << expected;

    overlay.Clear();
    overlay.ByteSize = 8;
    overlay.Parity = 0;
    overlay.StopBits = 0;
    expected = base;
    expected.ByteSize = 8;
    expected.Parity = 0;
    expected.StopBits = 0;
    QTest::newRow("frame format") << overlay << expected;

    overlay.Clear();
    overlay.Flags = DcbFlags::fOutX;
    expected = base;
    expected.Flags |= DcbFlags::fOutX;
    QTest::newRow("flags are ORed in") << overlay << expected;

    overlay.OnlyMyFlags = true;
    expected.Flags = DcbFlags::fOutX;
    QTest::newRow("only my flags") << overlay << expected;

    overlay.Clear();
    overlay.OnlyMyFlags = true;
    expected = base;
    expected.Flags = 0;
    QTest::newRow("only my flags, none given") << overlay << expected;

    overlay.Clear();
    overlay.XonLim = 0x12345;
    overlay.fXonChar = 'A'; // written without its flag: not imposed
    overlay.SetXoffChar('B');
    expected = base;
    expected.XonLim = 0x2345;
    expected.XoffChar = 'B';
    QTest::newRow("limits as 16 bits, flagged characters") << overlay << expected;
}

void TestFreePort::overlayOnRecord() {
    QFETCH(TzDCB, overlay);
    QFETCH(TzPortDCB, expected);

    const auto fields = [](const TzPortDCB &d) {
        return QList<qint64>{d.BaudRate, d.Flags,   d.XonLim,   d.XoffLim,   d.ByteSize, d.Parity,
                             d.StopBits, d.XonChar, d.XoffChar, d.ErrorChar, d.EofChar,  d.EvtChar};
    };
    TzPortDCB record = RunningRecord();
    ApplyDCB(overlay, record);
    QCOMPARE(fields(record), fields(expected));
}

void TestFreePort::lineSettingsOverlay_data() {
    QTest::addColumn<int>("baudRate");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("onlyMyFlags");
    QTest::addColumn<int>("speed");
    QTest::addColumn<bool>("twoStopBits");
    QTest::addColumn<int>("flowBits");

    // The port first runs at 4800 baud, two stop bits, hardware flow control; then it is
    // restarted with these overlay fields set and the rest left unset. (A pseudo-terminal
    // always has 8 data bits and no parity, so those are checked on the record above.)
    const int hardware = int(CRTSCTS), software = IXON | IXOFF;
    const int x = kNotSet;
    QTest::newRow("only the baud rate") << 19200 << x << x << false //
                                        << int(B19200) << true << hardware;
    QTest::newRow("nothing set") << x << x << x << false //
                                 << int(B4800) << true << hardware;
    QTest::newRow("one stop bit") << x << 0 << x << false //
                                  << int(B4800) << false << hardware;
    QTest::newRow("flags are ORed in: hardware stays") << x << x << DcbFlags::fOutX << false //
                                                       << int(B4800) << true << hardware;
    QTest::newRow("only my flags: software")
        << x << x << (DcbFlags::fOutX | DcbFlags::fInX) << true //
        << int(B4800) << true << software;
    QTest::newRow("only my flags: none") << x << x << x << true //
                                         << int(B4800) << true << 0;
}

void TestFreePort::lineSettingsOverlay() {
    QFETCH(int, baudRate);
    QFETCH(int, stopBits);
    QFETCH(int, flags);
    QFETCH(bool, onlyMyFlags);
    QFETCH(int, speed);
    QFETCH(bool, twoStopBits);
    QFETCH(int, flowBits);

    PtyPeer peer;
    QVERIFY(peer.isOpen());
    TzFreePort port(peer.slavePath());
    TzDCB &dcb = port.LocDCB();
    dcb.BaudRate = 4800;
    dcb.StopBits = 2;
    dcb.Flags = DcbFlags::fOutxCtsFlow;
    QVERIFY2(port.Start(), qPrintable(port.LastOpenErrorText()));

    dcb.Clear();
    dcb.BaudRate = baudRate;
    dcb.StopBits = stopBits;
    dcb.Flags = flags;
    dcb.OnlyMyFlags = onlyMyFlags;
    QVERIFY2(port.Start(), qPrintable(port.LastOpenErrorText()));

    termios tio{};
    QCOMPARE(tcgetattr(peer.slaveFd(), &tio), 0);
    QCOMPARE(int(cfgetospeed(&tio)), speed);
    QCOMPARE(bool(tio.c_cflag & CSTOPB), twoStopBits);
    QCOMPARE(int((tio.c_cflag & CRTSCTS) | (tio.c_iflag & (IXON | IXOFF))), flowBits);
}

QTEST_GUILESS_MAIN(TestFreePort)
#include "test_free_port.moc"
