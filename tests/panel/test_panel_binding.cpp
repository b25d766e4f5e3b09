// The output buttons and the log bound to a session on a simulated module, found by their
// object names: a click reaches the module, the module's states and PWM settings repaint the
// buttons, and exception counts reach the log's counter lines.
#include "model/register_map.h"
#include "panel_fixture.h"
#include "tools/temp_log.h"
#include "tools/temp_log_window.h"
#include "widgets/output_button.h"

#include <QTest>

namespace {

using namespace TarvexMap;

TzOutputButton *OutputButton(TfrTarvex &panel, int n) {
    return panel.findChild<TzOutputButton *>(QStringLiteral("btnDOUT%1").arg(n));
}

} // namespace

class TestPanelBinding : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetLog(); }
    void cleanupTestCase() { DeleteLogWindow(); }

    void outputsFollowTheModule();
    void exceptionCountersReachTheLog();
};

void TestPanelBinding::outputsFollowTheModule() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    f.sim().setHolding(kRegOutputStates1to16, 1);                // output 1 on
    f.sim().setHolding(OutputRegister(20, kOffsetPwmDuty), 500); // output 20 modulated
    QVERIFY(f.connectAndPoll());
    TzOutputButton *five = OutputButton(p, 5);
    QVERIFY(five);
    QTRY_COMPARE_WITH_TIMEOUT(five->Picture(), TzOutputPicture::Off, 2000);
    QCOMPARE(OutputButton(p, 1)->Picture(), TzOutputPicture::On);
    QCOMPARE(OutputButton(p, 20)->Picture(), TzOutputPicture::Pwm);

    // A click shows the pending picture until the module's state comes back.
    QTest::mouseClick(five, Qt::LeftButton);
    QCOMPARE(five->Picture(), TzOutputPicture::Pending);
    QCOMPARE(f.session().output(5).ShimKoef, 1000);
    QTRY_VERIFY_WITH_TIMEOUT(f.simFrames().contains(QStringLiteral("10 05 12 00 FF 00 8A 03")),
                             2000);
    QTRY_COMPARE_WITH_TIMEOUT(five->Picture(), TzOutputPicture::On, 2000);

    // The module switches an output by itself: the button follows at the next poll.
    f.sim().setCoil(OutputRegister(1), false);
    QTRY_COMPARE_WITH_TIMEOUT(OutputButton(p, 1)->Picture(), TzOutputPicture::Off, 2000);
}

void TestPanelBinding::exceptionCountersReachTheLog() {
    PanelFixture f(SimProcess::exceptionArgs(kRegOutputStates1to16, 6) +
                   SimProcess::exceptionArgs(kRegOutputStates17to20, 11) +
                   SimProcess::exceptionArgs(kRegSafeStates1to16, 2));
    QVERIFY(f.ok());
    TarvexSession &s = f.session();
    QVERIFY(f.connectAndPoll());
    QTRY_VERIFY_WITH_TIMEOUT(s.exceptionCount(6) >= 2 && s.exceptionCount(11) >= 2, 3000);

    // The counter lines show the session's totals, whatever they have reached by now.
    const auto counters = [&s] {
        return LogCount(QStringLiteral("Ошибок 06h: %1").arg(s.exceptionCount(6))) == 1 &&
               LogCount(QStringLiteral("Ошибок 02h: %1").arg(s.exceptionCount(2))) == 1 &&
               LogCount(QStringLiteral("Других ошибок: %1").arg(s.exceptionCount(11))) == 1 &&
               LogCount(QStringLiteral("Ошибок 01h: 0")) == 1;
    };
    QVERIFY2(counters(), qPrintable(LogLines().join('\n')));

    // The next normal answer shows the outputs again.
    f.sim().setCoil(OutputRegister(1), true);
    f.sim().clearException(kRegOutputStates1to16);
    QTRY_COMPARE_WITH_TIMEOUT(OutputButton(f.panel(), 1)->Picture(), TzOutputPicture::On, 2000);
}

QTEST_MAIN(TestPanelBinding)
#include "test_panel_binding.moc"
