#pragma once

#include "cli_arguments.h"

#include <QObject>
#include <QString>

// One command of tarvex-cli. It takes its own arguments first, before anything is opened, then
// runs on the event loop and ends with an exit status: 0 done, 1 the module did not answer,
// refused or did not confirm, 2 bad arguments.
class CliCommand : public QObject {
    Q_OBJECT
public:
    enum ExitStatus { Success = 0, ModuleFailure = 1, BadArguments = 2 };

    explicit CliCommand(const CliOptions &options) : m_options(options) {}

    // The command's own arguments (options.commandArgs); false with the reason for a bad one.
    virtual bool parse(const QStringList &arguments, QString &error) = 0;
    virtual void start() = 0;

signals:
    void finished(int exitStatus); // once

protected:
    const CliOptions &options() const { return m_options; }
    bool done() const { return m_done; }
    void succeed() { finish(Success); }
    void fail(const QString &message); // on standard error, then status 1
    void finish(int exitStatus);

private:
    CliOptions m_options;
    bool m_done = false;
};

// Output of the program: a line on standard output, flushed at once so that a reader of a pipe
// sees it as it comes; an error as "tarvex-cli: <text>" on standard error.
void PrintLine(const QString &line);
void PrintError(const QString &message);
// Progress for an operator watching: text on standard error as it is, with no line ended.
void PrintProgress(const QString &text);
bool ErrorIsTerminal(); // standard error goes to a terminal, not to a pipe or a file
