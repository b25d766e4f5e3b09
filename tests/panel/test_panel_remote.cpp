// The remote control's view: the pop-up "panProxy", the switch and the two icons bound to the
// session's remote control (whose logic tests/session/test_remote_control.cpp checks), and an
// output click under remote control, against a local web service and a simulated module.
#include "http_test_server.h"
#include "panel/panel_environment.h"
#include "panel_fixture.h"
#include "tools/temp_log_window.h"
#include "widgets/output_button.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

void WriteOptions(const QByteArray &content) {
    QFile file(QDir(PanelExeDir()).filePath("Options.xml"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QDomElement HttpElement() {
    QFile file(QDir(PanelExeDir()).filePath("Options.xml"));
    QDomDocument document;
    if (file.open(QIODevice::ReadOnly))
        document.setContent(&file);
    return document.documentElement().firstChildElement("http");
}

template <typename T> T *Child(QWidget &panel, const char *name) {
    T *child = panel.findChild<T *>(QString::fromLatin1(name));
    if (!child)
        qFatal("no %s", name);
    return child;
}

// Records what the panel hands to the system to open.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

} // namespace

class TestPanelRemote : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetLog(); }
    void cleanupTestCase() { DeleteLogWindow(); }

    void popupEditsAndStoresTheSettings();
    void storedSettingsAreShown();
    void switchAndIconsAreTestFunctions();
    void clickIsReportedNotWritten();
    void controlPageOpensOnlyWebPages_data();
    void controlPageOpensOnlyWebPages();
};

// What is typed counts at once; "Сохранить" stores it, "Отменить" takes the stored one back.
void TestPanelRemote::popupEditsAndStoresTheSettings() {
    UseFreshPanelDir();
    WriteOptions(R"(<options><http><auth key="old"/></http></options>)");
    TestPanel p;
    QWidget *pop = p.findChild<QFrame *>("panProxy");
    QVERIFY(pop && pop->isHidden());
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QLabel *gear = Child<QLabel>(p, "imgProxySettings");
    QApplication::sendEvent(gear, &press);
    QVERIFY(!pop->isHidden());
    QCOMPARE(pop->pos(), QPoint(gear->x(), gear->geometry().bottom() + 1));

    Child<QLineEdit>(p, "txtAuthKey")->setText("new");
    Child<QCheckBox>(p, "chkProxyUse")->setChecked(true);
    Child<QCheckBox>(p, "chkProxyNeedPass")->setChecked(true);
    Child<QLineEdit>(p, "txtProxyServer")->setText("proxy.plant");
    Child<QLineEdit>(p, "txtProxyPort")->setText("3128");
    Child<QLineEdit>(p, "txtProxyUser")->setText("op");
    Child<QLineEdit>(p, "txtProxyPass")->setText("pw");
    const TzRemoteSettings typed{"new", true, true, "proxy.plant", "3128", "op", "pw"};
    QCOMPARE(p.remote().settings(), typed); // saved or not
    QCOMPARE(HttpElement().firstChildElement("auth").attribute("key"), QStringLiteral("old"));

    QTest::mouseClick(Child<QPushButton>(p, "btnHTTP_Apply"), Qt::LeftButton);
    QVERIFY(pop->isHidden());
    QCOMPARE(HttpElement().firstChildElement("auth").attribute("key"), QStringLiteral("new"));
    QCOMPARE(HttpElement().firstChildElement("proxy").attribute("server"),
             QStringLiteral("proxy.plant"));

    Child<QLineEdit>(p, "txtProxyServer")->setText("typo");
    QApplication::sendEvent(gear, &press);
    QTest::mouseClick(Child<QPushButton>(p, "btnHTTP_Cancel"), Qt::LeftButton);
    QCOMPARE(Child<QLineEdit>(p, "txtProxyServer")->text(), QStringLiteral("proxy.plant"));
    QCOMPARE(p.remote().settings(), typed);
    QVERIFY(!pop->isHidden()); // "Отменить" keeps the pop-up open
    p.CloseAllPanel();
    QVERIFY(pop->isHidden());
}

