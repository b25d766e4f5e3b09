#include "blocked_autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

BlockedAutostartFolder::BlockedAutostartFolder()
    : m_path(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
             QStringLiteral("/autostart")) {
    QDir(m_path).removeRecursively();
    QDir().mkpath(QFileInfo(m_path).path());
    QFile blocker(m_path);
    m_ok = blocker.open(QIODevice::WriteOnly);
}

BlockedAutostartFolder::~BlockedAutostartFolder() {
    QFile::remove(m_path);
}
