#pragma once

#include <QString>
#include <QStringList>

// Where the panel keeps its files, and its command line. Tests put both elsewhere.

QString PanelExeDir();        // the executable's folder (Options.xml and Doc/ are found there)
QString PanelConfigDir();     // the user's configuration folder, for options the former refuses
QStringList PanelArguments(); // the command line, program name first

void SetPanelExeDir(const QString &dir);              // an empty text restores the real one
void SetPanelConfigDir(const QString &dir);           // an empty text restores the real one
void SetPanelArguments(const QStringList &arguments); // an empty list restores the real one
