#include "cli_commands.h"

const QList<CliCommandInfo> &CliCommands() {
    static const QList<CliCommandInfo> commands = {StatusCommandInfo(), SwitchCommandInfo(),
                                                   PwmCommandInfo(), MonitorCommandInfo(),
                                                   SearchCommandInfo()};
    return commands;
}

const CliCommandInfo *FindCliCommand(const QString &name) {
    for (const CliCommandInfo &command : CliCommands())
        if (command.names.contains(name))
            return &command;
    return nullptr;
}
