#include "panel_environment.h"

#include <QCoreApplication>

namespace {

QString &ExeDirOverride() {
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

QStringList PanelArguments() {
    return ArgumentsOverride().isEmpty() ? QCoreApplication::arguments() : ArgumentsOverride();
}

void SetPanelExeDir(const QString &dir) {
    ExeDirOverride() = dir;
}

void SetPanelArguments(const QStringList &arguments) {
    ArgumentsOverride() = arguments;
}
