#include "http_test_server.h"
#include "support/http_request.h"
#include "tiny_proxy.h"

#include <QMutex>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <atomic>
#include <memory>
#include <stdexcept>

namespace {
// Generous: bounds waits for what takes milliseconds on an idle machine. Kept below the
// 30-second transfer limit of a request, so that the quit case shows the abort, not the limit.
constexpr int kLongWaitMs = 15000;

const QString kProxyUser = QStringLiteral("panel");
const QString kProxyPassword = QStringLiteral("s3cret");

// "Привет" in windows-1251, spelled out so that the decoder under test does not build its own
// fixture.
const QByteArray kHelloCp1251("\xCF\xF0\xE8\xE2\xE5\xF2");
const QString kHello = QStringLiteral("Привет");
const QString kSecure = QStringLiteral("защищено");

struct Delivery {
    QString tag;
    TzEventCallbackInfo info;
    QThread *thread = nullptr;
    QString threadName;
};

// Callbacks run on pool threads; the test thread reads what they left under the lock.
class Deliveries {
public:
    TzCallbackProc callback(const QString &tag = {}) {
        return [this, tag](TzEventCallbackInfo info) {
            QThread *thread = QThread::currentThread();
            QMutexLocker lock(&m_mutex);
            m_list.append({tag, info, thread, thread->objectName()});
        };
    }
    QList<Delivery> list() const {
        QMutexLocker lock(&m_mutex);
        return m_list;
    }

private:
    mutable QMutex m_mutex;
    QList<Delivery> m_list;
};

// A throw-away self-signed certificate for 127.0.0.1 made with the openssl command line, as the
// TLS configuration of a test server.
QSslConfiguration MakeServerTls(const QString &dir, const QString &name,
                                QSslCertificate &certificate) {
    const QString keyPath = dir + "/" + name + ".key";
    const QString certPath = dir + "/" + name + ".crt";
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                              "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                              "-keyout", keyPath, "-out", certPath});
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
        return {};
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(certPath);
    QFile keyFile(keyPath);
    if (certificates.size() != 1 || !keyFile.open(QIODevice::ReadOnly))
        return {};
    certificate = certificates.first();
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(certificate);
    tls.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    return tls;
}

bool HasTinyproxyVia(const SeenRequest &request) {
    return request.headers.value("via").contains("tinyproxy");
}
} // namespace

class TestHttpRequest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void trimming_data();
    void trimming();
    void missingTlsLibrarySendsNothing();
    void answers_data();
    void answers();
    void https_data();
    void https();
    void proxy_data();
    void proxy();
    void onlyWebUrls_data();
    void onlyWebUrls();
    void proxyFieldsTakenAtStart_data();
    void proxyFieldsTakenAtStart();
    void overlappingRequestsKeepTheirCallbacks();
    void stalledServiceHoldsOnlyItsOwnRequests();
    void answerSizeIsCapped_data();
    void answerSizeIsCapped();
    void deadlineEndsATrickle_data();
    void deadlineEndsATrickle();
    void callbacksRunOnTheHttpThread();
    void emptyOrThrowingCallbackEndsQuietly();
    void quitGivesUpWaitingRequests(); // last: it announces the application's quit

private:
    bool allRequestsEnded() const {
        return QTest::qWaitFor([this] { return m_http.PendingRequests() == 0; }, kLongWaitMs);
    }

    TzHTTP_Request m_http; // the requests and their proxy, as the program holds them

    QTemporaryDir m_dir;
    std::unique_ptr<TestWebServer> m_plain, m_tls, m_untrusted;
    std::unique_ptr<TinyProxy> m_proxy;
};

