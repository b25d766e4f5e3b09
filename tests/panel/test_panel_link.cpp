// What the panel tells about its link to a simulated module: a module that stops answering, a
// port that goes away with its device, and registers of the first full read that fail.
#include "http_test_server.h"
#include "model/register_map.h"
#include "panel_fixture.h"
#include "tools/temp_log.h"
#include "tools/temp_log_window.h"
#include "widgets/output_button.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

namespace {

const QString kLost = QStringLiteral("Связь с устройством потеряна");
const QString kRestored = QStringLiteral("Связь с устройством восстановлена");

QList<QLabel *> ValueLabels(const TfrTarvex &p) {
    return {p.labAddr, p.labBaudRate, p.labFormat, p.labVerPO, p.labPower1, p.labTest};
}

bool OutputsEnabled(const TfrTarvex &p) {
    for (int n = 1; n <= 20; ++n)
        if (!p.DOUTs[n].Btn->isEnabled())
            return false;
    return true;
}

// Reads of the module's first ID register the simulator received.
int IdReads(PanelFixture &f) {
    return int(f.simFrames().filter(QRegularExpression("^10 04 90 02 00 01 ")).size());
}

} // namespace

class TestPanelLink : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QThreadPool::globalInstance()->setMaxThreadCount(8); }
    void init() { ResetLog(); }
    void cleanupTestCase() { DeleteLogWindow(); }

    void silentModuleIsShownLost();
    void noWriteReachesALostModule();
    void vanishedPortIsReconnected();
    void firstReadRetried_data();
    void firstReadRetried();
    void remoteControlWaitsForTheId();
};

void TestPanelLink::silentModuleIsShownLost() {
    PanelFixture f({"--voltage", "24000"});
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QVERIFY(f.connectAndPoll());
    QTRY_COMPARE_WITH_TIMEOUT(p.labPower1->text(), QStringLiteral("24.00 В"), 2000);
    QVERIFY(p.labLinkLost->isHidden());
    QVERIFY(OutputsEnabled(p));

    f.sim().command("silent on");
    QTRY_VERIFY_WITH_TIMEOUT(!p.labLinkLost->isHidden(), 3000);
    QVERIFY(LogHasLine(kLost, LogColor::DarkRed));
    QCOMPARE(p.labLinkLost->text(), QStringLiteral("Нет связи с устройством"));
    QCOMPARE(QAccessible::queryAccessibleInterface(p.labLinkLost)->text(QAccessible::Name),
             p.labLinkLost->text());
    // The last values stay on show, greyed, and nothing that acts on the module can be used.
    QCOMPARE(p.labPower1->text(), QStringLiteral("24.00 В"));
    for (QLabel *label : ValueLabels(p))
        QVERIFY2(!label->isEnabled(), qPrintable(label->objectName()));
    QVERIFY(p.labPower1->palette().color(QPalette::Disabled, QPalette::Window) !=
            p.labPower1->palette().color(QPalette::Active, QPalette::Window));
    QVERIFY(!OutputsEnabled(p));
    QVERIFY(!p.btnReset->isEnabled());
    // Polling goes on, and the loss is told once.
    f.sim().clearFrames();
    QTRY_VERIFY_WITH_TIMEOUT(f.sim().frames().size() >= 3, 3000);
    QCOMPARE(LogCount(kLost), 1);

    f.sim().command("silent off");
    QTRY_VERIFY_WITH_TIMEOUT(p.labLinkLost->isHidden(), 1000);
    QVERIFY(LogHasLine(kRestored, LogColor::Green));
    for (QLabel *label : ValueLabels(p))
        QVERIFY2(label->isEnabled(), qPrintable(label->objectName()));
    QVERIFY(OutputsEnabled(p));
    QVERIFY(p.btnReset->isEnabled());
    QCOMPARE(LogCount(kLost), 1);
    QCOMPARE(LogCount(kRestored), 1);
}

void TestPanelLink::noWriteReachesALostModule() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QVERIFY(f.connectAndPoll());
    f.sim().command("silent on");
    QTRY_VERIFY_WITH_TIMEOUT(p.Link.Lost(), 6000);
    f.sim().clearFrames();

    // Every way the panel writes: one output (as remote control and the running light switch
    // it), all outputs at once, PWM settings, RS-485 settings, and a click on an output.
    p.SendDOUT(3, true);
    p.btnAllOnClick(p.btnAllOn);
    p.txtShimScale->setText("2");
    p.txtShimPeriod->setText("100");
    p.txtShimKoef->setText("300");
    p.btnDOUT_ApplyClick();
    p.txtAddr->setText("20");
    p.btnRS485_ApplyClick();
    QTest::mouseClick(p.DOUTs[5].Btn, Qt::LeftButton);
    QTest::qWait(1000);
    QVERIFY2(WritesOf(f.simFrames()).isEmpty(), qPrintable(WritesOf(f.simFrames()).join('\n')));
    QVERIFY(f.sim().frames().size() >= 2);           // the polls went out meanwhile
    QVERIFY(p.DOUTs[p.CurrDoutIndx].ShimScale != 2); // nothing taken over from the PWM fields
    QCOMPARE(p.txtLineAddr->text(), QStringLiteral("16"));
    QVERIFY(p.labNeedReset->isHidden());

    f.sim().command("silent off");
    QTRY_VERIFY_WITH_TIMEOUT(!p.Link.Lost(), 2000);
    p.SendDOUT(3, true);
    QTRY_VERIFY_WITH_TIMEOUT(WritesOf(f.simFrames()).contains(WriteFrameText(5, 4352, 0xFF00)),
                             3000);
}

