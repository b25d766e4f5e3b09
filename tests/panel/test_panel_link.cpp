// What the panel shows of its session's link to a simulated module: a module that stops
// answering. (Remote control waiting for the module's ID: tests/session/test_remote_control.cpp.)
#include "panel/connection_panel.h"
#include "panel/serial_port_list.h"
#include "panel_fixture.h"
#include "tools/temp_log.h"
#include "tools/temp_log_window.h"
#include "widgets/output_button.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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
        if (!p.DoutBtns[n]->isEnabled())
            return false;
    return true;
}

} // namespace

class TestPanelLink : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QThreadPool::globalInstance()->setMaxThreadCount(8); }
    void init() { ResetLog(); }
    void cleanupTestCase() { DeleteLogWindow(); }

    void silentModuleIsShownLost();
    void vanishedPortStaysChosen();
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
    // What the session refuses to write is not taken over by the panel either.
    Child<QLineEdit>(p, "txtShimScale")->setText("2");
    Child<QLineEdit>(p, "txtShimPeriod")->setText("100");
    Child<QLineEdit>(p, "txtShimKoef")->setText("300");
    Child<QPushButton>(p, "btnDOUT_Apply")->click();
    Child<QLineEdit>(p, "txtAddr")->setText("20");
    Child<QPushButton>(p, "btnRS485_Apply")->click();
    QVERIFY(WritesOf(f.simFrames()).isEmpty());
    QCOMPARE(Child<QLineEdit>(p, "txtLineAddr")->text(), QStringLiteral("16"));
    QVERIFY(p.labNeedReset->isHidden());

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

// An adapter pulled out while connected: the session waits for its port to come back. Listing
// the ports again (the pop-up does it each time it opens) keeps that port chosen, shown and used
// alike, and lets the session go on waiting.
void TestPanelLink::vanishedPortStaysChosen() {
    QTemporaryDir dir;
    const QString link = dir.filePath("ttyTarvex");
    QStringList ports = {"ttyS0", link};
    PanelFixture f({"--link", link});
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    SetSerialPortSource([&ports] { return ports; });
    QComboBox *list = Child<QComboBox>(p, "cbComPort");
    QTest::mouseClick(p.btnComPort, Qt::LeftButton);
    list->setCurrentText(link);
    QCOMPARE(p.panComPort->comPortName(), link);
    QVERIFY(f.connectAndPoll());

    f.sim().stop();
    QTRY_VERIFY_WITH_TIMEOUT(
        LogHasLine(link + QStringLiteral(" отключён от системы"), LogColor::DarkRed), 5000);
    ports = {"ttyS0"};
    QTest::mouseClick(p.btnComPort, Qt::LeftButton);
    QTest::mouseClick(p.btnComPort, Qt::LeftButton);
    QCOMPARE(list->currentText(), link);
    QCOMPARE(p.panComPort->comPortName(), link);

    SimProcess again({"--link", link});
    QVERIFY(again.start());
    QTRY_VERIFY_WITH_TIMEOUT(f.polling(), 6000);
}

QTEST_MAIN(TestPanelLink)
#include "test_panel_link.moc"
