#include "program_files.h"

#include <QDir>
#include <QFileInfo>

#ifndef TARVEX_SHARE_FROM_BIN
#error "TARVEX_SHARE_FROM_BIN comes from the install layout in CMake"
#endif

QStringList ProgramFileCandidates(const QString &exeDir, const QString &relativePath) {
    const QDir dir(exeDir);
    const QString installed = QStringLiteral(TARVEX_SHARE_FROM_BIN "/") + relativePath;
    return {QDir::cleanPath(dir.filePath(relativePath)), QDir::cleanPath(dir.filePath(installed))};
}

QString FindProgramFile(const QString &exeDir, const QString &relativePath) {
    for (const QString &path : ProgramFileCandidates(exeDir, relativePath))
        if (QFileInfo(path).isFile())
            return path;
    return QString();
}
