#include "http_client.h"

#include "http_get.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QThread>

namespace {
QNetworkProxy ProxyFrom(const TzHTTP_Request &settings) {
    if (!settings.UseProxy)
        return QNetworkProxy(QNetworkProxy::NoProxy);
    QNetworkProxy proxy(QNetworkProxy::HttpProxy, settings.ProxyServer,
                        quint16(qBound(0, settings.ProxyPort, 65535)));
    // With BasicAuthentication the proxy is given the user name and password when it asks for
    // them; without it, it is given none, so a proxy that requires them refuses the request.
    if (settings.BasicAuthentication) {
        proxy.setUser(settings.ProxyUsername);
        proxy.setPassword(settings.ProxyPassword);
    }
    return proxy;
}

QNetworkRequest GetRequestFor(const TzHttpGetJob &job) {
    QNetworkRequest request{QUrl(job.Url)};
    // Follows http -> https too; a step down from https to http is refused.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(job.Limits.TransferTimeoutMs);
    // Certificates are verified on purpose, against the authorities trusted by the process-wide
    // default TLS configuration (the system's, plus any added there): unchecked, anyone on the
    // path could answer the polls and drive the relays.
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    request.setSslConfiguration(tls);
    return request;
}

// Lives on the HTTP thread with the one network manager of the process.
class HttpClient : public QObject {
public:
    ~HttpClient() override {
        // The replies go before the manager that made them.
        qDeleteAll(findChildren<TzHttpGet *>(Qt::FindDirectChildrenOnly));
        delete m_manager;
    }

    void Start(TzHttpGetJob job, std::function<void()> ended) {
        if (!m_manager)
            m_manager = new QNetworkAccessManager;
        // The manager takes the proxy as the request is made, so each request has its own.
        m_manager->setProxy(ProxyFrom(job.Settings));
        QNetworkReply *reply = m_manager->get(GetRequestFor(job));
        new TzHttpGet(reply, std::move(job), std::move(ended), this);
    }

    // The application is quitting: nothing still waiting is worth waiting for.
    void AbortAll() {
        for (TzHttpGet *get : findChildren<TzHttpGet *>(Qt::FindDirectChildrenOnly))
            get->Abort();
    }

private:
    QNetworkAccessManager *m_manager = nullptr;
};

class HttpThread {
public:
    static HttpThread &Instance() {
        static HttpThread instance;
        return instance;
    }

    HttpClient *client() { return m_client; }

private:
    HttpThread() {
        m_thread.setObjectName(QStringLiteral("HTTP"));
        m_client = new HttpClient;
        m_client->moveToThread(&m_thread);
        // Deleted on the thread as it ends, with the manager and whatever is still open.
        QObject::connect(&m_thread, &QThread::finished, m_client, &QObject::deleteLater);
        if (QCoreApplication *app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, m_client,
                             [client = m_client] { client->AbortAll(); });
        m_thread.start();
        // Stopped as the application object goes, while Qt still works.
        qAddPostRoutine([] { Instance().Stop(); });
    }
    ~HttpThread() { Stop(); }

    void Stop() {
        m_thread.quit();
        m_thread.wait();
    }

    QThread m_thread;
    HttpClient *m_client = nullptr;
};
} // namespace

void StartHttpGet(TzHttpGetJob job, std::function<void()> ended) {
    HttpClient *client = HttpThread::Instance().client();
    QMetaObject::invokeMethod(
        client,
        [client, job = std::move(job), ended = std::move(ended)]() mutable {
            client->Start(std::move(job), std::move(ended));
        },
        Qt::QueuedConnection);
}
