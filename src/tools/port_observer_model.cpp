#include "port_observer_model.h"

namespace {

const char *const kHeaders[] = {"##",       "Время",    "Регистр", "Ф-ция", "Таймаут",
                                "Значение", "Название", "Запрос",  "Ответ"};

} // namespace

TzPortObserverModel::TzPortObserverModel(QObject *parent) : QAbstractTableModel(parent) {
    m_rows.append(Row{});
}

int TzPortObserverModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TzPortObserverModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TzPortObserverModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    return m_rows[index.row()].cells[index.column()];
}

QVariant TzPortObserverModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return HeaderText(section);
}

QString TzPortObserverModel::HeaderText(int column) {
    return QString::fromUtf8(kHeaders[column]);
}

void TzPortObserverModel::SetCell(int row, int column, const QString &text) {
    m_rows[row].cells[column] = text;
    const QModelIndex cell = index(row, column);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

void TzPortObserverModel::EmptyRow(int row) {
    m_rows[row].cells = {};
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1), {Qt::DisplayRole});
}

int TzPortObserverModel::AppendEmptyRow() {
    const int row = int(m_rows.size());
    beginInsertRows({}, row, row);
    m_rows.append(Row{});
    endInsertRows();
    return row;
}

TzRowTick *TzPortObserverModel::Tick(int row) {
    std::optional<TzRowTick> &tick = m_rows[row].tick;
    return tick ? &*tick : nullptr;
}

void TzPortObserverModel::SetTick(int row, const TzRowTick &tick) {
    m_rows[row].tick = tick;
}

int TzPortObserverModel::FindRowByReg(int reg) const {
    for (int row = 0; row < m_rows.size(); ++row)
        if (m_rows[row].tick && m_rows[row].tick->Reg == reg)
            return row;
    return -1;
}

int TzPortObserverModel::FindRowByIndex(const QString &id) const {
    for (int row = 0; row < m_rows.size(); ++row)
        if (m_rows[row].cells[colIndex] == id)
            return row;
    return -1;
}

void TzPortObserverModel::ResetToOneEmptyRow() {
    beginResetModel();
    m_rows.clear();
    m_rows.append(Row{});
    endResetModel();
}

void TzPortObserverModel::RemoveOldestRows(int count) {
    count = qMin(count, int(m_rows.size()));
    if (count <= 0)
        return;
    beginRemoveRows({}, 0, count - 1);
    m_rows.remove(0, count);
    endRemoveRows();
}

void TzPortObserverModel::ShowFrames(bool hex) {
    for (Row &row : m_rows) {
        if (!row.tick)
            continue;
        row.cells[colRequest] = hex ? row.tick->RequestHex : row.tick->RequestDec;
        row.cells[colAnswer] = hex ? row.tick->AnswerHex : row.tick->AnswerDec;
    }
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, colRequest), index(int(m_rows.size()) - 1, colAnswer),
                         {Qt::DisplayRole});
}
