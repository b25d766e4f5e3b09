// Remote control: the panel polls a web service (started here on 127.0.0.1, directly or through
// tinyproxy) for the outputs' states and reports the operator's clicks to it.
#include "http_test_server.h"
#include "model/register_map.h"
#include "panel/panel_environment.h"
#include "panel_fixture.h"
#include "support/http_request.h"
#include "tiny_proxy.h"
#include "tools/temp_log.h"
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
#include <QTemporaryDir>
#include <QTest>

namespace {

void WriteOptions(const QByteArray &content) {
    QFile file(QDir(PanelExeDir()).filePath("Options.xml"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

const QString kPlainHttpNote = QStringLiteral("Удалённое управление идёт по http");

// Whether the simulator received a switch-on of output 5 (coil 4608) from the panel.
bool Output5SwitchedOn(PanelFixture &f) {
    for (const QString &frame : f.simFrames())
        if (frame.startsWith("10 05 12 00 FF 00"))
            return true;
    return false;
}

// Records what the panel hands to the system to open.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

QDomElement HttpElement() {
    QFile file(QDir(PanelExeDir()).filePath("Options.xml"));
    QDomDocument document;
    if (file.open(QIODevice::ReadOnly))
        document.setContent(&file);
    return document.documentElement().firstChildElement("http");
}

// Lines of the message log that begin so.
int LogLinesStartingWith(const QString &start) {
    int count = 0;
    for (const QString &line : LogLines())
        count += line.startsWith(start) ? 1 : 0;
    return count;
}

} // namespace

class TestPanelRemote : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetLog(); }
    void cleanupTestCase() { DeleteLogWindow(); }

    void pollAnswers_data();
    void pollAnswers();
    void pollDrivesTheModule();
    void pollThroughTheProxy();
    void noPollWhileDisconnected();
    void silentServiceDoesNotPileUpPolls();
    void clickIsReportedNotWritten();
    void keyAndIdentifierAreQueryData();
    void settingsPersist();
    void missingKeyIsMadeAndStored_data();
    void missingKeyIsMadeAndStored();
    void lateAnswersAreIgnored_data();
    void lateAnswersAreIgnored();
    void plainHttpIsNotedOncePerSwitchOn_data();
    void plainHttpIsNotedOncePerSwitchOn();
    void serviceFromOptions_data();
    void serviceFromOptions();
    void controlPageOpensOnlyWebPages_data();
    void controlPageOpensOnlyWebPages();
};

void TestPanelRemote::pollAnswers_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("switched"); // output=state pairs written to the module
    // Outputs 1 and 3 are off and 2 is on when the answer comes.
    QTest::newRow("three lines by <br>") << "1 1<br>2 0<br>3 1"
                                         << "1=1 2=0 3=1";
    QTest::newRow("three lines by <BR>") << "1 1<BR>2 0<BR>3 1"
                                         << "1=1 2=0 3=1";
    QTest::newRow("line breaks") << "1 1\r\n2 0\n3 1\n"
                                 << "1=1 2=0 3=1";
    QTest::newRow("output 21 skipped") << "21 1<br>1 1"
                                       << "1=1";
    QTest::newRow("a single word ends it") << "1 1<br>word<br>3 1"
                                           << "1=1";
    QTest::newRow("two spaces: empty field") << "1  1<br>3 1"
                                             << "";
    QTest::newRow("third field ignored") << "1 1 extra"
                                         << "1=1";
    QTest::newRow("state already shown") << "2 1<br>1 0"
                                         << "";
    QTest::newRow("non-zero means on") << "3 7"
                                       << "3=1";
    QTest::newRow("blank") << "   \r\n "
                           << "";
    QTest::newRow("not a number") << "x 1<br>1 1"
                                  << "";
}

void TestPanelRemote::pollAnswers() {
    QFETCH(QString, answer);
    QFETCH(QString, switched);
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    f.sim().setCoil(TarvexMap::OutputRegister(2), true);
    QVERIFY(f.connectAndPoll());
    QTRY_VERIFY_WITH_TIMEOUT(p.Session->output(2).IsOn, 2000);
    f.sim().command("silent on"); // what the answer queues stays waiting
    p.ReqCallback(answer);
    QStringList written;
    for (const auto &[output, on] : QueuedOutputWrites(*p.Session))
        written.append(QStringLiteral("%1=%2").arg(output).arg(int(on)));
    QCOMPARE(written.join(' '), switched);
}