// A fresh key is made while the options load; the fields show it. The password stays masked.
void TestPanelRemote::storedSettingsAreShown() {
    UseFreshPanelDir();
    WriteOptions(R"(<options><http><proxy enabled="1" port="8080" user="op" pass="pw"/>)"
                 R"(</http></options>)");
    TestPanel p;
    const QString key = Child<QLineEdit>(p, "txtAuthKey")->text();
    QCOMPARE(key.size(), 6);
    QCOMPARE(key, p.remote().settings().AuthKey);
    QVERIFY(Child<QCheckBox>(p, "chkProxyUse")->isChecked());
    QVERIFY(!Child<QCheckBox>(p, "chkProxyNeedPass")->isChecked());
    QCOMPARE(Child<QLineEdit>(p, "txtProxyPort")->text(), QStringLiteral("8080"));
    QCOMPARE(Child<QLineEdit>(p, "txtProxyUser")->text(), QStringLiteral("op"));
    QLineEdit *pass = Child<QLineEdit>(p, "txtProxyPass");
    QCOMPARE(pass->text(), QStringLiteral("pw"));
    QCOMPARE(pass->echoMode(), QLineEdit::Password);
    QVERIFY(!Child<QCheckBox>(p, "chkRemoteControl")->isChecked()); // never stored
}

// Hiding the switch leaves remote control running; an open pop-up closes.
void TestPanelRemote::switchAndIconsAreTestFunctions() {
    UseFreshPanelDir();
    TestPanel p;
    bool testMode = true;
    p.TestMode = [&testMode] { return testMode; };
    p.InterfaceTimerTimer();
    QCheckBox *box = Child<QCheckBox>(p, "chkRemoteControl");
    QVERIFY(!box->isHidden());
    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(p.remote().remoteControl());
    p.findChild<QFrame *>("panProxy")->show();

    testMode = false;
    p.InterfaceTimerTimer();
    for (const char *name : {"chkRemoteControl", "imgProxySettings", "imgOpenSirel", "panProxy"})
        QVERIFY2(Child<QWidget>(p, name)->isHidden(), name);
    QVERIFY(p.remote().remoteControl());
    p.remote().setRemoteControl(false);
    QVERIFY(!box->isChecked());
}

// Under remote control a click on an output is reported to the service and written nowhere;
// the button shows the pending picture until the module's state comes.
void TestPanelRemote::clickIsReportedNotWritten() {
    TestWebServer service;
    QVERIFY(service.isListening());
    PanelFixture f({"--id", "010203040506"});
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    f.remote().setServiceUrl(service.url("/control_panel/"));
    Child<QLineEdit>(p, "txtAuthKey")->setText("k");
    QVERIFY(f.connectAndPoll());
    QTRY_VERIFY_WITH_TIMEOUT(f.session().moduleIdRead(), 3000);
    Child<QCheckBox>(p, "chkRemoteControl")->setChecked(true);
    QTest::mouseClick(p.DoutBtns[3], Qt::LeftButton);
    QCOMPARE(p.DoutBtns[3]->Picture(), TzOutputPicture::Pending);
    QVERIFY(QueuedOutputWrites(f.session()).isEmpty());
    const QByteArray report = "/control_panel/discret_output_set.php?device_id=01-02-03-04-05-06"
                              "&key=k&dout_index=3&status=1";
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            for (const SeenRequest &request : service.seen())
                if (request.target == report)
                    return true;
            return false;
        }(),
        3000);
}

void TestPanelRemote::controlPageOpensOnlyWebPages_data() {
    QTest::addColumn<QString>("service");
    QTest::addColumn<bool>("opened");
    QTest::newRow("https") << "https://panel.example/control_panel/" << true;
    QTest::newRow("local file") << "file:///etc/control_panel/" << false;
}

void TestPanelRemote::controlPageOpensOnlyWebPages() {
    QFETCH(QString, service);
    QFETCH(bool, opened);
    OpenedUrls recorder;
    const QStringList schemes = {"http", "https", "file"};
    for (const QString &scheme : schemes)
        QDesktopServices::setUrlHandler(scheme, &recorder, "open");
    UseFreshPanelDir();
    TestPanel p;
    p.remote().setServiceUrl(service);
    Child<QLineEdit>(p, "txtAuthKey")->setText("k");
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Child<QLabel>(p, "imgOpenSirel"), &press);
    for (const QString &scheme : schemes)
        QDesktopServices::unsetUrlHandler(scheme);
    QCOMPARE(recorder.urls.size(), opened ? 1 : 0);
    if (opened)
        QCOMPARE(recorder.urls.first().toString(),
                 service + "discret_control.php?device_id=AA-BB-CC-DD-EE-FF&key=k");
}

QTEST_MAIN(TestPanelRemote)
#include "test_panel_remote.moc"
