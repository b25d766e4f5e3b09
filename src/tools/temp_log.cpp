#include "temp_log.h"

#include "widgets/win_color.h"

#include <QBrush>

namespace {

constexpr int kTrimAt = 1000;
constexpr int kKeepAfterTrim = 200;

} // namespace

void TempLogAdd(const QString &text, quint32 color) {
    TempLogModel::instance().add(text, color);
}

void TempLogReplace(const QString &key, const QString &newText) {
    TempLogModel::instance().replace(key, newText);
}

void TempLogSetErrors(int code, int count) {
    if (code >= 1 && code <= 8) {
        const QString key = QStringLiteral("Ошибок 0") + QString::number(code);
        TempLogReplace(key, key + QStringLiteral("h: ") + QString::number(count));
    } else {
        TempLogReplace(QStringLiteral("Других ошибок:"),
                       QStringLiteral("Других ошибок: ") + QString::number(count));
    }
}

TempLogModel &TempLogModel::instance() {
    static TempLogModel model;
    return model;
}

int TempLogModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : m_lines.size();
}

QVariant TempLogModel::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Line &line = m_lines.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return line.text;
    case Qt::ForegroundRole:
        return QBrush(WinColor(line.color));
    default:
        return {};
    }
}

QStringList TempLogModel::lines() const {
    QStringList result;
    result.reserve(m_lines.size());
    for (const Line &line : m_lines)
        result.append(line.text);
    return result;
}

QList<quint32> TempLogModel::colors() const {
    QList<quint32> result;
    result.reserve(m_lines.size());
    for (const Line &line : m_lines)
        result.append(line.color);
    return result;
}

void TempLogModel::add(const QString &text, quint32 color) {
    trim();
    beginInsertRows(QModelIndex(), 0, 0);
    m_lines.prepend({text, color});
    endInsertRows();
}

void TempLogModel::replace(const QString &key, const QString &newText) {
    if (key.isEmpty())
        return;
    for (int row = 0; row < m_lines.size(); ++row) {
        if (m_lines[row].text.contains(key)) {
            m_lines[row].text = newText;
            const QModelIndex changed = index(row);
            emit dataChanged(changed, changed, {Qt::DisplayRole});
        }
    }
}

void TempLogModel::clear() {
    beginResetModel();
    m_lines.clear();
    endResetModel();
}

void TempLogModel::trim() {
    if (m_lines.size() < kTrimAt)
        return;
    beginRemoveRows(QModelIndex(), kKeepAfterTrim, m_lines.size() - 1);
    m_lines.resize(kKeepAfterTrim);
    endRemoveRows();
}
