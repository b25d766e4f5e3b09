// The panel's options file, the start at log-on with "/autorun", and the visual styles.
#include "panel/connection_panel.h"
#include "panel/panel_environment.h"
#include "panel/serial_port_list.h"
#include "panel/visual_styles.h"
#include "panel_fixture.h"
#include "read_only_folder.h"
#include "support/autorun_registration.h"
#include "support/options_file.h"
#include "tools/temp_log.h"
#include "tools/temp_log_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
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

// Read as any XML reader would: in the encoding the file declares.
QString Attribute(const char *element, const char *name, const QByteArray &content = {}) {
    QDomDocument document;
    document.setContent(content.isEmpty() ? ReadOptions() : content);
    return document.documentElement()
        .firstChildElement(QString::fromLatin1(element))
        .attribute(QString::fromLatin1(name), QStringLiteral("<absent>"));
}

QString HttpAttribute(const QByteArray &content, const char *element, const char *name) {
    QDomDocument document;
    document.setContent(content);
    return document.documentElement()
        .firstChildElement("http")
        .firstChildElement(QString::fromLatin1(element))
        .attribute(QString::fromLatin1(name), QStringLiteral("<absent>"));
}

QByteArray ReadFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Lines of the message log that begin so, in the colour of failures.
int LogLinesStartingWith(const QString &start, quint32 color = LogColor::DarkRed) {
    const QStringList lines = TempLogModel::instance().lines();
    const QList<quint32> colors = TempLogModel::instance().colors();
    int count = 0;
    for (qsizetype i = 0; i < lines.size(); ++i)
        count += lines[i].startsWith(start) && colors[i] == color ? 1 : 0;
    return count;
}

const QString kSaveFailure = QStringLiteral("Настройки не");

constexpr QFile::Permissions kOwnerOnly =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;

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
    void cleanupTestCase() { DeleteLogWindow(); }

    void firstStartWritesNothingUntilAChange();
    void everyKeystrokeIsSaved();
    void savedSettingsComeBack();
    void portEntries_data();
    void portEntries();
    void badValuesAreIgnored();
    void foreignFilesAreNeverOverwritten_data();
    void foreignFilesAreNeverOverwritten();
    void nesting_data();
    void nesting();
    void declaredEncodingsComeBackAsUtf8_data();
    void declaredEncodingsComeBackAsUtf8();
    void savedFileIsOwnerOnly_data();
    void savedFileIsOwnerOnly();
    void readOnlyProgramFolder();
    void autorunStart_data();
    void autorunStart();
    void autostartDelayIsSavedClamped_data();
    void autostartDelayIsSavedClamped();
    void autorunConnects();
    void registrationAtLogOn();
    void failedRegistrationIsReported();
    void visualStyles();
};

void TestPanelOptions::firstStartWritesNothingUntilAChange() {
    TestPanel p;
    QVERIFY(!QFile::exists(OptionsFile()));
    Child<QComboBox>(p, "cbLineBaudRate")->setCurrentIndex(5);
    QVERIFY(QFile::exists(OptionsFile()));
    QCOMPARE(Attribute("comport", "baudrate"), QStringLiteral("5"));
    QCOMPARE(Attribute("autorun", "delay_value"), QStringLiteral("10"));
    QCOMPARE(Attribute("style", "index"), QStringLiteral("12"));
}

void TestPanelOptions::everyKeystrokeIsSaved() {
    TestPanel p;
    Child<QLineEdit>(p, "txtLineAddr")->clear();
    QTest::keyClick(Child<QLineEdit>(p, "txtLineAddr"), Qt::Key_2);
    QCOMPARE(Attribute("comport", "addr"), QStringLiteral("2"));
    QTest::keyClick(Child<QLineEdit>(p, "txtLineAddr"), Qt::Key_4);
    QCOMPARE(Attribute("comport", "addr"), QStringLiteral("24"));
}

