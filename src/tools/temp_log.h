#pragma once

#include "session/log_colours.h"

#include <QAbstractListModel>
#include <QList>
#include <QString>
#include <QStringList>

// Adds a line at the top. At 1000 lines or more the log is first cut to its 200 newest lines.
void TempLogAdd(const QString &text, quint32 color);
// Puts newText in place of every line that contains key (case-sensitive); colours stay.
void TempLogReplace(const QString &key, const QString &newText);
// Updates the counter line of a Modbus exception code: codes 1..8 have their own lines, any
// other code shares "Других ошибок:".
void TempLogSetErrors(int code, int count);

// The lines of the message log, newest at row 0. Created on first use, so lines written before
// the log window exists are kept and shown once it does.
class TempLogModel : public QAbstractListModel {
    Q_OBJECT
public:
    static TempLogModel &instance();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    QStringList lines() const;
    QList<quint32> colors() const;

    void add(const QString &text, quint32 color);
    void replace(const QString &key, const QString &newText);
    void clear();

private:
    TempLogModel() = default;
    void trim();

    struct Line {
        QString text;
        quint32 color;
    };
    QList<Line> m_lines;
};