void TestHttpRequest::initTestCase() {
    QVERIFY(m_dir.isValid());
    QSslCertificate trusted, untrusted;
    const QSslConfiguration trustedTls = MakeServerTls(m_dir.path(), "trusted", trusted);
    const QSslConfiguration untrustedTls = MakeServerTls(m_dir.path(), "untrusted", untrusted);
    QVERIFY2(!trustedTls.isNull() && !untrustedTls.isNull(), "openssl made no certificate");

    // Only the first certificate becomes a trusted authority of the process.
    QSslConfiguration defaults = QSslConfiguration::defaultConfiguration();
    defaults.addCaCertificates({trusted});
    QSslConfiguration::setDefaultConfiguration(defaults);

    m_plain = std::make_unique<TestWebServer>();
    m_tls = std::make_unique<TestWebServer>(trustedTls);
    m_untrusted = std::make_unique<TestWebServer>(untrustedTls);
    QVERIFY(m_plain->isListening() && m_tls->isListening() && m_untrusted->isListening());

    m_plain->setReply("/hello", {.contentType = "text/plain", .body = "hello"});
    m_plain->setReply("/empty", {.contentType = "text/plain"});
    m_plain->setReply("/to-tls", {.status = 302, .location = m_tls->url("/secure").toLatin1()});
    m_plain->setReply("/to-untrusted",
                      {.status = 302, .location = m_untrusted->url("/secure").toLatin1()});
    m_tls->setReply("/secure",
                    {.contentType = "text/plain; charset=utf-8", .body = kSecure.toUtf8()});
    m_untrusted->setReply("/secure",
                          {.contentType = "text/plain; charset=utf-8", .body = kSecure.toUtf8()});

    m_proxy = std::make_unique<TinyProxy>();
    QVERIFY2(m_proxy->start(m_dir.path(), kProxyUser, kProxyPassword,
                            quint16(QUrl(m_tls->url("/")).port())),
             qPrintable(m_proxy->log()));

    m_tls->setReply("/to-plain", {.status = 302, .location = m_plain->url("/hello").toLatin1()});
}

void TestHttpRequest::cleanup() {
    for (TestWebServer *server : {m_plain.get(), m_tls.get(), m_untrusted.get()})
        server->releaseHeld();
    QVERIFY(allRequestsEnded());
    SetTlsLibraryCheck({});
    SetHttpLimits({});
    m_http = TzHTTP_Request{};
    for (TestWebServer *server : {m_plain.get(), m_tls.get(), m_untrusted.get()})
        server->clearSeen();
}

void TestHttpRequest::cleanupTestCase() {
    m_proxy.reset();
    m_plain.reset();
    m_tls.reset();
    m_untrusted.reset();
}

void TestHttpRequest::trimming_data() {
    QTest::addColumn<QString>("request");
    QTest::addColumn<bool>("sent");

    QTest::newRow("URL between blanks and control characters")
        << QString(" \t\x01" + m_plain->url("/hello") + "\r\n\x7f ") << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("blanks") << QString("   ") << false;
    QTest::newRow("line breaks and control characters") << QString("\t\r\n\x01\x1f ") << false;
}

void TestHttpRequest::trimming() {
    QFETCH(QString, request);
    QFETCH(bool, sent);

    Deliveries deliveries;
    m_http.SendGetRequest(request, deliveries.callback());
    QVERIFY(allRequestsEnded());

    QCOMPARE(m_plain->seen().size(), sent ? 1 : 0);
    QCOMPARE(deliveries.list().size(), sent ? 1 : 0);
    if (sent)
        QCOMPARE(deliveries.list().first().info.Answer, QString("hello"));
}

void TestHttpRequest::missingTlsLibrarySendsNothing() {
    std::atomic<int> checks = 0;
    SetTlsLibraryCheck([&checks] {
        ++checks;
        return false;
    });

    Deliveries deliveries;
    m_http.SendGetRequest(m_plain->url("/hello"), deliveries.callback());
    QVERIFY(allRequestsEnded());

    QCOMPARE(checks.load(), 1);
    QVERIFY(m_plain->seen().isEmpty());
    QVERIFY(deliveries.list().isEmpty());
}

void TestHttpRequest::answers_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("delivered");
    QTest::addColumn<QString>("answer");

    QTest::newRow("404 ends quietly")
        << 404 << QByteArray("text/plain") << QByteArray("not here") << false << QString();
    QTest::newRow("500 ends quietly")
        << 500 << QByteArray("text/plain") << QByteArray("failed") << false << QString();
    QTest::newRow("200 with empty body")
        << 200 << QByteArray("text/plain") << QByteArray() << true << QString("");
    QTest::newRow("declared windows-1251")
        << 200 << QByteArray("text/plain; charset=windows-1251") << kHelloCp1251 << true << kHello;
    QTest::newRow("declared charset in quotes, upper case")
        << 200 << QByteArray("text/html; Charset=\"WINDOWS-1251\"") << kHelloCp1251 << true
        << kHello;
    QTest::newRow("no charset means UTF-8")
        << 200 << QByteArray("text/plain") << kHello.toUtf8() << true << kHello;
    QTest::newRow("no Content-Type means UTF-8")
        << 200 << QByteArray() << kHello.toUtf8() << true << kHello;
    QTest::newRow("unknown charset read as UTF-8")
        << 200 << QByteArray("text/plain; charset=x-none") << kHello.toUtf8() << true << kHello;
}

