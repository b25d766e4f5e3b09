#pragma once

#include "cli_command.h"
#include "session/tarvex_session.h"

#include <QTimer>

// A command that talks to one module through the session: it connects, waits for the first full
// read, and runs once the module is polled. A module that does not answer ends it with status 1:
// the session gives up the first contact after a second; a connection that ends or a link that
// is lost later ends it too, as does a wait that outlasts its deadline.
class CliModuleCommand : public CliCommand {
    Q_OBJECT
public:
    CliModuleCommand(TarvexSession &session, const CliOptions &options);
    void start() final;

protected:
    TarvexSession &session() { return m_session; }
    // The module is polled; the session holds everything the first full read brought.
    virtual void run() = 0;
    // Called before the connection starts, for a command that watches it from its first frame.
    virtual void beforeConnect() {}
    // The monitor goes on showing a module that stopped answering.
    virtual bool endsWhenLinkLost() const { return true; }
    // Ends the command with status 1 and the message unless it is done within ms.
    void expectWithin(int ms, const QString &failure);
    void stopDeadline() { m_deadline.stop(); }
    QString moduleText() const; // "модуль по адресу 16 на /dev/pts/3 (9600, RTU 8N1)"

private:
    void StateChanged(TarvexSession::ConnectionState state);
    void LinkChanged(bool lost);
    void LogLine(const QString &text, quint32 colour);

    TarvexSession &m_session;
    QTimer m_deadline;
    QString m_deadlineFailure;
    bool m_running = false;
    bool m_portRefused = false;
};
