// Register access and answer dispatch of the panel: pending answers, exception counters,
// write confirmation, lost requests and the per-output tags, against a simulated module.
#include "model/register_map.h"
#include "panel_fixture.h"
#include "tools/temp_log.h"
#include "tools/temp_log_window.h"
#include "widgets/output_button.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

namespace {

using namespace TarvexMap;

QSet<uint32_t> PendingCodes(TfrTarvex &p) {
    QSet<uint32_t> codes;
    for (const TzModbusAnswer &a : p.ModbusAnswerList)
        codes.insert(a.Code);
    return codes;
}

// On a 1200 bit/s line a polling cycle takes longer than its 250 ms, so the queue stays full.
bool ConnectAt1200(PanelFixture &f) {
    f.panel().cbLineBaudRate->setCurrentText("1200");
    f.panel().txtLineTimeout->setText("150");
    return f.connectAndPoll(15000);
}

} // namespace

class TestPanelRegisters : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetLog(); }
    void cleanupTestCase() { DeleteLogWindow(); }

    void perOutputTags();
    void duplicateReadRefused();
    void exceptionCountersAndRecovery();
    void unknownUidIsLogged();
    void outputClickIsConfirmedByEcho();
    void clearedRequestsAreCancelled();
    void slowLineKeepsWaitingRequests();
    void safeStatesAndPwmFromModule();
    void shortPwmBlockIgnored();
    void tryValueByID_data();
    void tryValueByID();
};

void TestPanelRegisters::perOutputTags() {
    PanelFixture f;
    QVERIFY(f.ok());
    const auto &tags = f.panel().Device->Tags;
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

void TestPanelRegisters::duplicateReadRefused() {
    PanelFixture f({"--silent"});
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    f.clickConnect(); // opens the port; the silent module never answers the first contact
    QVERIFY(p.FreePort);
    const int before = p.PendingAnswerCount();
    QVERIFY(p.GetModbusRegRTU2(kRegOutputStates1to16));
    QVERIFY(!p.GetModbusRegRTU2(kRegOutputStates1to16));
    QCOMPARE(p.PendingAnswerCount(), before + 1);
    QVERIFY(!p.GetModbusRegRTU2(123456)); // no such tag
}

void TestPanelRegisters::exceptionCountersAndRecovery() {
    PanelFixture f(SimProcess::exceptionArgs(kRegOutputStates1to16, 6) +
                   SimProcess::exceptionArgs(kRegOutputStates17to20, 11) +
                   SimProcess::exceptionArgs(kRegSafeStates1to16, 2));
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QVERIFY(f.connectAndPoll());
    QTRY_VERIFY_WITH_TIMEOUT(p.ModbusErrors[6] >= 2 && p.ModbusErrors[9] >= 2, 3000);
    int value = 0;
    QVERIFY(!p.TryValueByID(kRegOutputStates1to16, value));
    QCOMPARE(p.Device->GetTagByID(kRegOutputStates1to16)->ModbusErrorCodeStr,
             QStringLiteral("06h"));

    // The counter lines show the panel's totals, whatever they have reached by now.
    const auto counters = [&p] {
        return LogCount(QStringLiteral("Ошибок 06h: %1").arg(p.ModbusErrors[6])) == 1 &&
               LogCount(QStringLiteral("Ошибок 02h: %1").arg(p.ModbusErrors[2])) == 1 &&
               LogCount(QStringLiteral("Других ошибок: %1").arg(p.ModbusErrors[9])) == 1 &&
               LogCount(QStringLiteral("Ошибок 01h: 0")) == 1;
    };
    QVERIFY2(counters(), qPrintable(LogLines().join('\n')));
    QCOMPARE(p.ModbusErrors[1], 0);

    // The next normal answer makes the output states usable again and shows them.
    f.sim().setCoil(OutputRegister(1), true);
    f.sim().clearException(kRegOutputStates1to16);
    QTRY_VERIFY_WITH_TIMEOUT(p.TryValueByID(kRegOutputStates1to16, value), 2000);
    QCOMPARE(value & 1, 1);
    QTRY_COMPARE_WITH_TIMEOUT(p.DOUTs[1].Btn->Picture(), TzOutputPicture::On, 2000);
}

void TestPanelRegisters::unknownUidIsLogged() {
    PanelFixture f;
    QVERIFY(f.ok());
    f.panel().ModbusAsyncAnswer(1, 424242, TStringBytes::FromBytes({1, 3, 2, 0, 10}), 0);
    QVERIFY(LogHasLine(QStringLiteral("Неизвестный UID (424242):   Ответ: 1.3.2.0"),
                       LogColor::DarkRed));
}

// A successful write comes back as its own echo; it must confirm the value written, not mark
// the tag undecodable.
void TestPanelRegisters::outputClickIsConfirmedByEcho() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QVERIFY(f.connectAndPoll());
    TzTag *coil = p.Device->GetTagByID(OutputRegister(5));
    TzOutputButton *button = p.DOUTs[5].Btn;
    QTRY_COMPARE_WITH_TIMEOUT(button->Picture(), TzOutputPicture::Off, 2000);

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(button->Picture(), TzOutputPicture::Pending);
    QCOMPARE(p.DOUTs[5].ShimKoef, 1000);
    QTRY_VERIFY_WITH_TIMEOUT(
        !PendingCodes(p).isEmpty() &&
            std::none_of(p.ModbusAnswerList.begin(), p.ModbusAnswerList.end(),
                         [coil](const TzModbusAnswer &a) { return a.Tag == coil; }),
        2000);
    QCOMPARE(coil->Quality, kQualityGood);
    QCOMPARE(coil->Value(), 1.0);
    QVERIFY(f.simFrames().contains(QStringLiteral("10 05 12 00 FF 00 8A 03")));
    QTRY_COMPARE_WITH_TIMEOUT(button->Picture(), TzOutputPicture::On, 2000);
}

