#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One version in the version history: its caption and its text, line by line.
struct TzVersionNote {
    QString Caption;
    QStringList Lines;
};

// The panel's versions, newest first.
const QList<TzVersionNote> &VersionNotes();
