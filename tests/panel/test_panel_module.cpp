// The panel's PWM, RS-485 and reboot controls and the module ID bound to a session on a
// simulated module: durations, fields that blink, settings copied to the connection, the reboot
// as shown.
#include "model/register_map.h"
#include "panel/connection_panel.h"
#include "panel/pwm_panel.h"
#include "panel_fixture.h"
#include "tools/temp_log.h"
#include "tools/temp_log_window.h"
#include "widgets/blinker.h"
#include "widgets/output_button.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

using namespace TarvexMap;

QString Write(int function, int reg, int value) {
    return WriteFrameText(function, reg, value);
}

} // namespace

class TestPanelModule : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetLog(); }
    void cleanupTestCase() { DeleteLogWindow(); }

    void pwmDurations_data();
    void pwmDurations();
    void pwmApplyRefusesBadFields_data();
    void pwmApplyRefusesBadFields();
    void pwmApplyWritesTheSelectedOutput();
    void pwmPanelShowsTheModulesValues();
    void pwmDefaults();
    void rs485ApplyWritesAndCopies();
    void rs485ApplyChecksItsFields_data();
    void rs485ApplyChecksItsFields();
    void rs485ApplyKeepsAnAsciiFormat();
    void rs485ApplyNeedsConnection();
    void rebootDisconnects();
    void rebootCannotBeClickedTwice();
    void moduleId_data();
    void moduleId();
};

void TestPanelModule::pwmDurations_data() {
    QTest::addColumn<QString>("scale");
    QTest::addColumn<QString>("period");
    QTest::addColumn<QString>("duty");
    QTest::addColumn<QString>("closed");
    QTest::addColumn<QString>("open");
    QTest::newRow("half of 0.5 s") << "1"
                                   << "50"
                                   << "500"
                                   << "00:00:00.250"
                                   << "00:00:00.250";
    QTest::newRow("always closed") << "1"
                                   << "50"
                                   << "1000"
                                   << "00:00:00.500"
                                   << "00:00:00.000";
    QTest::newRow("duty 0") << "1"
                            << "50"
                            << "0"
                            << "00:00:00.000"
                            << "00:00:00.000";
    QTest::newRow("duty truncated") << "3"
                                    << "333"
                                    << "1"
                                    << "00:00:00.000"
                                    << "00:00:09.990";
    QTest::newRow("12 of 24 hours") << "240"
                                    << "36000"
                                    << "500"
                                    << "12:00:00.000"
                                    << "12:00:00.000";
    QTest::newRow("minutes") << "100"
                             << "90"
                             << "250"
                             << "00:00:22.000"
                             << "00:01:08.000";
    QTest::newRow("scale out of range") << "241"
                                        << "50"
                                        << "500"
                                        << "00:00:00.000"
                                        << "00:00:00.000";
    QTest::newRow("period not a number") << "1"
                                         << "5x"
                                         << "500"
                                         << "00:00:00.000"
                                         << "00:00:00.000";
}

void TestPanelModule::pwmDurations() {
    QFETCH(QString, scale);
    QFETCH(QString, period);
    QFETCH(QString, duty);
    QFETCH(QString, closed);
    QFETCH(QString, open);
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    Child<QLineEdit>(p, "txtShimScale")->setText(scale);
    Child<QLineEdit>(p, "txtShimPeriod")->setText(period);
    Child<QLineEdit>(p, "txtShimKoef")->setText(duty);
    QCOMPARE(Child<QLineEdit>(p, "txtShimTimeOn")->text(), closed);
    QCOMPARE(Child<QLineEdit>(p, "txtShimTimeOff")->text(), open);
}

