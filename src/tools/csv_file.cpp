#include "csv_file.h"

#include <QSaveFile>

QString CsvField(const QString &text) {
    const bool quoted = text.contains(QLatin1Char(';')) || text.contains(QLatin1Char('"')) ||
                        text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
    if (!quoted)
        return text;
    QString field = text;
    field.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + field + QLatin1Char('"');
}

QByteArray CsvDocument(const QList<QStringList> &lines) {
    QString text;
    for (const QStringList &line : lines) {
        QStringList fields;
        fields.reserve(line.size());
        for (const QString &field : line)
            fields << CsvField(field);
        text += fields.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    }
    return QByteArrayLiteral("\xEF\xBB\xBF") + text.toUtf8();
}

bool SaveCsvFile(const QString &path, const QList<QStringList> &lines, QString *error) {
    QSaveFile file(path);
    const QByteArray document = CsvDocument(lines);
    if (file.open(QIODevice::WriteOnly) && file.write(document) == document.size() && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    file.cancelWriting();
    return false;
}
