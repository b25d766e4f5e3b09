// The program as main() builds it: the panel reads the main window's test functions flag,
// shows and hides the program's log and version windows, searches with the program's search
// engine, and logs what escapes an event handler while it lives.
#include "app/application.h"
#include "app/main_window.h"
#include "app/panel_app.h"
#include "child_widget.h"
#include "panel/panel_environment.h"
#include "panel/serial_port_list.h"
#include "panel/tarvex.h"
#include "panel_fixture.h"
#include "session/find_device.h"
#include "session/tarvex_session.h"
#include "sim_process.h"
#include "throwing_object.h"
#include "tools/temp_log.h"
#include "tools/temp_log_window.h"
#include "tools/ver_info_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <stdexcept>

class TestPanelApp : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void testFunctionsFollowTheMainWindow_data();
    void testFunctionsFollowTheMainWindow();
    void toolButtonsShowTheProgramsWindows();
    void searchUsesTheProgramsEngine_data();
    void searchUsesTheProgramsEngine();
    void escapedErrorsGoToTheLogWhileThePanelLives();

private:
    QTemporaryDir m_dir; // the panel's options of this run only
};

void TestPanelApp::initTestCase() {
    QVERIFY(m_dir.isValid());
    SetPanelExeDir(m_dir.path());
    SetPanelConfigDir(m_dir.path() + "/config");
    SetSerialPortSource([] { return QStringList{"ttyS0"}; });
}

void TestPanelApp::cleanupTestCase() {
    SetSerialPortSource(nullptr);
}

void TestPanelApp::testFunctionsFollowTheMainWindow_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("shown");
    QTest::newRow("test") << QStringList{"tarvex-panel", "test"} << true;
    QTest::newRow("no arguments") << QStringList{"tarvex-panel"} << false;
}

void TestPanelApp::testFunctionsFollowTheMainWindow() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, shown);
    TzPanelApp program(arguments);
    TfrTarvex *panel = program.Panel();
    QVERIFY(panel);
    QCOMPARE(panel->parentWidget(), &program.MainWindow());

    panel->InterfaceTimerTimer();
    QCOMPARE(!Child<QFrame>(*panel, "panSnake")->isHidden(), shown);
    QCOMPARE(!panel->findChild<QWidget *>("cbStyles")->isHidden(), shown);

    program.MainWindow().SysCommand(kCmdTestMode);
    panel->InterfaceTimerTimer();
    QCOMPARE(!Child<QFrame>(*panel, "panSnake")->isHidden(), !shown);
    QCOMPARE(!panel->findChild<QWidget *>("chkRemoteControl")->isHidden(), !shown);
}

void TestPanelApp::toolButtonsShowTheProgramsWindows() {
    TzPanelApp program(QStringList{"tarvex-panel"});
    TfrTarvex *panel = program.Panel();
    QVERIFY(panel);
    program.MainWindow().show();
    QVERIFY(QTest::qWaitForWindowExposed(&program.MainWindow()));
    QVERIFY(!program.TempLog().isVisible());
    QVERIFY(!program.VerInfo().isVisible());

    QTest::mouseClick(panel->btnTempLog, Qt::LeftButton);
    QVERIFY(program.TempLog().isVisible());
    QTest::mouseClick(panel->btnVerInfo, Qt::LeftButton);
    QVERIFY(program.VerInfo().isVisible());
    QTest::mouseClick(panel->btnTempLog, Qt::LeftButton);
    QTest::mouseClick(panel->btnVerInfo, Qt::LeftButton);
    QVERIFY(!program.TempLog().isVisible());
    QVERIFY(!program.VerInfo().isVisible());
}

// The search icon starts the program's engine, which may open only the ports the system listed
// when the program started.
void TestPanelApp::searchUsesTheProgramsEngine_data() {
    QTest::addColumn<bool>("listedAtStart");
    QTest::newRow("port listed at start") << true;
    QTest::newRow("port listed only later") << false;
}

void TestPanelApp::searchUsesTheProgramsEngine() {
    QFETCH(bool, listedAtStart);
    SimProcess sim({"--silent"});
    QVERIFY(sim.start());
    const QString port = sim.portPath();
    SetSerialPortSource(
        [port, listedAtStart] { return listedAtStart ? QStringList{port} : QStringList{"ttyS0"}; });
    TempLogModel::instance().clear();
    QTemporaryDir dir; // no port chosen before
    QVERIFY(dir.isValid());
    SetPanelExeDir(dir.path());
    TzPanelApp program(QStringList{"tarvex-panel"});
    program.Session().SetSilenceMode(true); // warnings go to the log
    SetSerialPortSource([port] { return QStringList{port}; });
    TfrTarvex *panel = program.Panel();
    QVERIFY(panel);
    program.MainWindow().show();
    QVERIFY(QTest::qWaitForWindowExposed(&program.MainWindow()));
    QTest::mouseClick(panel->btnComPort, Qt::LeftButton); // the port list is read again
    Child<QComboBox>(*panel, "cbComPort")->setCurrentText(port);
    QCOMPARE(Child<QComboBox>(*panel, "cbComPort")->currentText(), port);

    QTest::mouseClick(panel->imgFindDevice, Qt::LeftButton);
    QCOMPARE(program.FindDevice().InFindProgress(), listedAtStart);
    QCOMPARE(program.FindDevice().PortName, port);
    QCOMPARE(LogHasLine(QStringLiteral("Выбранный СОМ-порт занят или недоступен"), LogColor::Navy),
             !listedAtStart);
    QCOMPARE(Child<QPushButton>(*panel, "btnConnect")->isEnabled(), !listedAtStart);
    SetSerialPortSource([] { return QStringList{"ttyS0"}; });
    SetPanelExeDir(m_dir.path());
}

void TestPanelApp::escapedErrorsGoToTheLogWhileThePanelLives() {
    ThrowingObject thrower;
    {
        TzPanelApp program(QStringList{"tarvex-panel"});
        QCoreApplication::postEvent(&thrower, new QEvent(kThrowEvent));
        QCoreApplication::sendPostedEvents(&thrower);
        QVERIFY(LogHasLine(QStringLiteral("Ошибка: boom"), LogColor::Navy));
    }
    // With the program gone, nothing of it is called any more.
    QTest::ignoreMessage(QtWarningMsg, "boom");
    QCoreApplication::postEvent(&thrower, new QEvent(kThrowEvent));
    QCoreApplication::sendPostedEvents(&thrower);
}

int main(int argc, char *argv[]) {
    TApplication app(argc, argv);
    TestPanelApp test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_panel_app.moc"