void TestPanelOptions::savedSettingsComeBack() {
    {
        TestPanel p;
        Child<QComboBox>(p, "cbComPort")->setCurrentIndex(2);
        Child<QLineEdit>(p, "txtLineAddr")->setText("33");
        Child<QComboBox>(p, "cbLineBaudRate")->setCurrentIndex(9);
        Child<QComboBox>(p, "cbLineFormat")->setCurrentIndex(3);
        Child<QLineEdit>(p, "txtLineTimeout")->setText("120");
        p.chkAutoStart->click();
    }
    TestPanel p;
    QCOMPARE(Child<QComboBox>(p, "cbComPort")->currentText(), QStringLiteral("ttyUSB7"));
    QCOMPARE(p.panComPort->comPort(), 7);
    QCOMPARE(Child<QLineEdit>(p, "txtLineAddr")->text(), QStringLiteral("33"));
    QCOMPARE(Child<QComboBox>(p, "cbLineBaudRate")->currentText(), QStringLiteral("115200"));
    QCOMPARE(p.panComPort->baudRate(), 115200);
    QCOMPARE(Child<QComboBox>(p, "cbLineFormat")->currentIndex(), 3);
    QCOMPARE(Child<QLineEdit>(p, "txtLineTimeout")->text(), QStringLiteral("120"));
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
    TestPanel p;
    QCOMPARE(Child<QComboBox>(p, "cbComPort")->currentText(), selected);
    QCOMPARE(Child<QComboBox>(p, "cbComPort")->currentIndex() == -1, selected.isEmpty());
}

void TestPanelOptions::badValuesAreIgnored() {
    WriteOptions(R"(<options><comport addr="abc" baudrate="15" format="x" timeout="1.5"/>)"
                 R"(<autorun delay_value="soon"/><style index="7"/></options>)");
    TestPanel p;
    QCOMPARE(Child<QLineEdit>(p, "txtLineAddr")->text(), QStringLiteral("16"));
    QCOMPARE(Child<QComboBox>(p, "cbLineBaudRate")->currentText(), QStringLiteral("9600"));
    QCOMPARE(Child<QComboBox>(p, "cbLineFormat")->currentIndex(), 0);
    QCOMPARE(Child<QLineEdit>(p, "txtLineTimeout")->text(), QStringLiteral("20"));
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
    TestPanel p;
    QCOMPARE(Child<QLineEdit>(p, "txtLineAddr")->text(), QStringLiteral("16"));
    Child<QLineEdit>(p, "txtLineAddr")->setText("41");
    Child<QLineEdit>(p, "txtLineAddr")->setText("42");
    QCOMPARE(ReadOptions(), content);
    QCOMPARE(LogLinesStartingWith(kSaveFailure), 1); // the first failed save says why
}

// A file nested deeper than any options file is refused whole, as a file that is not XML is:
// nothing of it is applied and it is never written back.
void TestPanelOptions::nesting_data() {
    QTest::addColumn<int>("depth"); // of the deepest element, the root counting as 1
    QTest::addColumn<bool>("accepted");
    QTest::newRow("three levels") << 3 << true;
    QTest::newRow("at the limit") << kMaxOptionsDepth << true;
    QTest::newRow("one level more") << kMaxOptionsDepth + 1 << false;
    QTest::newRow("five thousand levels") << 5000 << false;
}

void TestPanelOptions::nesting() {
    QFETCH(int, depth);
    QFETCH(bool, accepted);
    // An http element without a key makes the panel save at once while it starts.
    const QByteArray content = "<options><comport addr=\"33\"/><http/>" +
                               QByteArray("<x>").repeated(depth - 1) +
                               QByteArray("</x>").repeated(depth - 1) + "</options>";
    WriteOptions(content);
    TestPanel p;
    QCOMPARE(Child<QLineEdit>(p, "txtLineAddr")->text(),
             accepted ? QStringLiteral("33") : QStringLiteral("16"));
    QCOMPARE(p.txtAuthKey->text().isEmpty(), !accepted);
    Child<QLineEdit>(p, "txtLineAddr")->setText("44");
    if (accepted) {
        QCOMPARE(Attribute("comport", "addr"), QStringLiteral("44"));
    } else {
        QCOMPARE(ReadOptions(), content);
        QCOMPARE(LogLinesStartingWith(kSaveFailure), 1);
    }
}

// Files written on Windows may declare another encoding. Their text is read by the declaration
// and written back as UTF-8 under a UTF-8 declaration, equal at every later save.
void TestPanelOptions::declaredEncodingsComeBackAsUtf8_data() {
    QTest::addColumn<QByteArray>("encoding");
    QTest::newRow("windows-1251") << QByteArray("windows-1251");
    QTest::newRow("KOI8-R") << QByteArray("KOI8-R");
    QTest::newRow("ISO-8859-5") << QByteArray("ISO-8859-5");
    QTest::newRow("UTF-16") << QByteArray("UTF-16");
    QTest::newRow("UTF-8") << QByteArray("UTF-8");
}