void TestPanelModule::pwmApplyRefusesBadFields_data() {
    QTest::addColumn<QString>("scale");
    QTest::addColumn<QString>("period");
    QTest::addColumn<QString>("duty");
    QTest::addColumn<QString>("blinking");
    QTest::newRow("scale 0") << "0"
                             << "50"
                             << "0"
                             << "txtShimScale";
    QTest::newRow("period 49") << "1"
                               << "49"
                               << "0"
                               << "txtShimPeriod";
    QTest::newRow("duty 1001") << "1"
                               << "50"
                               << "1001"
                               << "txtShimKoef";
    QTest::newRow("scale and period bad: the first blinks") << ""
                                                            << ""
                                                            << "0"
                                                            << "txtShimScale";
}

void TestPanelModule::pwmApplyRefusesBadFields() {
    QFETCH(QString, scale);
    QFETCH(QString, period);
    QFETCH(QString, duty);
    QFETCH(QString, blinking);
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QVERIFY(f.connectAndPoll());
    QTest::mouseClick(p.btnDOUT, Qt::LeftButton);
    Child<QLineEdit>(p, "txtShimScale")->setText(scale);
    Child<QLineEdit>(p, "txtShimPeriod")->setText(period);
    Child<QLineEdit>(p, "txtShimKoef")->setText(duty);
    f.sim().clearFrames();
    QTest::mouseClick(Child<QPushButton>(p, "btnDOUT_Apply"), Qt::LeftButton);
    QVERIFY(BlinkTarget());
    QCOMPARE(BlinkTarget()->objectName(), blinking);
    QTest::qWait(400);
    QVERIFY(WritesOf(f.simFrames()).isEmpty());
    QCOMPARE(p.Session->output(1).ShimScale, 1); // the module's value stays
}

void TestPanelModule::pwmApplyWritesTheSelectedOutput() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QVERIFY(f.connectAndPoll());
    QTest::mouseClick(p.btnDOUT, Qt::LeftButton);
    QVERIFY(Child<QFrame>(p, "panDOUT")->isVisible() && Child<QFrame>(p, "panShim")->isVisible());
    auto *selector = p.findChild<QToolButton *>(QStringLiteral("btnDOUT7Pan"));
    QVERIFY(selector);
    QTest::mouseClick(selector, Qt::LeftButton);
    QCOMPARE(p.panDOUT->currentOutput(), 7);
    QCOMPARE(Child<QPushButton>(p, "btnDOUT_Apply")->text(), QStringLiteral("Применить #7"));
    QVERIFY(selector->isChecked() && !Child<QToolButton>(p, "btnDOUT1Pan")->isChecked());
    Child<QLineEdit>(p, "txtShimScale")->setText("2");
    Child<QLineEdit>(p, "txtShimPeriod")->setText("100");
    Child<QLineEdit>(p, "txtShimKoef")->setText("300");
    Child<QCheckBox>(p, "chkShimSecure")->setChecked(true);
    f.sim().clearFrames();
    QTest::mouseClick(Child<QPushButton>(p, "btnDOUT_Apply"), Qt::LeftButton);

    const QStringList expected = {Write(6, OutputRegister(7, kOffsetPwmScale), 2),
                                  Write(6, OutputRegister(7, kOffsetPwmPeriod), 100),
                                  Write(6, OutputRegister(7, kOffsetPwmDuty), 300),
                                  Write(5, OutputRegister(7, kOffsetSafeCoil), 0xFF00)};
    QTRY_COMPARE_WITH_TIMEOUT(Sorted(WritesOf(f.simFrames())), Sorted(expected), 3000);
    // The module's PWM settings and safe state follow; the output shows modulated.
    QTRY_COMPARE_WITH_TIMEOUT(p.DoutBtns[7]->Picture(), TzOutputPicture::Pwm, 2000);
    QCOMPARE(p.Session->output(7).ShimSafe, 1);
}