void TestHttpRequest::answers() {
    QFETCH(int, status);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(bool, delivered);
    QFETCH(QString, answer);

    m_plain->setReply("/answer", {.status = status, .contentType = contentType, .body = body});
    Deliveries deliveries;
    m_http.SendGetRequest(m_plain->url("/answer?device_id=AA-BB&key=k1"), deliveries.callback());
    QVERIFY(allRequestsEnded());

    QCOMPARE(m_plain->seen().size(), 1);
    QCOMPARE(m_plain->seen().first().target, QByteArray("/answer?device_id=AA-BB&key=k1"));
    const QList<Delivery> list = deliveries.list();
    QCOMPARE(list.size(), delivered ? 1 : 0);
    if (!delivered)
        return;
    const TzEventCallbackInfo &info = list.first().info;
    QCOMPARE(info.Answer, answer);
    QVERIFY(info.Msg.isEmpty() && info.URL.isEmpty() && info.Code.isEmpty() &&
            info.Status.isEmpty());
}

void TestHttpRequest::https_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("delivered");

    QTest::newRow("certificate of a trusted authority") << m_tls->url("/secure") << true;
    QTest::newRow("untrusted certificate") << m_untrusted->url("/secure") << false;
    QTest::newRow("http redirected to https") << m_plain->url("/to-tls") << true;
    QTest::newRow("http redirected to untrusted https") << m_plain->url("/to-untrusted") << false;
    QTest::newRow("https redirected to http") << m_tls->url("/to-plain") << false;
}

void TestHttpRequest::https() {
    QFETCH(QString, url);
    QFETCH(bool, delivered);

    Deliveries deliveries;
    m_http.SendGetRequest(url, deliveries.callback());
    QVERIFY(allRequestsEnded());

    QVERIFY(m_untrusted->seen().isEmpty()); // the handshake fails before any request
    QVERIFY(m_plain->seen().size() <= 1);   // a step down to http is not taken
    QCOMPARE(deliveries.list().size(), delivered ? 1 : 0);
    if (delivered)
        QCOMPARE(deliveries.list().first().info.Answer, kSecure);
}

void TestHttpRequest::proxy_data() {
    QTest::addColumn<bool>("https");
    QTest::addColumn<bool>("useProxy");
    QTest::addColumn<bool>("basic");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("delivered");

    QTest::newRow("http, right password") << false << true << true << kProxyPassword << true;
    QTest::newRow("http, wrong password") << false << true << true << "wrong" << false;
    QTest::newRow("http, authentication off") << false << true << false << kProxyPassword << false;
    QTest::newRow("https tunnel, right password") << true << true << true << kProxyPassword << true;
    QTest::newRow("https tunnel, wrong password") << true << true << true << "wrong" << false;
    QTest::newRow("proxy off, stale proxy fields") << false << false << true << "wrong" << true;
}

void TestHttpRequest::proxy() {
    QFETCH(bool, https);
    QFETCH(bool, useProxy);
    QFETCH(bool, basic);
    QFETCH(QString, password);
    QFETCH(bool, delivered);

    TzHTTP_Request &request = m_http;
    request.UseProxy = useProxy;
    request.BasicAuthentication = basic;
    request.ProxyServer = "127.0.0.1";
    request.ProxyPort = m_proxy->port();
    request.ProxyUsername = kProxyUser;
    request.ProxyPassword = password;

    TestWebServer &server = https ? *m_tls : *m_plain;
    Deliveries deliveries;
    request.SendGetRequest(server.url(https ? "/secure" : "/hello"), deliveries.callback());
    QVERIFY(allRequestsEnded());

    QCOMPARE(deliveries.list().size(), delivered ? 1 : 0);
    QCOMPARE(server.seen().size(), delivered ? 1 : 0); // a refusing proxy forwards nothing
    if (delivered)
        QCOMPARE(deliveries.list().first().info.Answer, https ? kSecure : QString("hello"));
    if (delivered && !https) // inside the tunnel the proxy cannot mark the request
        QCOMPARE(HasTinyproxyVia(server.seen().first()), useProxy);
}

