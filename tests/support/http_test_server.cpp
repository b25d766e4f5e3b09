#include "http_test_server.h"

#include <QMutexLocker>
#include <QSslServer>
#include <QSslSocket>
#include <QTimer>
#include <QUrl>

namespace {
QByteArray ReasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    default:
        return "Status";
    }
}

QByteArray ResponseHead(const TestReply &reply) {
    QByteArray bytes =
        "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + ReasonPhrase(reply.status) + "\r\n";
    if (!reply.contentType.isEmpty())
        bytes += "Content-Type: " + reply.contentType + "\r\n";
    if (!reply.location.isEmpty())
        bytes += "Location: " + reply.location + "\r\n";
    if (!reply.noLength)
        bytes += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    bytes += "Connection: close\r\n\r\n";
    return bytes;
}

SeenRequest ParseRequest(const QByteArray &head) {
    SeenRequest seen;
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    seen.target = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            seen.headers.insert(line.left(colon).trimmed().toLower(),
                                line.mid(colon + 1).trimmed());
    }
    return seen;
}
} // namespace

TestWebServer::TestWebServer(const QSslConfiguration &tls) {
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    m_thread.start();
    QMetaObject::invokeMethod(
        m_context, [this, tls] { listen(tls); }, Qt::BlockingQueuedConnection);
}

TestWebServer::~TestWebServer() {
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            delete m_server;
            m_context->deleteLater(); // done as the thread ends
        },
        Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

QString TestWebServer::url(const QString &path) const {
    return QStringLiteral("%1://127.0.0.1:%2%3")
        .arg(m_tls ? "https" : "http")
        .arg(m_port)
        .arg(path);
}

void TestWebServer::setReply(const QByteArray &path, const TestReply &reply) {
    QMutexLocker lock(&m_mutex);
    m_replies.insert(path, reply);
}

QList<SeenRequest> TestWebServer::seen() const {
    QMutexLocker lock(&m_mutex);
    return m_seen;
}

void TestWebServer::clearSeen() {
    QMutexLocker lock(&m_mutex);
    m_seen.clear();
}

void TestWebServer::listen(const QSslConfiguration &tls) {
    m_tls = !tls.isNull();
    if (m_tls) {
        auto *server = new QSslServer;
        server->setSslConfiguration(tls);
        m_server = server;
    } else {
        m_server = new QTcpServer;
    }
    QObject::connect(m_server, &QTcpServer::pendingConnectionAvailable, m_server,
                     [this] { serve(m_server); });
    if (m_server->listen(QHostAddress::LocalHost))
        m_port = m_server->serverPort();
}

void TestWebServer::serve(QTcpServer *server) {
    while (QTcpSocket *socket = server->nextPendingConnection()) {
        socket->setParent(server); // closed with the server
        auto buffer = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            *buffer += socket->readAll();
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end >= 0) {
                answer(buffer->left(end), socket);
                buffer->clear();
            }
        });
    }
}

void TestWebServer::answer(const QByteArray &head, QTcpSocket *socket) {
    const SeenRequest seen = ParseRequest(head);
    TestReply reply{.status = 404};
    {
        QMutexLocker lock(&m_mutex);
        m_seen.append(seen);
        reply = m_replies.value(QUrl(QString::fromLatin1(seen.target)).path().toLatin1(), reply);
    }
    if (reply.never)
        return;
    if (reply.held) {
        m_held.append({socket, reply});
        return;
    }
    QTimer::singleShot(reply.delayMs, socket, [socket, reply] { send(socket, reply); });
}

void TestWebServer::send(QTcpSocket *socket, const TestReply &reply) {
    if (reply.trickleMs <= 0) {
        socket->write(ResponseHead(reply) + reply.body);
        socket->disconnectFromHost();
        return;
    }
    socket->write(ResponseHead(reply));
    auto *timer = new QTimer(socket);
    auto sent = std::make_shared<qsizetype>(0);
    QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, sent, body = reply.body] {
        if (*sent == body.size()) {
            timer->stop();
            socket->disconnectFromHost();
            return;
        }
        socket->write(body.mid((*sent)++, 1));
    });
    timer->start(reply.trickleMs);
}

void TestWebServer::releaseHeld() {
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            for (const auto &[socket, reply] : std::as_const(m_held))
                if (socket)
                    send(socket, reply);
            m_held.clear();
        },
        Qt::BlockingQueuedConnection);
}