// Requests cleared from the worker's queue (the reboot clears it) are answered as cancelled:
// their records go at once and their tags keep their quality, for nothing was asked.
void TestPanelRegisters::clearedRequestsAreCancelled() {
    PanelFixture f({"--wire-delay", "--baud", "1200"});
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QVERIFY(ConnectAt1200(f));
    QTRY_VERIFY_WITH_TIMEOUT(p.FreePort->QueueCount() >= 4, 3000);
    p.OprosTimer.stop(); // no new reads of the same tags meanwhile
    QHash<uint32_t, TzTag *> tagOf;
    for (const TzModbusAnswer &a : p.ModbusAnswerList)
        tagOf.insert(a.Code, a.Tag);
    QHash<TzTag *, int> qualityBefore;
    for (TzTag *tag : tagOf)
        qualityBefore.insert(tag, tag->Quality);
    QSignalSpy answers(p.FreePort.get(), &TzFreePort::answered);

    p.FreePort->ClearRequestList();
    QVERIFY(p.FreePort->QueueCount() <= 1); // the read on the line is answered as usual
    QSet<uint32_t> dropped;
    for (uint32_t code : PendingCodes(p))
        if (!p.FreePort->HoldsRequest(code))
            dropped.insert(code);
    QVERIFY(dropped.size() >= 3);
    QTRY_VERIFY_WITH_TIMEOUT(!PendingCodes(p).intersects(dropped), 3000);
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
    QVERIFY(!p.Link.Lost());
    QVERIFY(!LogLines().join('\n').contains(QStringLiteral("Неизвестный UID")));
}

// On a line slower than the polling, requests wait for seconds; they are still queued and must
// keep their records, or their answers would arrive with unknown ids.
void TestPanelRegisters::slowLineKeepsWaitingRequests() {
    PanelFixture f({"--wire-delay", "--baud", "1200"});
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QVERIFY(ConnectAt1200(f));
    QTest::qWait(4000);
    QVERIFY2(!LogLines().join('\n').contains(QStringLiteral("Неизвестный UID")),
             qPrintable(LogLines().join('\n')));
    QVERIFY(p.PendingAnswerCount() <= 9); // one copy of each polled read, one in flight
}

void TestPanelRegisters::safeStatesAndPwmFromModule() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    f.sim().setHolding(OutputRegister(1, kOffsetPwmScale), 7);
    f.sim().setHolding(OutputRegister(11, kOffsetPwmPeriod), 300);
    f.sim().setHolding(OutputRegister(20, kOffsetPwmDuty), 500);
    f.sim().setHolding(kRegSafeStates1to16, 5);  // outputs 1 and 3 closed at power-on
    f.sim().setHolding(kRegSafeStates17to20, 8); // output 20
    QVERIFY(f.connectAndPoll());
    QTRY_VERIFY_WITH_TIMEOUT(p.DOUTs[20].ShimKoef == 500, 2000);
    QCOMPARE(p.DOUTs[1].ShimScale, 7);
    QCOMPARE(p.DOUTs[11].ShimPeriod, 300);
    QCOMPARE(p.DOUTs[1].ShimSafe, 1);
    QCOMPARE(p.DOUTs[2].ShimSafe, 0);
    QCOMPARE(p.DOUTs[3].ShimSafe, 1);
    QCOMPARE(p.DOUTs[20].ShimSafe, 1);
    QCOMPARE(p.DOUTs[17].ShimSafe, 0);
    QTRY_COMPARE_WITH_TIMEOUT(p.DOUTs[20].Btn->Picture(), TzOutputPicture::Pwm, 2000);
}

void TestPanelRegisters::shortPwmBlockIgnored() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    TzTag *block = p.Device->GetTagByID(kTagPwmBlock1);
    block->Data = QByteArray(58, char(1));
    p.ShimAllCallback(block);
    for (int n = 1; n <= 10; ++n)
        QCOMPARE(p.DOUTs[n].ShimScale, 0);
    block->Data = QByteArray(60, char(1));
    p.ShimAllCallback(block);
    QCOMPARE(p.DOUTs[10].ShimKoef, 0x0101);
    QCOMPARE(p.DOUTs[11].ShimKoef, 0); // the other block's outputs stay as they were
}

void TestPanelRegisters::tryValueByID_data() {
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

void TestPanelRegisters::tryValueByID() {
    QFETCH(int, id);
    QFETCH(bool, enabled);
    QFETCH(int, quality);
    QFETCH(bool, modbusError);
    QFETCH(bool, usable);
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    TzTag *tag = p.Device->GetTagByID(kRegOutputStates1to16);
    tag->SetValue(-7.9);
    tag->Enabled = enabled;
    tag->Quality = quint16(quality);
    tag->ModbusError = modbusError;
    int asInt = 0;
    double asDouble = 0;
    QCOMPARE(p.TryValueByID(id, asInt), usable);
    QCOMPARE(p.TryValueByID(id, asDouble), usable);
    if (usable) {
        QCOMPARE(asInt, -7); // truncated toward zero
        QCOMPARE(asDouble, -7.9);
    }
}

QTEST_MAIN(TestPanelRegisters)
#include "test_panel_registers.moc"
