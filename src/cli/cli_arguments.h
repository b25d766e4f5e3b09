#pragma once

#include "session/line_settings.h"

#include <QHash>
#include <QString>
#include <QStringList>

// What the command line asks for: the line and the module on it, the output form, and the
// command with its own arguments.
struct CliOptions {
    TarvexLineSettings line;
    bool addressGiven = false; // --addr stood on the line; the search has no use for it
    bool json = false;
    QString command;
    QStringList commandArgs; // after the command, the line's options taken out
};

// Reads the arguments after the program name. The line's options and --json may stand anywhere;
// the first other word is the command, and what follows it is the command's. False, with the
// reason in plain words, for a bad or missing one.
bool ParseCliArguments(const QStringList &arguments, CliOptions &options, QString &error);

// A whole decimal number within min..max.
bool ParseNumber(const QString &text, int min, int max, int &value);

// A command's own arguments: "--name VALUE" (or "--name=VALUE") for the names in valueOptions,
// the rest in order as positional words. False for an unknown option or one without its value.
bool SplitCommandArguments(const QStringList &arguments, const QStringList &valueOptions,
                           QHash<QString, QString> &values, QStringList &positional,
                           QString &error);
