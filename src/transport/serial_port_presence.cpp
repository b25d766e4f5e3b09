#include "serial_port_presence.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

bool SerialPortPresent(const QString &name) {
#ifdef Q_OS_WIN
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        if (info.portName().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
#else
    return QFileInfo::exists(QDir::isAbsolutePath(name) ? name : QStringLiteral("/dev/") + name);
#endif
}
