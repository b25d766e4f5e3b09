#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Tables saved for spreadsheet programs: UTF-8 with a byte-order mark (without it they take
// Cyrillic for the local code page), ';' between fields, CR LF after every line. A field with
// ';', a quote or a line break is put in quotes, its quotes doubled.
QString CsvField(const QString &text);
QByteArray CsvDocument(const QList<QStringList> &lines);

// Writes the whole file or, on failure, leaves what was there; false with the reason in error.
bool SaveCsvFile(const QString &path, const QList<QStringList> &lines, QString *error = nullptr);
