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

// The Desktop Entry standard allows no control characters in a value beyond the three it has
// escapes for. A name that was not valid in the file system's encoding arrives with U+FFFD or
// a lone surrogate in it and would name another file.
bool Expressible(const QString &text) {
    if (!text.isValidUtf16())
        return false;
    for (const QChar c : text) {
        const bool escaped =
            c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r');
        if ((c.category() == QChar::Other_Control && !escaped) || c == QChar::ReplacementCharacter)
            return false;
    }
    return true;
}

// One argument of an Exec value as the Desktop Entry standard spells it: quoted, with '"', '`',
// '$' and '\' escaped by a backslash and '%' doubled; then the string escapes of the whole
// value, which double every backslash again. Empty when the argument cannot be expressed.
QString QuotedExecArgument(const QString &argument) {
    if (!Expressible(argument))
        return QString();
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    quoted += QLatin1Char('"');

    QString value;
    for (const QChar c : quoted) {
        if (c == QLatin1Char('\\'))
            value += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\t'))
            value += QStringLiteral("\\t");
        else if (c == QLatin1Char('\n'))
            value += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r'))
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value;
}

// The Exec value for "<program> /autorun": the program's path as one quoted argument. Empty
// when the path cannot be written into a desktop entry.
QString ExecLine(const QString &command) {
    const QString suffix = QStringLiteral(" /autorun");
    const bool autorun = command.endsWith(suffix);
    const QString program = autorun ? command.chopped(suffix.size()) : command;
    const QString quoted = QuotedExecArgument(program);
    if (quoted.isEmpty())
        return QString();
    return autorun ? quoted + suffix : quoted;
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
    const QString exec = ExecLine(command);
    if (exec.isEmpty())
        throw std::runtime_error(
            QStringLiteral("путь программы нельзя записать в запись автозапуска: %1")
                .arg(command)
                .toStdString());
    const QString path = AutostartEntry();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        throw std::runtime_error(file.errorString().toStdString());
    file.write("[Desktop Entry]\nType=Application\nName=" + kValueName.toUtf8() +
               "\nExec=" + exec.toUtf8() + "\nX-GNOME-Autostart-enabled=true\n");
    if (!file.commit())
        throw std::runtime_error(file.errorString().toStdString());
}

void UnregisterAutorun() {
    QFile::remove(AutostartEntry());
}
#endif
