#include "panel_environment.h"

#include <QCoreApplication>
#include <QStandardPaths>

namespace {

QString &ExeDirOverride() {
    static QString dir;
    return dir;
}

QString &ConfigDirOverride() {
    static QString dir;
    return dir;
}

QStringList &ArgumentsOverride() {
    static QStringList arguments;
    return arguments;
}

} // namespace

QString PanelExeDir() {
    return ExeDirOverride().isEmpty() ? QCoreApplication::applicationDirPath() : ExeDirOverride();
}

QString PanelConfigDir() {
    return ConfigDirOverride().isEmpty()
               ? QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
               : ConfigDirOverride();
}

QStringList PanelArguments() {
    return ArgumentsOverride().isEmpty() ? QCoreApplication::arguments() : ArgumentsOverride();
}

void SetPanelExeDir(const QString &dir) {
    ExeDirOverride() = dir;
}

void SetPanelConfigDir(const QString &dir) {
    ConfigDirOverride() = dir;
}

void SetPanelArguments(const QStringList &arguments) {
    ArgumentsOverride() = arguments;
}
