#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QPair>
#include <QPointer>
#include <QSslConfiguration>
#include <QThread>

class QTcpServer;
class QTcpSocket;

// One prepared answer of the test web service.
struct TestReply {
    int status = 200;
    QByteArray contentType{};
    QByteArray body{};
    QByteArray location{};
    int delayMs = 0;
    bool never = false;    // keep the connection open and never answer
    bool held = false;     // answer only when the test calls releaseHeld()
    bool noLength = false; // no Content-Length: the body ends when the connection closes
    int trickleMs = 0;     // send the body one byte at a time, one every trickleMs
};

struct SeenRequest {
    QByteArray target;                    // path and query as sent by the client
    QMap<QByteArray, QByteArray> headers; // names in lower case
};

// A small HTTP/1.1 service on 127.0.0.1 (HTTPS when given a TLS configuration). It runs on its
// own thread, so the test thread may block while requests are served.
class TestWebServer {
public:
    explicit TestWebServer(const QSslConfiguration &tls = {});
    ~TestWebServer();

    bool isListening() const { return m_port != 0; }
    QString url(const QString &path) const;
    void setReply(const QByteArray &path, const TestReply &reply); // path without the query
    QList<SeenRequest> seen() const;
    void clearSeen();
    void releaseHeld(); // answers every request held so far
    QThread *thread() { return &m_thread; }

private:
    void listen(const QSslConfiguration &tls);
    void serve(QTcpServer *server);
    void answer(const QByteArray &request, QTcpSocket *socket);
    static void send(QTcpSocket *socket, const TestReply &reply);

    QThread m_thread;
    QObject *m_context = nullptr;   // lives on m_thread; runs the calls handed to it
    QTcpServer *m_server = nullptr; // lives on m_thread
    bool m_tls = false;
    quint16 m_port = 0;
    mutable QMutex m_mutex;
    QMap<QByteArray, TestReply> m_replies;
    QList<SeenRequest> m_seen;
    QList<QPair<QPointer<QTcpSocket>, TestReply>> m_held; // used on m_thread only
};
