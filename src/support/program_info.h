#pragma once

#include <QString>
#include <QStringList>

// The project's version as the build names it, e.g. "0.5.2".
QString ProgramVersion();

// The command line as text, program name first. Needs no application object.
QStringList ArgumentList(int argc, char **argv);

// What a program prints instead of starting when its arguments ask only for information:
// "--version" (or "-v") gives its name and version, "--help" (or "-h") the usage text. Empty when
// the arguments ask for neither. Answered before any window exists, so it needs no display.
QString InfoRequestAnswer(const QStringList &arguments, const QString &programName,
                          const QString &usage);
