#include "tiny_proxy.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

namespace {
quint16 FreeLocalPort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
}

bool Accepts(quint16 port) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(1000);
}
} // namespace

TinyProxy::~TinyProxy() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool TinyProxy::start(const QString &dir, const QString &user, const QString &password,
                      quint16 connectPort) {
    const quint16 port = FreeLocalPort();
    const QString configPath = dir + "/tinyproxy.conf";
    QFile config(configPath);
    if (port == 0 || !config.open(QIODevice::WriteOnly))
        return false;
    config.write(QStringLiteral("Port %1\n"
                                "Listen 127.0.0.1\n"
                                "Timeout 60\n"
                                "MaxClients 20\n"
                                "Allow 127.0.0.1\n"
                                "BasicAuth %2 %3\n"
                                "ConnectPort %4\n"
                                "LogLevel Info\n")
                     .arg(port)
                     .arg(user, password)
                     .arg(connectPort)
                     .toUtf8());
    config.close();

    m_logPath = dir + "/tinyproxy.log";
    m_process.setStandardOutputFile(m_logPath);
    m_process.setStandardErrorFile(m_logPath, QIODevice::Append);
#ifdef Q_OS_LINUX
    // A test that crashes must not leave the proxy running.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    m_process.start("tinyproxy", {"-d", "-c", configPath});
    if (!m_process.waitForStarted(10000))
        return false;
    const QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        if (Accepts(port)) {
            m_port = port;
            return true;
        }
        QThread::msleep(50);
    }
    return false;
}

QString TinyProxy::log() const {
    QFile file(m_logPath);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
