// Remote control through a session alone: it polls a web service (started here on 127.0.0.1,
// directly or through tinyproxy) for the outputs' states, drives a simulated module with the
// answers and reports the operator's switches to the service.
#include "http_test_server.h"
#include "model/register_map.h"
#include "session/log_colours.h"
#include "session/remote_control.h"
#include "session/session_options.h"
#include "session_fixture.h"
#include "support/http_request.h"
#include "tiny_proxy.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TzRemoteControlTestAccess {
public:
    static QTimer &PollTimer(TzRemoteControl &remote) { return remote.PHP_Call_Timer; }
};

namespace {

const QString kPlainHttpNote = QStringLiteral("Удалённое управление идёт по http");

// A remote control on a session with its own options folder, as the program builds it.
struct Remote {
    explicit Remote(TarvexSession &session)
        : options(session, dir.path(), dir.path() + "/config", {"tarvex-panel"}),
          remote(session, http, options), log(&remote, &TzRemoteControl::logLine) {}

    QString optionsFile() const { return dir.filePath("Options.xml"); }
    void writeOptions(const QByteArray &content) const {
        QFile file(optionsFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QDomElement httpElement() const {
        QFile file(optionsFile());
        QDomDocument document;
        if (file.open(QIODevice::ReadOnly))
            document.setContent(&file);
        return document.documentElement().firstChildElement("http");
    }
    int notes() const {
        int count = 0;
        for (const QList<QVariant> &line : log)
            count += line[0].toString().startsWith(kPlainHttpNote) &&
                             line[1].toUInt() == LogColor::DarkRed
                         ? 1
                         : 0;
        return count;
    }
    void holdPolls() { TzRemoteControlTestAccess::PollTimer(remote).stop(); }

    QTemporaryDir dir;
    TzHTTP_Request http;
    TzSessionOptions options;
    TzRemoteControl remote;
    QSignalSpy log;
};

// A session on tarvex-sim with a remote control on a test web service.
struct RemoteFixture {
    explicit RemoteFixture(const QStringList &simArgs = {}) : module(simArgs), r(module.session()) {
        r.remote.setServiceUrl(service.url("/control_panel/"));
    }
    bool ok() const { return module.ok() && service.isListening(); }
    TarvexSession &session() { return module.session(); }
    TzRemoteControl &remote() { return r.remote; }
    void key(const QString &key) {
        TzRemoteSettings settings = r.remote.settings();
        settings.AuthKey = key;
        r.remote.setSettings(settings);
    }
    // Whether the simulator received a switch-on of output 5 (coil 4608).
    bool output5SwitchedOn() {
        return module.simFrames().contains(WriteFrameText(5, TarvexMap::OutputRegister(5), 0xFF00));
    }

    TestWebServer service;
    SessionFixture module;
    Remote r;
};

bool NoRequestsPending(const TzHTTP_Request &http) {
    return QTest::qWaitFor([&http] { return http.PendingRequests() == 0; }, 10000);
}

} // namespace

class TestRemoteControl : public QObject {
    Q_OBJECT
private slots:
    void pollAnswers_data();
    void pollAnswers();
    void pollDrivesTheModule();
    void pollThroughTheProxy();
    void noPollWhileDisconnected();
    void remoteControlWaitsForTheId();
    void silentServiceDoesNotPileUpPolls();
    void switchesAreReportedOrWritten_data();
    void switchesAreReportedOrWritten();
    void keyAndIdentifierAreQueryData();
    void lateAnswersAreIgnored_data();
    void lateAnswersAreIgnored();
    void plainHttpIsNotedOncePerSwitchOn_data();
    void plainHttpIsNotedOncePerSwitchOn();
    void settingsPersist();
    void missingKeyIsMadeAndStored_data();
    void missingKeyIsMadeAndStored();
    void serviceFromOptions_data();
    void serviceFromOptions();
    void controlPageIsAWebPageOnly_data();
    void controlPageIsAWebPageOnly();
};

void TestRemoteControl::pollAnswers_data() {
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

void TestRemoteControl::pollAnswers() {
    QFETCH(QString, answer);
    QFETCH(QString, switched);
    SessionFixture f;
    QVERIFY(f.ok());
    Remote r(f.session());
    f.sim().setCoil(TarvexMap::OutputRegister(2), true);
    QVERIFY(f.connectAndPoll());
    QTRY_VERIFY_WITH_TIMEOUT(f.session().output(2).IsOn, 2000);
    f.sim().command("silent on"); // what the answer queues stays waiting
    r.remote.ReqCallback(answer);
    QStringList written;
    for (const auto &[output, on] : QueuedOutputWrites(f.session()))
        written.append(QStringLiteral("%1=%2").arg(output).arg(int(on)));
    QCOMPARE(written.join(' '), switched);
}

void TestRemoteControl::pollDrivesTheModule() {
    RemoteFixture f({"--id", "0A0B0C0D0E0F"});
    QVERIFY(f.ok());
    f.service.setReply("/control_panel/discret_outputs.php", {200, "text/plain", "5 1<br>6 0"});
    f.key("Key123");
    QSignalSpy outputs(&f.session(), &TarvexSession::outputsChanged);
    f.remote().setRemoteControl(true);
    QVERIFY(f.module.connectAndPoll());
    QTRY_VERIFY_WITH_TIMEOUT(f.session().output(5).IsOn, 5000);
    QVERIFY(!outputs.isEmpty());
    const QList<SeenRequest> seen = f.service.seen();
    QVERIFY(!seen.isEmpty());
    QCOMPARE(
        seen.first().target,
        QByteArray("/control_panel/discret_outputs.php?device_id=0A-0B-0C-0D-0E-0F&key=Key123"));
}

void TestRemoteControl::pollThroughTheProxy() {
    RemoteFixture f;
    QVERIFY(f.ok());
    f.service.setReply("/control_panel/discret_outputs.php", {200, "text/plain", "7 1"});
    QTemporaryDir proxyDir;
    TinyProxy proxy;
    QVERIFY2(proxy.start(proxyDir.path(), "operator", "s3cret", 0), qPrintable(proxy.log()));
    TzRemoteSettings settings;
    settings.ProxyUse = true;
    settings.ProxyNeedPass = true;
    settings.ProxyServer = "127.0.0.1";
    settings.ProxyPort = QString::number(proxy.port());
    settings.ProxyUser = "operator";
    settings.ProxyPass = "s3cret";
    f.remote().setSettings(settings); // typed, not saved: it counts at once
    f.remote().setRemoteControl(true);
    QVERIFY(f.module.connectAndPoll());
    QTRY_VERIFY_WITH_TIMEOUT(f.session().output(7).IsOn, 5000);
    QVERIFY(f.service.seen().first().headers.contains("via"));
}

// Without a module no poll goes out, and no switch is reported.
void TestRemoteControl::noPollWhileDisconnected() {
    RemoteFixture f;
    QVERIFY(f.ok());
    f.remote().setRemoteControl(true);
    f.remote().PHP_Call_TimerTimer();
    f.remote().toggleOutput(1);
    QTest::qWait(1500);
    QVERIFY(f.service.seen().isEmpty());
    QVERIFY(QueuedOutputWrites(f.session()).isEmpty());
}

// The placeholder ID would make the service drive whichever module owns it.
void TestRemoteControl::remoteControlWaitsForTheId() {
    RemoteFixture f;
    QVERIFY(f.ok());
    f.service.setReply("/control_panel/discret_outputs.php", {200, "text/plain", ""});
    f.remote().setRemoteControl(true);
    f.module.sim().setException(TarvexMap::kRegId1, 2, 4); // the ID read fails, its retries too
    QVERIFY(f.module.connectAndPoll(6000));
    QVERIFY(!f.session().moduleIdRead());
    QCOMPARE(f.remote().deviceId(), QStringLiteral("AA-BB-CC-DD-EE-FF"));
    f.remote().toggleOutput(4); // would be reported to the service
    QTest::qWait(2500);         // two ticks of remote control
    QVERIFY(f.service.seen().isEmpty());

    // A new connection reads the ID, and remote control goes on with it.
    f.session().disconnectFromModule();
    QVERIFY(f.module.connectAndPoll());
    QTRY_VERIFY_WITH_TIMEOUT(f.session().moduleIdRead(), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(!f.service.seen().isEmpty(), 3000);
    for (const SeenRequest &request : f.service.seen())
        QVERIFY2(request.target.contains("device_id=01-2A-00-FF-10-0B"), request.target.data());
}

void TestRemoteControl::silentServiceDoesNotPileUpPolls() {
    auto module = std::make_unique<SessionFixture>();
    QVERIFY(module->ok());
    auto service = std::make_unique<TestWebServer>();
    TestReply never;
    never.never = true;
    service->setReply("/control_panel/discret_outputs.php", never);
    Remote r(module->session());
    r.remote.setServiceUrl(service->url("/control_panel/"));
    r.remote.setRemoteControl(true);
    QVERIFY(module->connectAndPoll());
    QTest::qWait(5500); // five ticks and more
    QCOMPARE(r.http.PendingRequests(), 3);
    QCOMPARE(service->seen().size(), 3);
    service.reset(); // the open requests end with the service
    QVERIFY(NoRequestsPending(r.http));
}

// The session decides what a switch does: under remote control it is only reported.
void TestRemoteControl::switchesAreReportedOrWritten_data() {
    QTest::addColumn<bool>("remote");
    QTest::newRow("remote control on: reported") << true;
    QTest::newRow("remote control off: written") << false;
}

void TestRemoteControl::switchesAreReportedOrWritten() {
    QFETCH(bool, remote);
    RemoteFixture f({"--id", "010203040506"});
    QVERIFY(f.ok());
    f.key("k");
    QVERIFY(f.module.connectAndPoll());
    QTRY_VERIFY_WITH_TIMEOUT(f.session().moduleIdRead(), 3000);
    f.r.holdPolls(); // only the switch goes to the service
    f.remote().setRemoteControl(remote);
    f.module.sim().command("silent on"); // a write stays waiting for its answer
    f.remote().toggleOutput(3);
    if (!remote) {
        QCOMPARE(QueuedOutputWrites(f.session()), (QList<QPair<int, bool>>{{3, true}}));
        QTest::qWait(1000);
        QVERIFY(f.service.seen().isEmpty());
        return;
    }
    QVERIFY(QueuedOutputWrites(f.session()).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(f.service.seen().size(), 1, 3000);
    QCOMPARE(f.service.seen().first().target,
             QByteArray("/control_panel/discret_output_set.php?device_id=01-02-03-04-05-06&key=k"
                        "&dout_index=3&status=1"));
}

// A key is free text: it must not be able to add parameters or cut the request short.
void TestRemoteControl::keyAndIdentifierAreQueryData() {
    TarvexSession session;
    Remote r(session);
    r.remote.setServiceUrl("http://127.0.0.1:1/control_panel/");
    TzRemoteSettings settings;
    settings.AuthKey = "a&dout_index=1#x y";
    r.remote.setSettings(settings);
    QCOMPARE(r.remote.ServicePage("discret_control.php"),
             QStringLiteral("http://127.0.0.1:1/control_panel/discret_control.php"
                            "?device_id=AA-BB-CC-DD-EE-FF&key=a%26dout_index%3D1%23x%20y"));
}

// An answer that comes back after what it was meant for has gone switches nothing. The service
// holds the answer "5 1" until the session has moved on.
void TestRemoteControl::lateAnswersAreIgnored_data() {
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<bool>("applied");
    QTest::newRow("nothing: the answer counts") << "" << true;
    QTest::newRow("remote control switched off") << "off" << false;
    QTest::newRow("switched off and on again") << "off on" << false;
    QTest::newRow("disconnected") << "disconnect" << false;
    QTest::newRow("disconnected and connected again") << "disconnect connect" << false;
    QTest::newRow("another module's ID read") << "other id" << false;
}

void TestRemoteControl::lateAnswersAreIgnored() {
    QFETCH(QString, meanwhile);
    QFETCH(bool, applied);
    RemoteFixture f({"--id", "0A0B0C0D0E0F"});
    QVERIFY(f.ok());
    f.service.setReply("/control_panel/discret_outputs.php",
                       {.contentType = "text/plain", .body = "5 1", .held = true});
    QVERIFY(f.module.connectAndPoll());
    QTRY_COMPARE_WITH_TIMEOUT(f.remote().deviceId(), QStringLiteral("0A-0B-0C-0D-0E-0F"), 5000);
    f.r.holdPolls(); // one poll, sent here
    f.remote().setRemoteControl(true);
    f.remote().PHP_Call_TimerTimer();
    QTRY_COMPARE_WITH_TIMEOUT(f.service.seen().size(), 1, 5000);

    for (const QString &step : meanwhile.split(' ', Qt::SkipEmptyParts)) {
        if (step == "off" || step == "on")
            f.remote().setRemoteControl(step == "on");
        else if (step == "disconnect")
            f.session().disconnectFromModule();
        else if (step == "connect")
            QVERIFY(f.module.connectAndPoll());
        else if (step == "id")
            f.session().SetMAC(QByteArray::fromHex("010203040506"));
    }
    f.service.releaseHeld();
    QVERIFY(NoRequestsPending(f.r.http));
    if (applied) {
        QTRY_VERIFY_WITH_TIMEOUT(f.output5SwitchedOn(), 5000);
    } else {
        QTest::qWait(500); // what an applied answer would have queued reaches the module by now
        QVERIFY(!f.output5SwitchedOn());
    }
}

// The key and the output commands cross the network in clear text over http: said once each
// time remote control is switched on, and never for https.
void TestRemoteControl::plainHttpIsNotedOncePerSwitchOn_data() {
    QTest::addColumn<bool>("https");
    QTest::newRow("http") << false;
    QTest::newRow("https") << true;
}

void TestRemoteControl::plainHttpIsNotedOncePerSwitchOn() {
    QFETCH(bool, https);
    RemoteFixture f;
    QVERIFY(f.ok());
    // Nothing listens on port 1: the https requests fail at once.
    if (https)
        f.remote().setServiceUrl("https://127.0.0.1:1/control_panel/");
    QVERIFY(f.module.connectAndPoll());
    QTRY_VERIFY_WITH_TIMEOUT(f.session().moduleIdRead(), 3000);
    f.r.holdPolls();
    f.remote().setRemoteControl(true);
    QCOMPARE(f.r.notes(), 0); // nothing has been sent yet
    f.remote().PHP_Call_TimerTimer();
    f.remote().PHP_Call_TimerTimer();
    f.remote().toggleOutput(2); // a report goes the same way
    QCOMPARE(f.r.notes(), https ? 0 : 1);
    QVERIFY(NoRequestsPending(f.r.http));
    f.remote().setRemoteControl(false);
    f.remote().setRemoteControl(true);
    f.remote().PHP_Call_TimerTimer();
    QCOMPARE(f.r.notes(), https ? 0 : 2);
    QVERIFY(NoRequestsPending(f.r.http));
}

void TestRemoteControl::settingsPersist() {
    TarvexSession session;
    Remote r(session);
    r.writeOptions(R"(<options><http><auth key="old"/></http></options>)");
    r.remote.LoadHTTPOptions();
    QCOMPARE(r.remote.settings().AuthKey, QStringLiteral("old"));

    TzRemoteSettings typed;
    typed.AuthKey = "new";
    typed.ProxyUse = true;
    typed.ProxyServer = "proxy.plant";
    typed.ProxyPort = ""; // saved empty, not applied on loading
    typed.ProxyUser = "op";
    typed.ProxyPass = "pw";
    r.remote.setSettings(typed);
    r.remote.setRemoteControl(true);
    r.remote.SaveHTTPOptions();
    const QDomElement proxy = r.httpElement().firstChildElement("proxy");
    QCOMPARE(proxy.attribute("enabled"), QStringLiteral("1"));
    QCOMPARE(proxy.attribute("basic"), QStringLiteral("0"));
    QCOMPARE(proxy.attribute("port"), QString());
    QCOMPARE(proxy.attribute("pass"), QStringLiteral("pw"));

    // A typo is taken back from the file; what the file lacks stays as typed.
    TzRemoteSettings typo = typed;
    typo.ProxyServer = "typo";
    r.remote.setSettings(typo);
    QSignalSpy loaded(&r.remote, &TzRemoteControl::settingsLoaded);
    r.remote.LoadHTTPOptions();
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(r.remote.settings(), typed);

    TzRemoteControl next(session, r.http, r.options);
    next.LoadHTTPOptions();
    TzRemoteSettings expected = typed;
    expected.ProxyPort = "0";
    QCOMPARE(next.settings(), expected);
    QVERIFY(!next.remoteControl()); // never stored
}

void TestRemoteControl::missingKeyIsMadeAndStored_data() {
    QTest::addColumn<QByteArray>("http");
    QTest::addColumn<bool>("fresh");
    QTest::newRow("no auth element") << QByteArray("<http/>") << true;
    QTest::newRow("auth without key") << QByteArray("<http><auth/></http>") << true;
    QTest::newRow("empty key stays") << QByteArray("<http><auth key=\"\"/></http>") << false;
}

void TestRemoteControl::missingKeyIsMadeAndStored() {
    QFETCH(QByteArray, http);
    QFETCH(bool, fresh);
    TarvexSession session;
    Remote r(session);
    r.writeOptions("<options>" + http + "</options>");
    r.remote.LoadHTTPOptions();
    const QString key = r.remote.settings().AuthKey;
    if (!fresh) {
        QCOMPARE(key, QString());
        return;
    }
    QCOMPARE(key.size(), 6);
    QVERIFY(key[0].isLetter());
    for (QChar c : key)
        QVERIFY(c.isLetterOrNumber() && c.unicode() < 128);
    QCOMPARE(r.httpElement().firstChildElement("auth").attribute("key"), key);
}

void TestRemoteControl::serviceFromOptions_data() {
    QTest::addColumn<QString>("service");
    QTest::addColumn<bool>("taken");
    QTest::newRow("https") << "https://panel.example/control_panel/" << true;
    QTest::newRow("http") << "http://192.0.2.7:8080/control_panel/" << true;
    QTest::newRow("local file") << "file:///etc/control_panel/" << false;
    QTest::newRow("script") << "javascript:alert(1)//control_panel/" << false;
    QTest::newRow("ftp") << "ftp://panel.example/control_panel/" << false;
    QTest::newRow("no host") << "http:///control_panel/" << false;
}

void TestRemoteControl::serviceFromOptions() {
    QFETCH(QString, service);
    QFETCH(bool, taken);
    TarvexSession session;
    Remote r(session);
    const QString builtIn = r.remote.serviceUrl();
    QVERIFY(builtIn != service);
    r.writeOptions("<options><http service=\"" + service.toUtf8() +
                   "\"><auth key=\"k\"/></http></options>");
    r.remote.LoadHTTPOptions();
    QCOMPARE(r.remote.serviceUrl(), taken ? service : builtIn);
}

// Only a web page is handed to the system to open.
void TestRemoteControl::controlPageIsAWebPageOnly_data() {
    QTest::addColumn<QString>("service");
    QTest::addColumn<bool>("page");
    QTest::newRow("https") << "https://panel.example/control_panel/" << true;
    QTest::newRow("http") << "http://panel.example/control_panel/" << true;
    QTest::newRow("local file") << "file:///etc/control_panel/" << false;
    QTest::newRow("ftp") << "ftp://panel.example/control_panel/" << false;
}

void TestRemoteControl::controlPageIsAWebPageOnly() {
    QFETCH(QString, service);
    QFETCH(bool, page);
    TarvexSession session;
    Remote r(session);
    r.remote.setServiceUrl(service);
    TzRemoteSettings settings;
    settings.AuthKey = "k";
    r.remote.setSettings(settings);
    QCOMPARE(r.remote.controlPage(),
             page ? service + "discret_control.php?device_id=AA-BB-CC-DD-EE-FF&key=k" : QString());
}

QTEST_GUILESS_MAIN(TestRemoteControl)
#include "test_remote_control.moc"
