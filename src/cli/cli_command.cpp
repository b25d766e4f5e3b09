#include "cli_command.h"

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

void CliCommand::fail(const QString &message) {
    if (m_done)
        return;
    PrintError(message);
    finish(ModuleFailure);
}

void CliCommand::finish(int exitStatus) {
    if (m_done)
        return;
    m_done = true;
    emit finished(exitStatus);
}

void PrintLine(const QString &line) {
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void PrintError(const QString &message) {
    std::fputs(
        (QStringLiteral("tarvex-cli: ") + message + QLatin1Char('\n')).toLocal8Bit().constData(),
        stderr);
    std::fflush(stderr);
}

void PrintProgress(const QString &text) {
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

bool ErrorIsTerminal() {
#ifdef Q_OS_WIN
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}