void TestHttpRequest::overlappingRequestsKeepTheirCallbacks() {
    m_plain->setReply("/slow",
                      {.contentType = "text/plain", .body = "slow answer", .delayMs = 3000});
    m_plain->setReply("/fast", {.contentType = "text/plain", .body = "fast answer"});

    Deliveries deliveries;
    m_http.SendGetRequest(m_plain->url("/slow"), deliveries.callback("first"));
    QThread::msleep(10);
    m_http.SendGetRequest(m_plain->url("/fast"), deliveries.callback("second"));
    QVERIFY(allRequestsEnded());

    // The second answer arrives while the first is still held back by the server.
    const QList<Delivery> list = deliveries.list();
    QCOMPARE(list.size(), 2);
    QCOMPARE(list.at(0).tag, QString("second"));
    QCOMPARE(list.at(0).info.Answer, QString("fast answer"));
    QCOMPARE(list.at(1).tag, QString("first"));
    QCOMPARE(list.at(1).info.Answer, QString("slow answer"));
}

void TestHttpRequest::onlyWebUrls_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("delivered");

    QTest::newRow("http") << m_plain->url("/hello") << true;
    QTest::newRow("HTTP in capitals") << m_plain->url("/hello").replace("http:", "HTTP:") << true;
    QTest::newRow("local file") << QString("file://" + m_dir.path() + "/trusted.crt") << false;
    QTest::newRow("data URL") << QString("data:text/plain,1%201") << false;
    QTest::newRow("no host") << QString("http:///hello") << false;
}

void TestHttpRequest::onlyWebUrls() {
    QFETCH(QString, url);
    QFETCH(bool, delivered);

    Deliveries deliveries;
    m_http.SendGetRequest(url, deliveries.callback());
    QVERIFY(allRequestsEnded());
    QCOMPARE(deliveries.list().size(), delivered ? 1 : 0);
}

// The GUI thread changes the fields right after starting a request, long before the HTTP
// thread gets to it: each request must go the way the fields said when it started.
void TestHttpRequest::proxyFieldsTakenAtStart_data() {
    QTest::addColumn<bool>("firstThroughProxy");
    QTest::newRow("first through the proxy, second direct") << true;
    QTest::newRow("first direct, second through the proxy") << false;
}

void TestHttpRequest::proxyFieldsTakenAtStart() {
    QFETCH(bool, firstThroughProxy);

    TzHTTP_Request &request = m_http;
    const auto useProxy = [&request, this](bool on) {
        request.UseProxy = on;
        request.BasicAuthentication = true;
        request.ProxyServer = "127.0.0.1";
        request.ProxyPort = m_proxy->port();
        request.ProxyUsername = kProxyUser;
        request.ProxyPassword = kProxyPassword;
    };
    Deliveries deliveries;
    useProxy(firstThroughProxy);
    request.SendGetRequest(m_plain->url("/hello?first"), deliveries.callback("first"));
    useProxy(!firstThroughProxy);
    request.SendGetRequest(m_plain->url("/hello?second"), deliveries.callback("second"));
    // What a request reading the fields late would find: a proxy that refuses everything.
    request.UseProxy = true;
    request.ProxyPassword = "wrong";
    QVERIFY(allRequestsEnded());

    QCOMPARE(deliveries.list().size(), 2);
    const QList<SeenRequest> seen = m_plain->seen();
    QCOMPARE(seen.size(), 2);
    for (const SeenRequest &one : seen) {
        const bool first = one.target.endsWith("?first");
        QCOMPARE(HasTinyproxyVia(one), first == firstThroughProxy);
    }
}

// More silent requests than a two-core machine's thread pool has threads, and then one to a
// service that answers: it is served while every silent one is still open.
void TestHttpRequest::stalledServiceHoldsOnlyItsOwnRequests() {
    m_plain->setReply("/silent", {.held = true});
    const int silent = QThreadPool::globalInstance()->maxThreadCount() + 2;
    for (int i = 0; i < silent; ++i)
        m_http.SendGetRequest(m_plain->url("/silent"), {});
    QTRY_COMPARE_WITH_TIMEOUT(m_plain->seen().size(), silent, kLongWaitMs);

    Deliveries deliveries;
    m_http.SendGetRequest(m_plain->url("/hello"), deliveries.callback());
    QTRY_COMPARE_WITH_TIMEOUT(deliveries.list().size(), 1, kLongWaitMs);
    QCOMPARE(deliveries.list().first().info.Answer, QString("hello"));
    QCOMPARE(m_http.PendingRequests(), silent);
}

void TestHttpRequest::answerSizeIsCapped_data() {
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<bool>("withLength");
    QTest::addColumn<bool>("delivered");

    QTest::newRow("64 KiB") << qsizetype(kMaxAnswerBytes) << true << true;
    QTest::newRow("64 KiB, no length") << qsizetype(kMaxAnswerBytes) << false << true;
    QTest::newRow("one byte more") << qsizetype(kMaxAnswerBytes + 1) << true << false;
    QTest::newRow("one byte more, no length") << qsizetype(kMaxAnswerBytes + 1) << false << false;
    QTest::newRow("10 MiB") << qsizetype(10 << 20) << true << false;
    QTest::newRow("10 MiB, no length") << qsizetype(10 << 20) << false << false;
}

