#include "http_get_task.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QStringDecoder>

#include <memory>

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

QNetworkRequest GetRequestFor(const QString &url) {
    QNetworkRequest request{QUrl(url)};
    // Follows http -> https too; only a step down from https to http is refused.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    // Without a limit a silent server would hold a pool thread, and the exit, for ever.
    request.setTransferTimeout(QNetworkRequest::DefaultTransferTimeoutConstant);
    // Certificates are verified on purpose, against the authorities trusted by the process-wide
    // default TLS configuration (the system's, plus any added there): unchecked, anyone on the
    // path could answer the polls and drive the relays.
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    request.setSslConfiguration(tls);
    return request;
}

// The charset parameter of a Content-Type value ("text/plain; charset=windows-1251"), or empty.
QByteArray CharsetOf(const QByteArray &contentType) {
    const QList<QByteArray> parts = contentType.split(';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray part = parts.at(i).trimmed();
        const qsizetype equals = part.indexOf('=');
        if (equals < 0 || part.left(equals).trimmed().toLower() != "charset")
            continue;
        QByteArray value = part.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return {};
}

// UTF-8 when the server declares no charset or one that is not known here.
QString DecodeBody(const QByteArray &body, const QByteArray &contentType) {
    const QByteArray charset = CharsetOf(contentType);
    QStringDecoder decoder(charset.isEmpty() ? "UTF-8" : charset.constData());
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    return decoder.decode(body);
}

// QCoreApplication waits for the pool's tasks when it ends; a request still waiting for its
// answer is given up at quit so that the exit does not wait for the server.
void AbortAtQuit(QNetworkReply *reply) {
    if (QCoreApplication *app = QCoreApplication::instance())
        QObject::connect(app, &QCoreApplication::aboutToQuit, reply, &QNetworkReply::abort);
}

bool FetchBody(const QString &url, const TzHTTP_Request &settings, QString &body) {
    QNetworkAccessManager manager;
    manager.setProxy(ProxyFrom(settings));
    std::unique_ptr<QNetworkReply> reply(manager.get(GetRequestFor(url)));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    AbortAtQuit(reply.get());
    if (!reply->isFinished())
        loop.exec();
    if (reply->error() != QNetworkReply::NoError)
        return false;
    body = DecodeBody(reply->readAll(), reply->rawHeader("Content-Type"));
    return true;
}
} // namespace

void RunHTTPGetTask(const QString &url, const TzCallbackProc &callback,
                    const TzHTTP_Request &settings) {
    if (QCoreApplication::closingDown())
        return;
    try {
        TzEventCallbackInfo info;
        const bool answered = FetchBody(url, settings, info.Answer);
        // The pool thread has no event loop of its own: release what the manager left behind.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (answered && callback)
            callback(info);
    } catch (...) {
    }
}