void TestPanelRemote::pollDrivesTheModule() {
    TestWebServer service;
    QVERIFY(service.isListening());
    service.setReply("/control_panel/discret_outputs.php", {200, "text/plain", "5 1<br>6 0"});
    PanelFixture f({"--id", "0A0B0C0D0E0F"});
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    p.ServiceUrl = service.url("/control_panel/");
    p.txtAuthKey->setText("Key123");
    p.chkRemoteControl->setChecked(true);
    QVERIFY(f.connectAndPoll());
    QTRY_VERIFY_WITH_TIMEOUT(p.Session->output(5).IsOn, 5000);
    QCOMPARE(p.DoutBtns[5]->Picture(), TzOutputPicture::On);
    const QList<SeenRequest> seen = service.seen();
    QVERIFY(!seen.isEmpty());
    QCOMPARE(
        seen.first().target,
        QByteArray("/control_panel/discret_outputs.php?device_id=0A-0B-0C-0D-0E-0F&key=Key123"));
}

void TestPanelRemote::pollThroughTheProxy() {
    TestWebServer service;
    QVERIFY(service.isListening());
    service.setReply("/control_panel/discret_outputs.php", {200, "text/plain", "7 1"});
    QTemporaryDir proxyDir;
    TinyProxy proxy;
    QVERIFY2(proxy.start(proxyDir.path(), "operator", "s3cret", 0), qPrintable(proxy.log()));
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    p.ServiceUrl = service.url("/control_panel/");
    p.chkProxyUse->setChecked(true);
    p.chkProxyNeedPass->setChecked(true);
    p.txtProxyServer->setText("127.0.0.1");
    p.txtProxyPort->setText(QString::number(proxy.port()));
    p.txtProxyUser->setText("operator");
    p.txtProxyPass->setText("s3cret");
    p.chkRemoteControl->setChecked(true);
    QVERIFY(f.connectAndPoll());
    QTRY_VERIFY_WITH_TIMEOUT(p.Session->output(7).IsOn, 5000);
    QVERIFY(service.seen().first().headers.contains("via"));
}

void TestPanelRemote::noPollWhileDisconnected() {
    TestWebServer service;
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    p.ServiceUrl = service.url("/control_panel/");
    p.chkRemoteControl->setChecked(true);
    p.PHP_Call_TimerTimer();
    QTest::qWait(1500);
    QVERIFY(service.seen().isEmpty());
    QVERIFY(!p.DoutBtns[1]->isEnabled()); // no click can be reported either
}

void TestPanelRemote::silentServiceDoesNotPileUpPolls() {
    auto service = std::make_unique<TestWebServer>();
    TestReply never;
    never.never = true;
    service->setReply("/control_panel/discret_outputs.php", never);
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    p.ServiceUrl = service->url("/control_panel/");
    p.chkRemoteControl->setChecked(true);
    QVERIFY(f.connectAndPoll());
    QTest::qWait(5500); // five ticks and more
    QCOMPARE(HTTPRequest().PendingRequests(), 3);
    QCOMPARE(service->seen().size(), 3);
    service.reset(); // the open requests end with the service
    QTRY_COMPARE_WITH_TIMEOUT(HTTPRequest().PendingRequests(), 0, 5000);
}