void TestPanelOptions::declaredEncodingsComeBackAsUtf8() {
    QFETCH(QByteArray, encoding);
    const QString key = QStringLiteral("Ключ-Ёж");
    const QString user = QStringLiteral("оператор");
    const QString password = QStringLiteral("пароль_1");
    const QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>\n"
                                        "<options><comport addr=\"33\"/><http>"
                                        "<proxy enabled=\"1\" basic=\"1\" server=\"прокси.завод\" "
                                        "port=\"3128\" user=\"%2\" pass=\"%3\"/>"
                                        "<auth key=\"%4\"/></http></options>\n")
                             .arg(QString::fromLatin1(encoding), user, password, key);
    QStringEncoder encoder(encoding.constData(), QStringEncoder::Flag::WriteBom);
    QVERIFY(encoder.isValid());
    const QByteArray original = encoder.encode(text);
    QVERIFY(!encoder.hasError());
    WriteOptions(original);

    TestPanel p;
    QCOMPARE(p.txtAuthKey->text(), key);
    QCOMPARE(p.txtProxyUser->text(), user);
    QCOMPARE(p.txtProxyPass->text(), password);
    QTest::mouseClick(p.btnHTTP_Apply, Qt::LeftButton);
    Child<QLineEdit>(p, "txtLineAddr")->setText("34"); // a second writer saves the file again
    const QByteArray saved = ReadOptions();

    QVERIFY(saved.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    QVERIFY(QString::fromUtf8(saved).contains(key));
    QCOMPARE(HttpAttribute(saved, "auth", "key"), key);
    QCOMPARE(HttpAttribute(saved, "proxy", "user"), user);
    QCOMPARE(HttpAttribute(saved, "proxy", "pass"), password);
    QCOMPARE(HttpAttribute(saved, "proxy", "server"), QStringLiteral("прокси.завод"));
    QCOMPARE(Attribute("comport", "addr", saved), QStringLiteral("34"));
    TestPanel again;
    QCOMPARE(again.txtAuthKey->text(), key);
    QCOMPARE(again.txtProxyUser->text(), user);
}

// The file holds the proxy password and the web key.
void TestPanelOptions::savedFileIsOwnerOnly_data() {
    QTest::addColumn<bool>("existing");
    QTest::newRow("new file") << false;
    QTest::newRow("existing file readable by all") << true;
}

void TestPanelOptions::savedFileIsOwnerOnly() {
    QFETCH(bool, existing);
    if (existing) {
        WriteOptions("<options/>");
        QVERIFY(QFile::setPermissions(OptionsFile(), QFile::ReadOwner | QFile::WriteOwner |
                                                         QFile::ReadGroup | QFile::ReadOther));
    }
    TestPanel p;
    p.txtProxyPass->setText("secret");
    QTest::mouseClick(p.btnHTTP_Apply, Qt::LeftButton);
    QCOMPARE(HttpAttribute(ReadOptions(), "proxy", "pass"), QStringLiteral("secret"));
    QCOMPARE(QFile::permissions(OptionsFile()), kOwnerOnly);
}

// An installed program cannot write its own folder: the options go to the user's
// configuration folder, which is read first from then on.
void TestPanelOptions::readOnlyProgramFolder() {
    QTemporaryDir userHome;
    const QString configDir = userHome.path() + "/tarvex-panel";
    SetPanelConfigDir(configDir);
    const QByteArray installed =
        R"(<options><comport addr="33"/><http><auth key="abc"/></http></options>)";
    WriteOptions(installed);
    {
        ReadOnlyFolder readOnly(PanelExeDir());
        QVERIFY(readOnly.ok());
        TestPanel p;
        QCOMPARE(Child<QLineEdit>(p, "txtLineAddr")->text(), QStringLiteral("33"));
        Child<QLineEdit>(p, "txtLineAddr")->setText("44");
        Child<QLineEdit>(p, "txtLineAddr")->setText("45");
        QTest::mouseClick(p.btnHTTP_Apply, Qt::LeftButton);
        QCOMPARE(ReadOptions(), installed);
        QCOMPARE(LogLinesStartingWith(kSaveFailure), 1);
    }
    const QString userFile = configDir + "/Options.xml";
    const QByteArray stored = ReadFile(userFile);
    QCOMPARE(Attribute("comport", "addr", stored), QStringLiteral("45"));
    QCOMPARE(HttpAttribute(stored, "auth", "key"), QStringLiteral("abc")); // nothing is lost
    QCOMPARE(QFile::permissions(userFile), kOwnerOnly);

    ResetLog();
    TestPanel next; // even with the program folder writable again
    QCOMPARE(Child<QLineEdit>(next, "txtLineAddr")->text(), QStringLiteral("45"));
    Child<QLineEdit>(next, "txtLineAddr")->setText("46");
    QCOMPARE(Attribute("comport", "addr", ReadFile(userFile)), QStringLiteral("46"));
    QCOMPARE(ReadOptions(), installed);
    QCOMPARE(LogLinesStartingWith(kSaveFailure), 0);
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
    // Seconds times 1000 must not wrap round to a short delay.
    QTest::newRow("longest delay")
        << QByteArray(R"(<autorun autostart="1" delay_on="1" delay_value="2147483"/>)")
        << autorunStart << true << true << 2147483000;
    QTest::newRow("one second over the longest")
        << QByteArray(R"(<autorun autostart="1" delay_on="1" delay_value="2147484"/>)")
        << autorunStart << true << true << 2147483000;
    QTest::newRow("delay of 4294968 s, 1704 ms when wrapped")
        << QByteArray(R"(<autorun autostart="1" delay_on="1" delay_value="4294968"/>)")
        << autorunStart << true << true << 2147483000;
    QTest::newRow("delay of twenty-five digits")
        << QByteArray(
               R"(<autorun autostart="1" delay_on="1" delay_value="9999999999999999999999999"/>)")
        << autorunStart << true << true << 2147483000;
    QTest::newRow("negative delay")
        << QByteArray(R"(<autorun autostart="1" delay_on="1" delay_value="-5"/>)") << autorunStart
        << true << true << 0;
}