void TestPanelModule::pwmPanelShowsTheModulesValues() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    f.sim().setHolding(OutputRegister(12, kOffsetPwmScale), 5);
    f.sim().setHolding(OutputRegister(12, kOffsetPwmPeriod), 800);
    f.sim().setHolding(OutputRegister(12, kOffsetPwmDuty), 1000);
    f.sim().setHolding(kRegSafeStates1to16, 1 << 11); // output 12 closed at power-on
    QVERIFY(f.connectAndPoll());
    QTRY_COMPARE_WITH_TIMEOUT(p.Session->output(12).ShimPeriod, 800, 2000);
    QTRY_COMPARE_WITH_TIMEOUT(p.Session->output(12).ShimSafe, 1, 2000);
    Child<QToolButton>(p, "btnDOUT12Pan")->click();
    Child<QLineEdit>(p, "txtShimScale")->setText("9"); // edited, not applied
    QTest::mouseClick(p.btnDOUT, Qt::LeftButton);      // opening selects the output again
    QCOMPARE(Child<QLineEdit>(p, "txtShimScale")->text(), QStringLiteral("5"));
    QCOMPARE(Child<QLineEdit>(p, "txtShimPeriod")->text(), QStringLiteral("800"));
    QCOMPARE(Child<QLineEdit>(p, "txtShimKoef")->text(), QStringLiteral("1000"));
    QVERIFY(Child<QCheckBox>(p, "chkShimSecure")->isChecked());
    QCOMPARE(Child<QLineEdit>(p, "txtShimTimeOn")->text(), QStringLiteral("00:00:40.000"));
    QVERIFY(Child<QToolButton>(p, "btnDOUT12Pan")->isChecked());
}

void TestPanelModule::pwmDefaults() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QVERIFY(f.connectAndPoll());
    QTest::mouseClick(p.btnDOUT, Qt::LeftButton);
    Child<QLineEdit>(p, "txtShimScale")->setText("9");
    Child<QCheckBox>(p, "chkShimSecure")->setChecked(true);
    f.sim().clearFrames();
    QTest::mouseClick(Child<QPushButton>(p, "btnDOUT_Default"), Qt::LeftButton);
    QCOMPARE(Child<QLineEdit>(p, "txtShimScale")->text(), QStringLiteral("1"));
    QCOMPARE(Child<QLineEdit>(p, "txtShimPeriod")->text(), QStringLiteral("50"));
    QCOMPARE(Child<QLineEdit>(p, "txtShimKoef")->text(), QStringLiteral("0"));
    QVERIFY(!Child<QCheckBox>(p, "chkShimSecure")->isChecked());
    QTest::qWait(400);
    QVERIFY(WritesOf(f.simFrames()).isEmpty());
}

void TestPanelModule::rs485ApplyWritesAndCopies() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    f.sim().setHolding(kRegNetworkTimeout, 45);
    QVERIFY(f.connectAndPoll());
    QTest::mouseClick(p.btnRS485, Qt::LeftButton);
    QCOMPARE(Child<QLineEdit>(p, "txtAddr")->text(),
             QStringLiteral("16")); // filled by the first read
    QCOMPARE(Child<QComboBox>(p, "cbBaudRate")->currentText(), QStringLiteral("9600"));
    QCOMPARE(Child<QComboBox>(p, "cbFormat")->currentIndex(), 0);
    QCOMPARE(Child<QLineEdit>(p, "txtTimeout")->text(), QStringLiteral("45"));
    Child<QLineEdit>(p, "txtAddr")->setText("200");
    Child<QComboBox>(p, "cbBaudRate")->setCurrentIndex(9);
    Child<QComboBox>(p, "cbFormat")->setCurrentIndex(3);
    Child<QLineEdit>(p, "txtTimeout")->setText("60");
    f.sim().clearFrames();
    QTest::mouseClick(Child<QPushButton>(p, "btnRS485_Apply"), Qt::LeftButton);

    QCOMPARE(LogLines().first(), QString());
    QVERIFY(!Child<QFrame>(p, "panRS485")->isVisible());
    QVERIFY(!p.labNeedReset->isHidden());
    QCOMPARE(Child<QLineEdit>(p, "txtLineAddr")->text(), QStringLiteral("200"));
    QCOMPARE(Child<QComboBox>(p, "cbLineBaudRate")->currentText(), QStringLiteral("115200"));
    QCOMPARE(Child<QComboBox>(p, "cbLineFormat")->currentIndex(), 3);
    QCOMPARE(p.panComPort->baudRate(), 115200);
    const QStringList expected = {Write(6, kRegAddress, 200), Write(6, kRegBaudCode, 9),
                                  Write(6, kRegFormatCode, 7), Write(6, kRegNetworkTimeout, 60)};
    QTRY_COMPARE_WITH_TIMEOUT(Sorted(WritesOf(f.simFrames())), Sorted(expected), 3000);
}

