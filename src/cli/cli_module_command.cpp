#include "cli_module_command.h"

#include "session/log_colours.h"

namespace {

// The first contact is given up by the session after a second; the first full read takes a few
// hundred exchanges' time at most. This only catches what nothing else ends.
constexpr int kFirstReadMs = 15000;

} // namespace

CliModuleCommand::CliModuleCommand(TarvexSession &session, const CliOptions &options)
    : CliCommand(options), m_session(session) {
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { fail(m_deadlineFailure); });
}

void CliModuleCommand::start() {
    connect(&m_session, &TarvexSession::connectionStateChanged, this,
            &CliModuleCommand::StateChanged);
    connect(&m_session, &TarvexSession::linkChanged, this, &CliModuleCommand::LinkChanged);
    connect(&m_session, &TarvexSession::logLine, this, &CliModuleCommand::LogLine);
    connect(&m_session, &TarvexSession::warning, this, [this](const QString &text) {
        m_portRefused = true;
        PrintError(text);
    });
    beforeConnect();
    expectWithin(kFirstReadMs, QStringLiteral("%1 не ответил полностью").arg(moduleText()));
    if (!m_session.connectTo(options().line)) {
        fail(QStringLiteral("не удалось подключиться к: %1").arg(moduleText()));
        return;
    }
    // A port that cannot be opened is told at once, in the session's words.
    if (m_portRefused)
        fail(QStringLiteral("порт %1 не открылся").arg(options().line.portName));
}

void CliModuleCommand::expectWithin(int ms, const QString &failure) {
    m_deadlineFailure = failure;
    m_deadline.start(ms);
}

QString CliModuleCommand::moduleText() const {
    const TarvexLineSettings &line = options().line;
    return QStringLiteral("модуль по адресу %1 на %2 (%3, %4)")
        .arg(QString::number(line.address), line.portName, QString::number(line.baudRate),
             ShortFormatText(line.format));
}

void CliModuleCommand::StateChanged(TarvexSession::ConnectionState state) {
    if (done())
        return;
    if (state == TarvexSession::ConnectionState::Idle) {
        fail(m_running ? QStringLiteral("соединение закрыто")
                       : QStringLiteral("%1 не отвечает").arg(moduleText()));
        return;
    }
    if (state != TarvexSession::ConnectionState::Polling || m_running)
        return;
    m_running = true;
    m_deadline.stop();
    run();
}

void CliModuleCommand::LinkChanged(bool lost) {
    if (lost && endsWhenLinkLost())
        fail(QStringLiteral("%1 перестал отвечать").arg(moduleText()));
}

// What went wrong, in the session's own words (the reason a port would not open, a register
// that could not be read); its notes and successes stay out of the way.
void CliModuleCommand::LogLine(const QString &text, quint32 colour) {
    if (colour == LogColor::DarkRed && !text.isEmpty() && !done())
        PrintError(text);
}
