#include "read_only_folder.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_LINUX
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

// Switches CAP_DAC_OVERRIDE in the calling thread's effective set; true when it was on before.
bool SetDacOverride(bool on) {
#ifdef Q_OS_LINUX
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    const quint32 bit = 1u << CAP_DAC_OVERRIDE;
    const bool wasOn = data[0].effective & bit;
    if (on)
        data[0].effective |= bit & data[0].permitted;
    else
        data[0].effective &= ~bit;
    syscall(SYS_capset, &header, data);
    return wasOn;
#else
    Q_UNUSED(on);
    return false;
#endif
}

bool RefusesNewFile(const QString &folder) {
    QFile probe(QDir(folder).filePath(".write-probe"));
    if (!probe.open(QIODevice::WriteOnly))
        return true;
    probe.remove();
    return false;
}

} // namespace

ReadOnlyFolder::ReadOnlyFolder(const QString &path) : m_path(path) {
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                    QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    m_droppedOverride = SetDacOverride(false);
    m_ok = RefusesNewFile(path);
}

ReadOnlyFolder::~ReadOnlyFolder() {
    if (m_droppedOverride)
        SetDacOverride(true);
    QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
