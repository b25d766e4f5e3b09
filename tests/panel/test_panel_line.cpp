// The panel on a line behind a USB adapter that hands over what it received every 16 ms:
// every answer must arrive whole and no request may go out while the module is answering.
#include "model/register_map.h"
#include "panel_fixture.h"
#include "tools/port_observers.h"
#include "tools/temp_log_window.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

namespace {

using namespace TarvexMap;

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

// A read request of the module at address 16, without its CRC.
QByteArray ReadRequest(int function, int reg, int count) {
    const char bytes[] = {16, char(function), char(reg >> 8), char(reg), 0, char(count)};
    return QByteArray(bytes, sizeof bytes);
}

// The eight reads of one poll cycle, the voltage first.
const QList<QByteArray> kPolledReads = {ReadRequest(4, kRegSupplyVoltage, 1),
                                        ReadRequest(4, kRegPowerStatus, 1),
                                        ReadRequest(3, kRegSafeStates17to20, 1),
                                        ReadRequest(3, kRegSafeStates1to16, 1),
                                        ReadRequest(3, kRegOutputStates17to20, 1),
                                        ReadRequest(3, kRegOutputStates1to16, 1),
                                        ReadRequest(3, kRegPwmBlock1, kPwmBlockRegisters),
                                        ReadRequest(3, kRegPwmBlock2, kPwmBlockRegisters)};

// The requests between two reads of the voltage, for every cycle the log holds whole.
QList<QList<QByteArray>> PollCycles(const QList<SimProcess::Frame> &frames) {
    QList<QList<QByteArray>> cycles;
    for (const SimProcess::Frame &frame : frames) {
        const QByteArray request = frame.bytes.left(6);
        if (request == kPolledReads[0])
            cycles.append(QList<QByteArray>());
        if (!cycles.isEmpty())
            cycles.last().append(request);
    }
    if (!cycles.isEmpty())
        cycles.removeLast(); // still going on
    return cycles;
}

// Counts the exchanges that failed: their answers reach the line monitor empty.
class FailedAnswers : public TzPortObserver {
public:
    FailedAnswers() { PortObservers().append(this); }
    ~FailedAnswers() override { PortObservers().removeAll(this); }
    void AddRequest(const TzPortObsEntry &) override {}
    void AddAnswer(const TzPortObsEntry &entry) override {
        if (entry.Rec.Value.isEmpty() && entry.Rec.Cmd.isEmpty())
            ++count;
    }
    int count = 0;
};

} // namespace

class TestPanelLine : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetLog(); }
    void cleanupTestCase() { DeleteLogWindow(); }

    void pollsThroughABurstingAdapter_data();
    void pollsThroughABurstingAdapter();
};

void TestPanelLine::pollsThroughABurstingAdapter_data() {
    QTest::addColumn<QString>("baud");
    QTest::addColumn<int>("pollMs");    // how long the test watches the polling
    QTest::addColumn<int>("minCycles"); // whole poll cycles in that time

    // 65-byte PWM block answers come in five bursts at 9600 bit/s, 35 at 1200. At both rates
    // a poll cycle takes longer than the 250 ms polling period.
    QTest::newRow("9600 bit/s") << QStringLiteral("9600") << 2500 << 4;
    QTest::newRow("1200 bit/s") << QStringLiteral("1200") << 6000 << 1;
}

void TestPanelLine::pollsThroughABurstingAdapter() {
    QFETCH(QString, baud);
    QFETCH(int, pollMs);
    QFETCH(int, minCycles);

    PanelFixture f({"--baud", baud, "--burst", "16"});
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    for (int n = 1; n <= 20; ++n) {
        f.sim().setHolding(OutputRegister(n, kOffsetPwmScale), ScaleOf(n));
        f.sim().setHolding(OutputRegister(n, kOffsetPwmPeriod), PeriodOf(n));
        f.sim().setHolding(OutputRegister(n, kOffsetPwmDuty), KoefOf(n));
    }
    int undecodable = 0;
    for (const auto &tag : p.Device->Tags) {
        tag->OnResponse = [inner = tag->OnResponse, &undecodable](TzTag *t) {
            undecodable += t->Quality == kQualityUndecodable ? 1 : 0;
            if (inner)
                inner(t);
        };
    }
    FailedAnswers failed;

    p.cbLineBaudRate->setCurrentText(baud);
    QVERIFY(f.connectAndPoll(15000));
    f.sim().clearFrames();
    QTest::qWait(pollMs);

    for (int n = 1; n <= 20; ++n) {
        p.DOUTs[n].BtnShim->click();
        QCOMPARE(p.txtShimScale->text(), QString::number(ScaleOf(n)));
        QCOMPARE(p.txtShimPeriod->text(), QString::number(PeriodOf(n)));
        QCOMPARE(p.txtShimKoef->text(), QString::number(KoefOf(n)));
    }
    QCOMPARE(undecodable, 0);
    QCOMPARE(failed.count, 0);
    // A tick during a cycle waits for it: every cycle reads all eight, none is skipped.
    const QList<QList<QByteArray>> cycles = PollCycles(f.sim().frames());
    QVERIFY2(cycles.size() >= minCycles, qPrintable(QString::number(cycles.size())));
    for (const QList<QByteArray> &cycle : cycles)
        QCOMPARE(cycle, kPolledReads);
    QByteArray collided;
    for (const SimProcess::Frame &frame : f.sim().collisions())
        collided += QByteArray::number(frame.ms) + " ms: " + frame.bytes.toHex(' ') + '\n';
    QVERIFY2(collided.isEmpty(), collided.constData());
}

QTEST_MAIN(TestPanelLine)
#include "test_panel_line.moc"