// The field the session refuses blinks, a field without a number too, and nothing is copied;
// settings written are copied to the connection panel. (The ranges themselves are the
// session's.)
void TestPanelModule::rs485ApplyChecksItsFields_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("timeout");
    QTest::addColumn<int>("format"); // row of the format list, -1 none
    QTest::addColumn<QString>("blinking");
    QTest::addColumn<QStringList>("written");
    const auto writes = [](int address, int timeout, int format) {
        QStringList frames = {Write(6, kRegAddress, address), Write(6, kRegBaudCode, 3),
                              Write(6, kRegNetworkTimeout, timeout)};
        if (format >= 0)
            frames.append(Write(6, kRegFormatCode, format + kRtuFormatCodeFirst));
        return Sorted(frames);
    };
    QTest::newRow("address 0") << "0"
                               << "30" << 0 << "txtAddr" << QStringList();
    QTest::newRow("address 247") << "247"
                                 << "30" << 2 << "" << writes(247, 30, 2);
    QTest::newRow("address empty") << ""
                                   << "30" << 0 << "txtAddr" << QStringList();
    QTest::newRow("address empty, timeout 601: the address")
        << ""
        << "601" << 0 << "txtAddr" << QStringList();
    QTest::newRow("timeout 601") << "16"
                                 << "601" << 0 << "txtTimeout" << QStringList();
    QTest::newRow("timeout empty") << "16"
                                   << "" << 0 << "txtTimeout" << QStringList();
}

void TestPanelModule::rs485ApplyChecksItsFields() {
    QFETCH(QString, address);
    QFETCH(QString, timeout);
    QFETCH(int, format);
    QFETCH(QString, blinking);
    QFETCH(QStringList, written);
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QVERIFY(f.connectAndPoll());
    QTRY_VERIFY(!BlinkTarget()); // a corrected connection time-out may still be blinking
    QTest::mouseClick(p.btnRS485, Qt::LeftButton);
    Child<QLineEdit>(p, "txtAddr")->setText(address);
    Child<QLineEdit>(p, "txtTimeout")->setText(timeout);
    Child<QComboBox>(p, "cbFormat")->setCurrentIndex(format);
    f.sim().clearFrames();
    QTest::mouseClick(Child<QPushButton>(p, "btnRS485_Apply"), Qt::LeftButton);

    QCOMPARE(BlinkTarget() ? BlinkTarget()->objectName() : QString(), blinking);
    if (written.isEmpty()) {
        QTest::qWait(500);
        QCOMPARE(Child<QLineEdit>(p, "txtLineAddr")->text(),
                 QStringLiteral("16")); // nothing copied either
        QVERIFY(p.labNeedReset->isHidden());
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(WritesOf(f.simFrames()).size() >= written.size(), 3000);
        QTest::qWait(300); // a write too many would follow on the heels of the others
        QCOMPARE(Child<QLineEdit>(p, "txtLineAddr")->text(), address);
    }
    QCOMPARE(Sorted(WritesOf(f.simFrames())), written);
}

