// The panel's fields bound to the session's options (whose file handling, autorun start and
// registration tests/session/test_session_options.cpp checks): the connection fields, the autorun
// pop-up "panAutorun" and the visual styles.
#include "blocked_autostart.h"
#include "panel/autorun_panel.h"
#include "panel/connection_panel.h"
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
#include <QPushButton>
#include <QStandardPaths>
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

const QStringList kPorts = {"ttyS0", "ttyUSB3", "ttyUSB7"};

template <typename T> T *Child(QWidget &panel, const char *name) {
    T *child = panel.findChild<T *>(QString::fromLatin1(name));
    if (!child)
        qFatal("no %s", name);
    return child;
}

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
    void saveFailureReachesTheLog();
    void autostartDelayIsSavedClamped_data();
    void autostartDelayIsSavedClamped();
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
        Child<QCheckBox>(p, "chkAutoStart")->click();
        Child<QCheckBox>(p, "chkAutorunMini")->click();
    }
    QCOMPARE(Attribute("comport", "name"), QStringLiteral("ttyUSB7"));
    QCOMPARE(Attribute("autorun", "autostart"), QStringLiteral("1"));
    TestPanel p;
    QCOMPARE(Child<QComboBox>(p, "cbComPort")->currentText(), QStringLiteral("ttyUSB7"));
    QCOMPARE(p.panComPort->comPort(), 7);
    QCOMPARE(Child<QLineEdit>(p, "txtLineAddr")->text(), QStringLiteral("33"));
    QCOMPARE(Child<QComboBox>(p, "cbLineBaudRate")->currentText(), QStringLiteral("115200"));
    QCOMPARE(p.panComPort->baudRate(), 115200);
    QCOMPARE(Child<QComboBox>(p, "cbLineFormat")->currentIndex(), 3);
    QCOMPARE(Child<QLineEdit>(p, "txtLineTimeout")->text(), QStringLiteral("120"));
    QVERIFY(Child<QCheckBox>(p, "chkAutoStart")->isChecked());
    QVERIFY(Child<QCheckBox>(p, "chkAutorunMini")->isChecked());
    QVERIFY(!Child<QCheckBox>(p, "chkAutoStartDelay")->isChecked());
    QVERIFY(p.options().autorun().Autostart);
    // The options keep the fields as they are: an autorun start connects with them.
    QCOMPARE(p.options().comport().Name, std::optional<QString>("ttyUSB7"));
    QCOMPARE(p.options().comport().Addr, QStringLiteral("33"));
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
    QCOMPARE(p.panComPort->comPortName(), selected);
    // The pop-up lists the ports again as it opens: the field still shows what is used.
    QTest::mouseClick(p.btnComPort, Qt::LeftButton);
    QCOMPARE(Child<QComboBox>(p, "cbComPort")->currentText(), selected);
    QCOMPARE(p.panComPort->comPortName(), selected);
}

void TestPanelOptions::badValuesAreIgnored() {
    WriteOptions(R"(<options><comport addr="abc" baudrate="15" format="x" timeout="1.5"/>)"
                 R"(<autorun delay_value="soon"/><style index="7"/></options>)");
    TestPanel p;
    QCOMPARE(Child<QLineEdit>(p, "txtLineAddr")->text(), QStringLiteral("16"));
    QCOMPARE(Child<QComboBox>(p, "cbLineBaudRate")->currentText(), QStringLiteral("9600"));
    QCOMPARE(Child<QComboBox>(p, "cbLineFormat")->currentIndex(), 0);
    QCOMPARE(Child<QLineEdit>(p, "txtLineTimeout")->text(), QStringLiteral("20"));
    QCOMPARE(Child<QLineEdit>(p, "txtAutostartDelay")->text(), QStringLiteral("10"));
    QCOMPARE(p.options().style(), 12); // number 7 has no style
}

// The options tell the first failed save; the program shows it in the message log.
void TestPanelOptions::saveFailureReachesTheLog() {
    const QByteArray content = "<settings><comport addr=\"40\"/></settings>";
    WriteOptions(content);
    TestPanel p;
    Child<QLineEdit>(p, "txtLineAddr")->setText("41");
    Child<QLineEdit>(p, "txtLineAddr")->setText("42");
    QCOMPARE(ReadOptions(), content);
    QCOMPARE(LogLinesStartingWith(kSaveFailure), 1);
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
    Child<QLineEdit>(p, "txtAutostartDelay")->setText(typed);
    QCOMPARE(Attribute("autorun", "delay_value"), saved);
}

void TestPanelOptions::registrationAtLogOn() {
    WriteOptions("<options/>"); // the registration is looked at while the options load
    TestPanel p;
    QCheckBox *box = Child<QCheckBox>(p, "chkAutorun");
    QVERIFY(!box->isChecked());
    box->click();
    QVERIFY(AutorunIsRegistered(AutorunCommand()));
    QCOMPARE(ReadOptions(), QByteArray("<options/>")); // the registration is its own store
    TestPanel second;
    QVERIFY(Child<QCheckBox>(second, "chkAutorun")->isChecked());
    box->click(); // unchecked: the registration goes
    QVERIFY(!AutorunIsRegistered(AutorunCommand()));
}

void TestPanelOptions::failedRegistrationIsReported() {
    BlockedAutostartFolder blocked; // no entry can be written
    QVERIFY(blocked.ok());

    TestPanel p;
    QCheckBox *box = Child<QCheckBox>(p, "chkAutorun");
    box->click();
    QVERIFY(!box->isChecked());
    QVERIFY(!AutorunIsRegistered(AutorunCommand()));
    QCOMPARE(LogLinesStartingWith("Ошибка: ", LogColor::Navy), 1);
}

void TestPanelOptions::visualStyles() {
    QCOMPARE(VisualStyles().size(), 23);
    QCOMPARE(VisualStyles()[12].Name, QStringLiteral("Terminal"));
    QCOMPARE(VisualStyleIndex(7), -1);
    WriteOptions(R"(<options><style index="5"/></options>)");
    TestPanel p;
    QComboBox *styles = Child<QComboBox>(p, "cbStyles");
    QCOMPARE(p.options().style(), 5);
    QCOMPARE(styles->currentText(), QStringLiteral("Office 2007 Black"));
    const QColor black = QApplication::palette().color(QPalette::Window);

    styles->setCurrentIndex(VisualStyleIndex(17));
    Child<TzAutorunPanel>(p, "panAutorun")->AdvFormStyler1Change();
    QCOMPARE(p.options().style(), 17);
    QCOMPARE(Attribute("style", "index"), QStringLiteral("17"));
    QVERIFY(QApplication::palette().color(QPalette::Window) != black);
    // The tooltip timing survives the change of style.
    QCOMPARE(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 200);
}

QTEST_MAIN(TestPanelOptions)
#include "test_panel_options.moc"
