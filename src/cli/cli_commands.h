#pragma once

#include "cli_command.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class TarvexSession;

// A command as the program knows it: its names, its lines in --help and how it is made.
// A new command is one file that returns its CliCommandInfo, named in the table of
// cli_commands.cpp.
struct CliCommandInfo {
    QStringList names; // "on" and "off" share one command
    QString usage;     // lines for --help, each beginning with the command
    std::function<std::unique_ptr<CliCommand>(const QString &name, TarvexSession &session,
                                              const CliOptions &options)>
        make;
};

const QList<CliCommandInfo> &CliCommands();
const CliCommandInfo *FindCliCommand(const QString &name); // nullptr for an unknown name

CliCommandInfo StatusCommandInfo();
CliCommandInfo SwitchCommandInfo();
CliCommandInfo PwmCommandInfo();
CliCommandInfo MonitorCommandInfo();
CliCommandInfo SearchCommandInfo();