void TestHttpRequest::answerSizeIsCapped() {
    QFETCH(qsizetype, size);
    QFETCH(bool, withLength);
    QFETCH(bool, delivered);

    m_plain->setReply(
        "/big",
        {.contentType = "text/plain", .body = QByteArray(size, '7'), .noLength = !withLength});
    Deliveries deliveries;
    m_http.SendGetRequest(m_plain->url("/big"), deliveries.callback());
    QVERIFY(allRequestsEnded());

    QCOMPARE(deliveries.list().size(), delivered ? 1 : 0);
    if (delivered)
        QCOMPARE(deliveries.list().first().info.Answer.size(), size);
}

// A body of 30 bytes trickling in at one byte per 100 ms never leaves the transfer timeout
// silent; only the deadline of the whole request ends it.
void TestHttpRequest::deadlineEndsATrickle_data() {
    QTest::addColumn<int>("deadlineMs");
    QTest::addColumn<bool>("delivered");
    QTest::newRow("trickle outlasts the deadline") << 1000 << false;
    QTest::newRow("trickle within the deadline") << 10000 << true;
}

void TestHttpRequest::deadlineEndsATrickle() {
    QFETCH(int, deadlineMs);
    QFETCH(bool, delivered);

    SetHttpLimits({.TransferTimeoutMs = 20000, .DeadlineMs = deadlineMs});
    const QByteArray body(30, 'x');
    m_plain->setReply("/trickle", {.contentType = "text/plain", .body = body, .trickleMs = 100});
    Deliveries deliveries;
    m_http.SendGetRequest(m_plain->url("/trickle"), deliveries.callback());
    QVERIFY(allRequestsEnded());

    QCOMPARE(deliveries.list().size(), delivered ? 1 : 0);
    if (delivered)
        QCOMPARE(deliveries.list().first().info.Answer, QString::fromLatin1(body));
}

// One thread with an event loop serves every request; it is neither the caller's nor one of
// the pool's, which stay free for the rest of the program.
void TestHttpRequest::callbacksRunOnTheHttpThread() {
    Deliveries deliveries;
    m_http.SendGetRequest(m_plain->url("/hello"), deliveries.callback());
    m_http.SendGetRequest(m_tls->url("/secure"), deliveries.callback());
    QVERIFY(allRequestsEnded());

    const QList<Delivery> list = deliveries.list();
    QCOMPARE(list.size(), 2);
    QCOMPARE(list.at(0).thread, list.at(1).thread);
    QVERIFY(list.at(0).thread != QThread::currentThread());
    QVERIFY(list.at(0).thread != m_plain->thread());
    QVERIFY(list.at(0).threadName != QString("Thread (pooled)"));
    QCOMPARE(QThreadPool::globalInstance()->activeThreadCount(), 0);
}

void TestHttpRequest::emptyOrThrowingCallbackEndsQuietly() {
    std::atomic<int> calls = 0;
    m_http.SendGetRequest(m_plain->url("/hello"), [&calls](TzEventCallbackInfo) {
        ++calls;
        throw std::runtime_error("callback failed");
    });
    m_http.SendGetRequest(m_plain->url("/empty"), {});
    QVERIFY(allRequestsEnded());
    QCOMPARE(calls.load(), 1);
    QCOMPARE(m_plain->seen().size(), 2);

    // The pool still serves the next request.
    Deliveries deliveries;
    m_http.SendGetRequest(m_plain->url("/hello"), deliveries.callback());
    QVERIFY(allRequestsEnded());
    QCOMPARE(deliveries.list().size(), 1);
}

void TestHttpRequest::quitGivesUpWaitingRequests() {
    m_plain->setReply("/hang", {.never = true});

    Deliveries deliveries;
    m_http.SendGetRequest(m_plain->url("/hang"), deliveries.callback());
    QTRY_COMPARE_WITH_TIMEOUT(m_plain->seen().size(), 1, kLongWaitMs);
    QVERIFY(QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit"));

    QVERIFY(allRequestsEnded());
    QVERIFY(deliveries.list().isEmpty());
}

QTEST_GUILESS_MAIN(TestHttpRequest)
#include "test_http_request.moc"
