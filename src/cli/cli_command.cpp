#include "cli_command.h"

#include <cstdio>

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
