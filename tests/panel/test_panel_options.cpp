// The panel's options file, the start at log-on with "/autorun", and the visual styles.
#include "panel/panel_environment.h"
#include "panel/serial_port_list.h"
#include "panel/visual_styles.h"
#include "panel_fixture.h"
#include "support/autorun_registration.h"
#include "tools/temp_log.h"
#include "tools/temp_log_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTest>

namespace {

QString OptionsFile() {
    return QDir(PanelExeDir()).filePath("Options.xml");
}

void WriteOptions(const QByteArray &content) {
    QFile file(OptionsFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray ReadOptions() {
    QFile file(OptionsFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString Attribute(const char *element, const char *name) {
    QDomDocument document;
    document.setContent(ReadOptions());
    return document.documentElement()
        .firstChildElement(QString::fromLatin1(element))
        .attribute(QString::fromLatin1(name), QStringLiteral("<absent>"));
}

const QStringList kPorts = {"ttyS0", "ttyUSB3", "ttyUSB7"};

} // namespace

class TestPanelOptions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() {
        ResetLog();
        UseFreshPanelDir();
        SetSerialPortSource([] { return kPorts; });
    }
    void cleanup() {
        UnregisterAutorun();
        SetSerialPortSource(nullptr);
    }
    void cleanupTestCase() { delete frmTempLog; }

    void firstStartWritesNothingUntilAChange();
    void everyKeystrokeIsSaved();
    void savedSettingsComeBack();
    void portEntries_data();
    void portEntries();
    void badValuesAreIgnored();
    void foreignFilesAreNeverOverwritten_data();
    void foreignFilesAreNeverOverwritten();
    void autorunStart_data();
    void autorunStart();
    void autorunConnects();
    void registrationAtLogOn();
    void visualStyles();
};

void TestPanelOptions::firstStartWritesNothingUntilAChange() {
    TfrTarvex p;
    QVERIFY(!QFile::exists(OptionsFile()));
    p.cbLineBaudRate->setCurrentIndex(5);
    QVERIFY(QFile::exists(OptionsFile()));
    QCOMPARE(Attribute("comport", "baudrate"), QStringLiteral("5"));
    QCOMPARE(Attribute("autorun", "delay_value"), QStringLiteral("10"));
    QCOMPARE(Attribute("style", "index"), QStringLiteral("12"));
}

void TestPanelOptions::everyKeystrokeIsSaved() {
    TfrTarvex p;
    p.txtLineAddr->clear();
    QTest::keyClick(p.txtLineAddr, Qt::Key_2);
    QCOMPARE(Attribute("comport", "addr"), QStringLiteral("2"));
    QTest::keyClick(p.txtLineAddr, Qt::Key_4);
    QCOMPARE(Attribute("comport", "addr"), QStringLiteral("24"));
}

void TestPanelOptions::savedSettingsComeBack() {
    {
        TfrTarvex p;
        p.cbComPort->setCurrentIndex(2);
        p.txtLineAddr->setText("33");
        p.cbLineBaudRate->setCurrentIndex(9);
        p.cbLineFormat->setCurrentIndex(3);
        p.txtLineTimeout->setText("120");
        p.chkAutoStart->click();
    }
    TfrTarvex p;
    QCOMPARE(p.cbComPort->currentText(), QStringLiteral("ttyUSB7"));
    QCOMPARE(p.ComPort, 7);
    QCOMPARE(p.txtLineAddr->text(), QStringLiteral("33"));
    QCOMPARE(p.cbLineBaudRate->currentText(), QStringLiteral("115200"));
    QCOMPARE(p.BaudRate, 115200);
    QCOMPARE(p.cbLineFormat->currentIndex(), 3);
    QCOMPARE(p.txtLineTimeout->text(), QStringLiteral("120"));
    QVERIFY(p.chkAutoStart->isChecked());
    QVERIFY(p.Autostart);
}

void TestPanelOptions::portEntries_data() {
    QTest::addColumn<QByteArray>("comport");
    QTest::addColumn<QString>("selected");
    QTest::newRow("by name") << QByteArray(R"(indx="0" name="ttyUSB3")") << "ttyUSB3";
    QTest::newRow("by number") << QByteArray(R"(indx="7")") << "ttyUSB7";
    QTest::newRow("number without entry") << QByteArray(R"(indx="9")") << "";
    QTest::newRow("name without entry") << QByteArray(R"(indx="3" name="ttyACM0")") << "";
}

void TestPanelOptions::portEntries() {
    QFETCH(QByteArray, comport);
    QFETCH(QString, selected);
    WriteOptions("<options><comport " + comport + "/></options>");
    TfrTarvex p;
    QCOMPARE(p.cbComPort->currentText(), selected);
    QCOMPARE(p.cbComPort->currentIndex() == -1, selected.isEmpty());
}

void TestPanelOptions::badValuesAreIgnored() {
    WriteOptions(R"(<options><comport addr="abc" baudrate="15" format="x" timeout="1.5"/>)"
                 R"(<autorun delay_value="soon"/><style index="7"/></options>)");
    TfrTarvex p;
    QCOMPARE(p.txtLineAddr->text(), QStringLiteral("16"));
    QCOMPARE(p.cbLineBaudRate->currentText(), QStringLiteral("9600"));
    QCOMPARE(p.cbLineFormat->currentIndex(), 0);
    QCOMPARE(p.txtLineTimeout->text(), QStringLiteral("20"));
    QCOMPARE(p.txtAutostartDelay->text(), QStringLiteral("10"));
    QCOMPARE(p.CurrentStyle, 12); // number 7 has no style
}

void TestPanelOptions::foreignFilesAreNeverOverwritten_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("another root") << QByteArray("<settings><comport addr=\"40\"/></settings>");
    QTest::newRow("not XML") << QByteArray("addr=40\n");
}

void TestPanelOptions::foreignFilesAreNeverOverwritten() {
    QFETCH(QByteArray, content);
    WriteOptions(content);
    TfrTarvex p;
    QCOMPARE(p.txtLineAddr->text(), QStringLiteral("16"));
    p.txtLineAddr->setText("41");
    QCOMPARE(ReadOptions(), content);
}

void TestPanelOptions::autorunStart_data() {
    QTest::addColumn<QByteArray>("autorun");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<bool>("timer");
    QTest::addColumn<int>("interval");
    const QStringList autorunStart = {"tarvex-panel", "/autorun"};
    QTest::newRow("connect after 1 s") << QByteArray(R"(<autorun autostart="1" delay_on="0"/>)")
                                       << autorunStart << true << true << 1000;
    QTest::newRow("connect after 10 s")
        << QByteArray(R"(<autorun autostart="1" delay_on="1" delay_value="10"/>)") << autorunStart
        << true << true << 10000;
    QTest::newRow("zero delay connects at once")
        << QByteArray(R"(<autorun autostart="1" delay_on="1" delay_value="0"/>)") << autorunStart
        << true << true << 0;
    QTest::newRow("no autostart: silent only")
        << QByteArray(R"(<autorun autostart="0"/>)") << autorunStart << true << false << 1000;
    QTest::newRow("no autorun element") << QByteArray() << autorunStart << false << false << 1000;
    QTest::newRow("second parameter")
        << QByteArray(R"(<autorun autostart="1"/>)")
        << QStringList{"tarvex-panel", "test", "/autorun"} << false << false << 1000;
    QTest::newRow("other letter case")
        << QByteArray(R"(<autorun autostart="1"/>)") << QStringList{"tarvex-panel", "/AUTORUN"}
        << false << false << 1000;
}

void TestPanelOptions::autorunStart() {
    QFETCH(QByteArray, autorun);
    QFETCH(QStringList, arguments);
    QFETCH(bool, silent);
    QFETCH(bool, timer);
    QFETCH(int, interval);
    WriteOptions("<options>" + autorun + "</options>");
    SetPanelArguments(arguments);
    TfrTarvex p;
    QCOMPARE(p.SilenceMode, silent);
    QCOMPARE(p.AutostartTimer.isActive(), timer);
    QCOMPARE(p.AutostartTimer.interval(), interval);
}

void TestPanelOptions::autorunConnects() {
    SimProcess sim({"--log-frames"});
    QVERIFY(sim.start());
    const QString port = sim.portPath();
    SetSerialPortSource([port] { return QStringList{port}; });
    WriteOptions(R"(<options><autorun autostart="1" delay_on="0"/></options>)");
    SetPanelArguments({"tarvex-panel", "/autorun"});
    TfrTarvex p;
    QVERIFY(!p.Connected);
    QTRY_VERIFY_WITH_TIMEOUT(p.OprosTimer.isActive(), 4000);
    QVERIFY(!p.AutostartTimer.isActive()); // once per start
}

void TestPanelOptions::registrationAtLogOn() {
    WriteOptions("<options/>"); // the registration is looked at while the options load
    TfrTarvex p;
    QVERIFY(!p.chkAutorun->isChecked());
    p.chkAutorun->click();
    QVERIFY(AutorunIsRegistered(AutorunCommand()));
    QCOMPARE(ReadOptions(), QByteArray("<options/>")); // the registration is its own store
    TfrTarvex second;
    QVERIFY(second.chkAutorun->isChecked());

    // A registration made for another copy of the program shows as absent.
    RegisterAutorun("/opt/elsewhere/tarvex-panel /autorun");
    QVERIFY(!AutorunIsRegistered(AutorunCommand()));
    TfrTarvex third;
    QVERIFY(!third.chkAutorun->isChecked());

    p.chkAutorun->setChecked(true);
    p.chkAutorun->click(); // unchecked: the registration goes
    QVERIFY(!AutorunIsRegistered("/opt/elsewhere/tarvex-panel /autorun"));
}

void TestPanelOptions::visualStyles() {
    QCOMPARE(VisualStyles().size(), 23);
    QCOMPARE(VisualStyles()[12].Name, QStringLiteral("Terminal"));
    QCOMPARE(VisualStyleIndex(7), -1);
    WriteOptions(R"(<options><style index="5"/></options>)");
    TfrTarvex p;
    QCOMPARE(p.CurrentStyle, 5);
    QCOMPARE(p.cbStyles->currentText(), QStringLiteral("Office 2007 Black"));
    const QColor black = QApplication::palette().color(QPalette::Window);

    p.cbStyles->setCurrentIndex(VisualStyleIndex(17));
    p.AdvFormStyler1Change();
    QCOMPARE(p.CurrentStyle, 17);
    QCOMPARE(Attribute("style", "index"), QStringLiteral("17"));
    QVERIFY(QApplication::palette().color(QPalette::Window) != black);
    // The tooltip timing survives the change of style.
    QCOMPARE(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 200);
}

QTEST_MAIN(TestPanelOptions)
#include "test_panel_options.moc"