void TestPanelLink::vanishedPortIsReconnected() {
    QTemporaryDir dir;
    const QString link = dir.filePath("ttyTarvex");
    PanelFixture f({"--link", link});
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QCOMPARE(p.ComPortName, link);
    QVERIFY(f.connectAndPoll());

    f.sim().stop(); // the pseudo-terminal goes away with its simulator
    const QString gone = link + QStringLiteral(" отключён от системы");
    QTRY_VERIFY_WITH_TIMEOUT(LogHasLine(gone, LogColor::DarkRed), 3000);
    QVERIFY(!p.Connected);
    QVERIFY(!p.OprosTimer.isActive());
    QVERIFY(p.btnConnect->isEnabled());
    QCOMPARE(p.labAddr->text(), QStringLiteral("..."));
    QCOMPARE(QAccessible::queryAccessibleInterface(p.DOUTs[1].Btn)->text(QAccessible::Description),
             QStringLiteral("состояние неизвестно"));
    // While the port is missing the panel only looks for it: no attempt fails on it.
    QTest::qWait(2500);
    QVERIFY(!LogLines().join('\n').contains(QStringLiteral("Неудачное подключение")));
    QVERIFY(!p.ConnectBtnTimer.isActive());

    SimProcess again({"--log-frames", "--link", link});
    QVERIFY(again.start());
    QTRY_VERIFY_WITH_TIMEOUT(p.OprosTimer.isActive(), 6000);
    QVERIFY(p.Connected);
    QVERIFY(LogHasLine(link + QStringLiteral(" снова в системе: повторное подключение"),
                       LogColor::Navy));
    QVERIFY(!again.frames().isEmpty());
    QCOMPARE(LogCount(gone), 1);
}

void TestPanelLink::firstReadRetried_data() {
    QTest::addColumn<int>("failures"); // exception answers to the ID read before a good one
    QTest::addColumn<int>("reads");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("givenUp");
    QTest::newRow("first try fails") << 1 << 2 << "01-2A-00-FF-10-0B" << false;
    QTest::newRow("value at the last retry") << 3 << 4 << "01-2A-00-FF-10-0B" << false;
    QTest::newRow("given up after three retries") << 4 << 4 << "AA-BB-CC-DD-EE-FF" << true;
}

void TestPanelLink::firstReadRetried() {
    QFETCH(int, failures);
    QFETCH(int, reads);
    QFETCH(QString, shown);
    QFETCH(bool, givenUp);
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    f.sim().setException(TarvexMap::kRegId1, 2, failures);
    QVERIFY(f.connectAndPoll(6000)); // the first full read ends with the retries
    QCOMPARE(IdReads(f), reads);
    QCOMPARE(p.txtMAC->text(), shown);
    QCOMPARE(p.ModuleIdRead, !givenUp);
    QCOMPARE(LogHasLine(QStringLiteral("Не удалось прочитать регистр %1 «Идентификатор прибора 1»")
                            .arg(TarvexMap::kRegId1),
                        LogColor::DarkRed),
             givenUp);
    QVERIFY(p.btnRS485->isEnabled());
    QTest::qWait(300); // polling reads no ID again
    QCOMPARE(IdReads(f), reads);
}

void TestPanelLink::remoteControlWaitsForTheId() {
    TestWebServer service;
    QVERIFY(service.isListening());
    service.setReply("/control_panel/discret_outputs.php", {200, "text/plain", ""});
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    p.ServiceUrl = service.url("/control_panel/");
    p.chkRemoteControl->setChecked(true);
    f.sim().setException(TarvexMap::kRegId1, 2, 4); // the ID read fails, its retries too
    QVERIFY(f.connectAndPoll(6000));
    QCOMPARE(p.txtMAC->text(), QStringLiteral("AA-BB-CC-DD-EE-FF"));
    QTest::mouseClick(p.DOUTs[4].Btn, Qt::LeftButton); // would be reported to the service
    QTest::qWait(2500);                                // two ticks of remote control
    QVERIFY(service.seen().isEmpty());

    // A new connection reads the ID, and remote control goes on with it.
    f.clickConnect();
    QVERIFY(!p.Connected);
    QVERIFY(f.connectAndPoll());
    QCOMPARE(p.txtMAC->text(), QStringLiteral("01-2A-00-FF-10-0B"));
    QTRY_VERIFY_WITH_TIMEOUT(!service.seen().isEmpty(), 3000);
    for (const SeenRequest &request : service.seen())
        QVERIFY2(request.target.contains("device_id=01-2A-00-FF-10-0B"), request.target.data());
}

QTEST_MAIN(TestPanelLink)
#include "test_panel_link.moc"