void TestPanelRemote::clickIsReportedNotWritten() {
    TestWebServer service;
    PanelFixture f({"--id", "010203040506"});
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    p.ServiceUrl = service.url("/control_panel/");
    p.txtAuthKey->setText("k");
    QVERIFY(f.connectAndPoll());
    p.chkRemoteControl->setChecked(true);
    p.PHP_Call_Timer.stop(); // only the click goes to the service
    QTest::mouseClick(p.DoutBtns[3], Qt::LeftButton);
    QCOMPARE(p.DoutBtns[3]->Picture(), TzOutputPicture::Pending);
    QVERIFY(QueuedOutputWrites(*p.Session).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(service.seen().size(), 1, 3000);
    QCOMPARE(service.seen().first().target,
             QByteArray("/control_panel/discret_output_set.php?device_id=01-02-03-04-05-06&key=k"
                        "&dout_index=3&status=1"));
}

// A key is free text: it must not be able to add parameters or cut the request short.
void TestPanelRemote::keyAndIdentifierAreQueryData() {
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    p.ServiceUrl = "http://127.0.0.1:1/control_panel/";
    p.txtAuthKey->setText("a&dout_index=1#x y");
    QCOMPARE(p.ServicePage("discret_control.php"),
             QStringLiteral("http://127.0.0.1:1/control_panel/discret_control.php"
                            "?device_id=AA-BB-CC-DD-EE-FF&key=a%26dout_index%3D1%23x%20y"));
}

void TestPanelRemote::settingsPersist() {
    UseFreshPanelDir();
    WriteOptions(R"(<options><http><auth key="old"/></http></options>)");
    {
        TestPanel p;
        QCOMPARE(p.txtAuthKey->text(), QStringLiteral("old"));
        p.imgProxySettingsClick();
        QVERIFY(!p.panProxy->isHidden());
        p.txtAuthKey->setText("new");
        p.chkProxyUse->setChecked(true);
        p.txtProxyServer->setText("proxy.plant");
        p.txtProxyPort->clear(); // saved empty, not applied on loading
        p.txtProxyUser->setText("op");
        p.txtProxyPass->setText("pw");
        QTest::mouseClick(p.btnHTTP_Apply, Qt::LeftButton);
        QVERIFY(p.panProxy->isHidden());
        const QDomElement proxy = HttpElement().firstChildElement("proxy");
        QCOMPARE(proxy.attribute("enabled"), QStringLiteral("1"));
        QCOMPARE(proxy.attribute("port"), QString());
        QCOMPARE(proxy.attribute("pass"), QStringLiteral("pw"));

        p.txtProxyServer->setText("typo");
        p.imgProxySettingsClick();
        QTest::mouseClick(p.btnHTTP_Cancel, Qt::LeftButton);
        QCOMPARE(p.txtProxyServer->text(), QStringLiteral("proxy.plant"));
        QVERIFY(!p.panProxy->isHidden()); // "Отменить" keeps the pop-up open
    }
    TestPanel p;
    QCOMPARE(p.txtAuthKey->text(), QStringLiteral("new"));
    QVERIFY(p.chkProxyUse->isChecked());
    QCOMPARE(p.txtProxyServer->text(), QStringLiteral("proxy.plant"));
    QCOMPARE(p.txtProxyPort->text(), QStringLiteral("0"));
    QCOMPARE(p.txtProxyUser->text(), QStringLiteral("op"));
    QVERIFY(!p.chkRemoteControl->isChecked()); // never stored
}

void TestPanelRemote::missingKeyIsMadeAndStored_data() {
    QTest::addColumn<QByteArray>("http");
    QTest::addColumn<bool>("fresh");
    QTest::newRow("no auth element") << QByteArray("<http/>") << true;
    QTest::newRow("auth without key") << QByteArray("<http><auth/></http>") << true;
    QTest::newRow("empty key stays") << QByteArray("<http><auth key=\"\"/></http>") << false;
}

void TestPanelRemote::missingKeyIsMadeAndStored() {
    QFETCH(QByteArray, http);
    QFETCH(bool, fresh);
    UseFreshPanelDir();
    WriteOptions("<options>" + http + "</options>");
    TestPanel p;
    const QString key = p.txtAuthKey->text();
    if (!fresh) {
        QCOMPARE(key, QString());
        return;
    }
    QCOMPARE(key.size(), 6);
    QVERIFY(key[0].isLetter());
    for (QChar c : key)
        QVERIFY(c.isLetterOrNumber() && c.unicode() < 128);
    QCOMPARE(HttpElement().firstChildElement("auth").attribute("key"), key);
}

// An answer that comes back after what it was meant for has gone switches nothing. The service
// holds the answer "5 1" until the panel has moved on.
void TestPanelRemote::lateAnswersAreIgnored_data() {
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<bool>("applied");
    QTest::newRow("nothing: the answer counts") << "" << true;
    QTest::newRow("remote control switched off") << "off" << false;
    QTest::newRow("switched off and on again") << "off on" << false;
    QTest::newRow("disconnected") << "disconnect" << false;
    QTest::newRow("disconnected and connected again") << "disconnect connect" << false;
    QTest::newRow("another module's ID read") << "other id" << false;
}

void TestPanelRemote::lateAnswersAreIgnored() {
    QFETCH(QString, meanwhile);
    QFETCH(bool, applied);
    TestWebServer service;
    QVERIFY(service.isListening());
    service.setReply("/control_panel/discret_outputs.php",
                     {.contentType = "text/plain", .body = "5 1", .held = true});
    PanelFixture f({"--id", "0A0B0C0D0E0F"});
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    p.ServiceUrl = service.url("/control_panel/");
    QVERIFY(f.connectAndPoll());
    QTRY_COMPARE_WITH_TIMEOUT(p.txtMAC->text(), QStringLiteral("0A-0B-0C-0D-0E-0F"), 5000);
    p.PHP_Call_Timer.stop(); // one poll, sent here
    p.chkRemoteControl->setChecked(true);
    p.PHP_Call_TimerTimer();
    QTRY_COMPARE_WITH_TIMEOUT(service.seen().size(), 1, 5000);

    for (const QString &step : meanwhile.split(' ', Qt::SkipEmptyParts)) {
        if (step == "off" || step == "on")
            p.chkRemoteControl->setChecked(step == "on");
        else if (step == "disconnect")
            f.clickConnect();
        else if (step == "connect")
            QVERIFY(f.connectAndPoll());
        else if (step == "id")
            p.Session->SetMAC(QByteArray::fromHex("010203040506"));
    }
    service.releaseHeld();
    QTRY_COMPARE_WITH_TIMEOUT(HTTPRequest().PendingRequests(), 0, 5000);
    if (applied) {
        QTRY_VERIFY_WITH_TIMEOUT(Output5SwitchedOn(f), 5000);
    } else {
        QTest::qWait(500); // what an applied answer would have queued reaches the module by now
        QVERIFY(!Output5SwitchedOn(f));
    }
}

// The key and the output commands cross the network in clear text over http: said once each
// time remote control is switched on, and never for https.
void TestPanelRemote::plainHttpIsNotedOncePerSwitchOn_data() {
    QTest::addColumn<bool>("https");
    QTest::newRow("http") << false;
    QTest::newRow("https") << true;
}

void TestPanelRemote::plainHttpIsNotedOncePerSwitchOn() {
    QFETCH(bool, https);
    TestWebServer service;
    PanelFixture f;
    QVERIFY(f.ok());
    TfrTarvex &p = f.panel();
    // Nothing listens on port 1: the https requests fail at once.
    p.ServiceUrl = https ? QStringLiteral("https://127.0.0.1:1/control_panel/")
                         : service.url("/control_panel/");
    QVERIFY(f.connectAndPoll());
    p.PHP_Call_Timer.stop();
    p.chkRemoteControl->setChecked(true);
    QCOMPARE(LogLinesStartingWith(kPlainHttpNote), 0); // nothing has been sent yet
    p.PHP_Call_TimerTimer();
    p.PHP_Call_TimerTimer();
    QTest::mouseClick(p.DoutBtns[2], Qt::LeftButton); // a report goes the same way
    QCOMPARE(LogLinesStartingWith(kPlainHttpNote), https ? 0 : 1);
    QTRY_COMPARE_WITH_TIMEOUT(HTTPRequest().PendingRequests(), 0, 10000);
    p.chkRemoteControl->setChecked(false);
    p.chkRemoteControl->setChecked(true);
    p.PHP_Call_TimerTimer();
    QCOMPARE(LogLinesStartingWith(kPlainHttpNote), https ? 0 : 2);
    QTRY_COMPARE_WITH_TIMEOUT(HTTPRequest().PendingRequests(), 0, 10000);
}

void TestPanelRemote::serviceFromOptions_data() {
    QTest::addColumn<QString>("service");
    QTest::addColumn<bool>("taken");
    QTest::newRow("https") << "https://panel.example/control_panel/" << true;
    QTest::newRow("http") << "http://192.0.2.7:8080/control_panel/" << true;
    QTest::newRow("local file") << "file:///etc/control_panel/" << false;
    QTest::newRow("script") << "javascript:alert(1)//control_panel/" << false;
    QTest::newRow("ftp") << "ftp://panel.example/control_panel/" << false;
    QTest::newRow("no host") << "http:///control_panel/" << false;
}

void TestPanelRemote::serviceFromOptions() {
    QFETCH(QString, service);
    QFETCH(bool, taken);
    UseFreshPanelDir();
    const QString builtIn = TestPanel().ServiceUrl;
    QVERIFY(builtIn != service);
    WriteOptions("<options><http service=\"" + service.toUtf8() +
                 "\"><auth key=\"k\"/></http></options>");
    TestPanel p;
    QCOMPARE(p.ServiceUrl, taken ? service : builtIn);
}

void TestPanelRemote::controlPageOpensOnlyWebPages_data() {
    QTest::addColumn<QString>("service");
    QTest::addColumn<bool>("opened");
    QTest::newRow("https") << "https://panel.example/control_panel/" << true;
    QTest::newRow("http") << "http://panel.example/control_panel/" << true;
    QTest::newRow("local file") << "file:///etc/control_panel/" << false;
    QTest::newRow("ftp") << "ftp://panel.example/control_panel/" << false;
}

void TestPanelRemote::controlPageOpensOnlyWebPages() {
    QFETCH(QString, service);
    QFETCH(bool, opened);
    OpenedUrls recorder;
    const QStringList schemes = {"http", "https", "file", "ftp"};
    for (const QString &scheme : schemes)
        QDesktopServices::setUrlHandler(scheme, &recorder, "open");
    UseFreshPanelDir();
    TestPanel p;
    p.ServiceUrl = service;
    p.txtAuthKey->setText("k");
    p.imgOpenSirelClick();
    for (const QString &scheme : schemes)
        QDesktopServices::unsetUrlHandler(scheme);
    QCOMPARE(recorder.urls.size(), opened ? 1 : 0);
    if (opened)
        QCOMPARE(recorder.urls.first().toString(),
                 service + "discret_control.php?device_id=AA-BB-CC-DD-EE-FF&key=k");
}

QTEST_MAIN(TestPanelRemote)
#include "test_panel_remote.moc"