void TestPanelOptions::autostartDelayIsSavedClamped_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");
    QTest::newRow("ordinary") << "25"
                              << "25";
    QTest::newRow("over the longest") << "4294968"
                                      << "2147483";
    QTest::newRow("twenty-five digits") << "9999999999999999999999999"
                                        << "2147483";
    QTest::newRow("empty") << ""
                           << "0";
}

void TestPanelOptions::autostartDelayIsSavedClamped() {
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    TestPanel p;
    p.txtAutostartDelay->setText(typed);
    QCOMPARE(Attribute("autorun", "delay_value"), saved);
}

void TestPanelOptions::autorunStart() {
    QFETCH(QByteArray, autorun);
    QFETCH(QStringList, arguments);
    QFETCH(bool, silent);
    QFETCH(bool, timer);
    QFETCH(int, interval);
    WriteOptions("<options>" + autorun + "</options>");
    SetPanelArguments(arguments);
    TestPanel p;
    QCOMPARE(p.Session->SilenceMode(), silent);
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
    TestPanel p;
    QVERIFY(!p.Session->isConnected());
    QTRY_VERIFY_WITH_TIMEOUT(
        p.Session->connectionState() == TarvexSession::ConnectionState::Polling, 4000);
    QVERIFY(!p.AutostartTimer.isActive()); // once per start
}

void TestPanelOptions::registrationAtLogOn() {
    WriteOptions("<options/>"); // the registration is looked at while the options load
    TestPanel p;
    QVERIFY(!p.chkAutorun->isChecked());
    p.chkAutorun->click();
    QVERIFY(AutorunIsRegistered(AutorunCommand()));
    QCOMPARE(ReadOptions(), QByteArray("<options/>")); // the registration is its own store
    TestPanel second;
    QVERIFY(second.chkAutorun->isChecked());

    // A registration made for another copy of the program shows as absent.
    RegisterAutorun("/opt/elsewhere/tarvex-panel /autorun");
    QVERIFY(!AutorunIsRegistered(AutorunCommand()));
    TestPanel third;
    QVERIFY(!third.chkAutorun->isChecked());

    p.chkAutorun->setChecked(true);
    p.chkAutorun->click(); // unchecked: the registration goes
    QVERIFY(!AutorunIsRegistered("/opt/elsewhere/tarvex-panel /autorun"));
}

void TestPanelOptions::failedRegistrationIsReported() {
    // A file where the autostart folder should be: no entry can be written.
    const QString autostart =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/autostart";
    QDir(autostart).removeRecursively();
    QDir().mkpath(QFileInfo(autostart).path());
    QFile blocker(autostart);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    TestPanel p;
    p.chkAutorun->click();
    QFile::remove(autostart);
    QVERIFY(!p.chkAutorun->isChecked());
    QVERIFY(!AutorunIsRegistered(AutorunCommand()));
    QCOMPARE(LogLinesStartingWith("Ошибка: ", LogColor::Navy), 1);
}

void TestPanelOptions::visualStyles() {
    QCOMPARE(VisualStyles().size(), 23);
    QCOMPARE(VisualStyles()[12].Name, QStringLiteral("Terminal"));
    QCOMPARE(VisualStyleIndex(7), -1);
    WriteOptions(R"(<options><style index="5"/></options>)");
    TestPanel p;
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