// The module reports an ASCII format: no row is selected, and applying leaves its format alone
// while the connection keeps a format it can speak.
void TestPanelModule::rs485ApplyKeepsAnAsciiFormat() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    f.sim().setHolding(kRegFormatCode, 2); // the module reports ASCII 7E1
    QVERIFY(f.connectAndPoll());
    QCOMPARE(p.labFormat->text(), QStringLiteral("ASCII 7E1"));
    QCOMPARE(Child<QComboBox>(p, "cbFormat")->currentIndex(), -1);
    f.sim().clearFrames();
    Child<QPushButton>(p, "btnRS485_Apply")->click();
    QTRY_VERIFY_WITH_TIMEOUT(WritesOf(f.simFrames()).contains(Write(6, kRegNetworkTimeout, 0)),
                             3000);
    QCOMPARE(Child<QComboBox>(p, "cbLineFormat")->currentIndex(),
             0); // the connection keeps a usable format
    QVERIFY(!p.labNeedReset->isHidden());
}

void TestPanelModule::rs485ApplyNeedsConnection() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    Child<QLineEdit>(p, "txtAddr")->setText("20");
    Child<QPushButton>(p, "btnRS485_Apply")->click();
    QCOMPARE(Child<QLineEdit>(p, "txtLineAddr")->text(), QStringLiteral("16"));
    QVERIFY(p.labNeedReset->isHidden());
    QVERIFY(!LogLines().contains(QString())); // not even the separator line
}

void TestPanelModule::rebootDisconnects() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    f.sim().setHolding(kRegOutputStates1to16, 3);
    QVERIFY(f.connectAndPoll());
    QTRY_COMPARE_WITH_TIMEOUT(p.DoutBtns[1]->Picture(), TzOutputPicture::On, 2000);
    p.labNeedReset->show();
    f.sim().clearFrames();
    QTest::mouseClick(p.btnReset, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!p.Session->isConnected(), 3000); // after about 1.2 s
    QVERIFY(p.labNeedReset->isHidden());
    QCOMPARE(p.labAddr->text(), QStringLiteral("..."));
    QCOMPARE(Child<QPushButton>(p, "btnConnect")->text(), QStringLiteral("Подключиться"));
    QCOMPARE(p.DoutBtns[1]->Picture(), TzOutputPicture::Off);
    QVERIFY(!p.btnRS485->isEnabled());
    QCOMPARE(WritesOf(f.simFrames()), QStringList{Write(6, kRegCommand, kCommandReboot)});
    QTRY_VERIFY_WITH_TIMEOUT(LogLines().first().startsWith(QStringLiteral("Неудачное подключение")),
                             2000);
}

// What acts on the module is disabled from the click on: a second click sends nothing.
void TestPanelModule::rebootCannotBeClickedTwice() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    QVERIFY(f.connectAndPoll());
    f.sim().clearFrames();
    QTest::mouseClick(p.btnReset, Qt::LeftButton);
    QVERIFY(!p.btnReset->isEnabled());
    QVERIFY(!p.DoutBtns[1]->isEnabled());
    QVERIFY(!p.btnRS485->isEnabled());
    QCOMPARE(Child<QPushButton>(p, "btnConnect")->text(),
             QStringLiteral("Отключиться")); // still, during the wait
    QTest::mouseClick(p.btnReset, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!p.Session->isConnected(), 3000);
    QCOMPARE(WritesOf(f.simFrames()), QStringList{Write(6, kRegCommand, kCommandReboot)});
}

void TestPanelModule::moduleId_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("six bytes") << QByteArray::fromHex("012A00FF100B")
                               << QStringLiteral("01-2A-00-FF-10-0B");
    QTest::newRow("five bytes ignored")
        << QByteArray::fromHex("012A00FF10") << QStringLiteral("AA-BB-CC-DD-EE-FF");
    QTest::newRow("seven bytes ignored")
        << QByteArray::fromHex("012A00FF100B0C") << QStringLiteral("AA-BB-CC-DD-EE-FF");
}

void TestPanelModule::moduleId() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    p.Session->SetMAC(bytes);
    QCOMPARE(p.txtMAC->text(), shown);
    p.puMAC_CopyClick();
    QCOMPARE(QGuiApplication::clipboard()->text(), shown);
}

QTEST_MAIN(TestPanelModule)
#include "test_panel_module.moc"
