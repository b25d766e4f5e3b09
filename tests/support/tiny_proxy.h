#pragma once

#include <QProcess>
#include <QString>

// A real HTTP proxy for the tests: tinyproxy on 127.0.0.1, run in the foreground by the test and
// stopped with it. It requires Basic authentication and adds a Via header to what it forwards.
class TinyProxy {
public:
    ~TinyProxy();

    // Writes the configuration into dir and waits until the proxy accepts connections.
    // CONNECT (the https tunnel) is allowed to connectPort only.
    bool start(const QString &dir, const QString &user, const QString &password,
               quint16 connectPort);
    quint16 port() const { return m_port; }
    QString log() const;

private:
    QProcess m_process;
    QString m_logPath;
    quint16 m_port = 0;
};
