#include "autorun_registration.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include <stdexcept>

namespace {

const QString kValueName = QStringLiteral("Panel Tarvex");

#ifdef Q_OS_WIN
const QString kRunKey =
    QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
#else
QString AutostartEntry() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/panel-tarvex.desktop");
}

// The Exec line of a desktop entry quotes the program's path (it may hold spaces).
QString ExecLine(const QString &command) {
    const QString suffix = QStringLiteral(" /autorun");
    if (!command.endsWith(suffix))
        return command;
    return QLatin1Char('"') + command.chopped(suffix.size()) + QLatin1Char('"') + suffix;
}

QString RegisteredExecLine() {
    QFile file(AutostartEntry());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1String("Exec=")))
            return line.mid(5);
    }
    return QString();
}
#endif

} // namespace

QString AutorunCommand() {
    return QDir::toNativeSeparators(QCoreApplication::applicationFilePath()) +
           QStringLiteral(" /autorun");
}

#ifdef Q_OS_WIN
bool AutorunIsRegistered(const QString &command) {
    return QSettings(kRunKey, QSettings::NativeFormat).value(kValueName).toString() == command;
}

void RegisterAutorun(const QString &command) {
    QSettings run(kRunKey, QSettings::NativeFormat);
    run.setValue(kValueName, command);
    run.sync();
    if (run.status() != QSettings::NoError)
        throw std::runtime_error("cannot write the Run key");
}

void UnregisterAutorun() {
    QSettings(kRunKey, QSettings::NativeFormat).remove(kValueName);
}
#else
bool AutorunIsRegistered(const QString &command) {
    const QString registered = RegisteredExecLine();
    return !registered.isEmpty() && registered == ExecLine(command);
}

void RegisterAutorun(const QString &command) {
    const QString path = AutostartEntry();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        throw std::runtime_error(file.errorString().toStdString());
    file.write("[Desktop Entry]\nType=Application\nName=" + kValueName.toUtf8() +
               "\nExec=" + ExecLine(command).toUtf8() + "\nX-GNOME-Autostart-enabled=true\n");
    if (!file.commit())
        throw std::runtime_error(file.errorString().toStdString());
}

void UnregisterAutorun() {
    QFile::remove(AutostartEntry());
}
#endif
