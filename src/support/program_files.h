#pragma once

#include <QString>
#include <QStringList>

// Files the program ships beside it, such as "Doc/Панель управления Tarvex.pdf", are looked for
// in two places, in this order: next to the executable (a build tree or a program copied into
// one folder), then in the installed share folder found from the executable's folder
// (<prefix>/bin -> <prefix>/share/tarvex-panel).
QStringList ProgramFileCandidates(const QString &exeDir, const QString &relativePath);

// The first candidate that exists, or an empty text when none does.
QString FindProgramFile(const QString &exeDir, const QString &relativePath);
