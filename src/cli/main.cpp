// tarvex-cli: the Tarvex module from the command line, through the same session as the panel.
#include "cli_arguments.h"
#include "cli_commands.h"
#include "cli_usage.h"
#include "session/tarvex_session.h"
#include "support/program_info.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[]) {
    const QStringList arguments = ArgumentList(argc, argv);
    const QString info = InfoRequestAnswer(arguments, QStringLiteral("tarvex-cli"), CliUsage());
    if (!info.isEmpty()) {
        std::fputs(info.toLocal8Bit().constData(), stdout);
        return 0;
    }

    // Bad arguments are told before anything is opened.
    CliOptions options;
    QString error;
    const CliCommandInfo *command = nullptr;
    if (ParseCliArguments(arguments.mid(1), options, error)) {
        command = FindCliCommand(options.command);
        if (!command)
            error = QStringLiteral("неизвестная команда «%1»").arg(options.command);
    }
    QCoreApplication app(argc, argv);
    TarvexSession session;
    std::unique_ptr<CliCommand> run =
        command ? command->make(options.command, session, options) : nullptr;
    if (run && !run->parse(options.commandArgs, error))
        run.reset();
    if (!run) {
        PrintError(error);
        PrintError(QStringLiteral("справка: tarvex-cli --help"));
        return CliCommand::BadArguments;
    }
    QObject::connect(run.get(), &CliCommand::finished, &app, &QCoreApplication::exit,
                     Qt::QueuedConnection);
    run->start();
    return app.exec();
}
