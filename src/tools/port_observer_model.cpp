#include "port_observer_model.h"

#include "model/port_observer_entry.h"
#include "model/port_observer_texts.h"

namespace {

const char *const kHeaders[] = {"##",       "Время",    "Регистр", "Ф-ция", "Таймаут",
                                "Значение", "Название", "Запрос",  "Ответ"};

} // namespace

TzPortObserverModel::TzPortObserverModel(QObject *parent) : QAbstractTableModel(parent) {
    m_rows.emplace_back();
    m_shown = 1;
}

int TzPortObserverModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : m_shown;
}

int TzPortObserverModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TzPortObserverModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole || index.row() >= m_shown)
        return {};
    return m_rows[size_t(index.row())].cells[index.column()];
}

QVariant TzPortObserverModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return HeaderText(section);
}

QString TzPortObserverModel::HeaderText(int column) {
    return QString::fromUtf8(kHeaders[column]);
}

bool TzPortObserverModel::HasPendingChanges() const {
    return RowTotal() > m_shown || m_changedFirst >= 0;
}

bool TzPortObserverModel::ShowPendingRows() {
    if (m_changedFirst >= 0) {
        emit dataChanged(index(m_changedFirst, 0), index(m_changedLast, ColumnCount - 1),
                         {Qt::DisplayRole});
        m_changedFirst = m_changedLast = -1;
    }
    if (RowTotal() == m_shown)
        return false;
    beginInsertRows({}, m_shown, RowTotal() - 1);
    m_shown = RowTotal();
    endInsertRows();
    return true;
}

void TzPortObserverModel::MarkChanged(int row) {
    if (row >= m_shown)
        return; // announced with its insertion
    m_changedFirst = m_changedFirst < 0 ? row : qMin(m_changedFirst, row);
    m_changedLast = qMax(m_changedLast, row);
}

int TzPortObserverModel::AppendEmptyRow() {
    m_rows.emplace_back();
    return RowTotal() - 1;
}

void TzPortObserverModel::EmptyRow(int row) {
    Row &r = m_rows[size_t(row)];
    r.cells = {};
    if (r.hasId && m_serialById.value(r.id, -1) == SerialOf(row))
        m_serialById.remove(r.id);
    r.hasId = false;
    MarkChanged(row);
}

TzRowTick *TzPortObserverModel::Tick(int row) {
    std::optional<TzRowTick> &tick = m_rows[size_t(row)].tick;
    return tick ? &*tick : nullptr;
}

void TzPortObserverModel::FillRequest(int row, const TzPortObsEntry &entry, bool hex,
                                      bool keepAnswer) {
    Row &r = m_rows[size_t(row)];
    const qint64 serial = SerialOf(row);
    if (r.hasId && m_serialById.value(r.id, -1) == serial)
        m_serialById.remove(r.id); // an answer to the request this row showed before is dropped
    r.id = entry.Rec.Index;
    r.hasId = true;
    m_serialById.insert(r.id, serial);

    r.cells[colIndex] = entry.IndexText;
    r.cells[colTime] = entry.TimeText;
    r.cells[colReg] = entry.RegText;
    r.cells[colName] = entry.Rec.Name;
    r.cells[colFunc] = entry.FuncText;
    r.cells[colRequest] = hex ? entry.CmdHex : entry.CmdDec;

    TzRowTick tick = keepAnswer && r.tick ? *r.tick : TzRowTick{};
    tick.TickCount = entry.TickCount;
    tick.RequestHex = entry.CmdHex;
    tick.RequestDec = entry.CmdDec;
    tick.Name = entry.Rec.Name;
    tick.Reg = entry.Rec.Reg;
    r.tick = std::move(tick);
    // The first row from the top is the register's row.
    const int keyed = FindRowByReg(entry.Rec.Reg);
    if (keyed < 0 || keyed > row)
        m_serialByReg.insert(entry.Rec.Reg, serial);
    MarkChanged(row);
}

bool TzPortObserverModel::FillAnswer(int row, const TzPortObsEntry &entry, bool hex,
                                     uint32_t elapsed) {
    Row &r = m_rows[size_t(row)];
    if (r.tick) {
        r.tick->AnswerHex = entry.CmdHex;
        r.tick->AnswerDec = entry.CmdDec;
    }
    r.cells[colValue] = entry.Rec.Value;
    r.cells[colTimeout] = ElapsedText(elapsed);
    QString &answer = r.cells[colAnswer];
    const QString &text = hex ? entry.CmdHex : entry.CmdDec;
    const bool changed = answer != text;
    answer = text;
    MarkChanged(row);
    return changed;
}

int TzPortObserverModel::RowOfSerial(qint64 serial) const {
    const qint64 row = serial - m_firstSerial;
    return row >= 0 && row < qint64(m_rows.size()) ? int(row) : -1;
}

int TzPortObserverModel::FindRowByReg(int reg) const {
    const int row = RowOfSerial(m_serialByReg.value(reg, -1));
    if (row < 0)
        return -1;
    const std::optional<TzRowTick> &tick = m_rows[size_t(row)].tick;
    return tick && tick->Reg == reg ? row : -1;
}

int TzPortObserverModel::FindRowByIndex(int id) const {
    const int row = RowOfSerial(m_serialById.value(id, -1));
    if (row < 0)
        return -1;
    const Row &r = m_rows[size_t(row)];
    return r.hasId && r.id == id ? row : -1;
}

void TzPortObserverModel::ResetToOneEmptyRow() {
    beginResetModel();
    m_rows.clear();
    m_rows.emplace_back();
    m_shown = 1;
    m_firstSerial = 0;
    m_serialById.clear();
    m_serialByReg.clear();
    m_changedFirst = m_changedLast = -1;
    endResetModel();
}

void TzPortObserverModel::Forget(int row) {
    const Row &r = m_rows[size_t(row)];
    const qint64 serial = SerialOf(row);
    if (r.hasId && m_serialById.value(r.id, -1) == serial)
        m_serialById.remove(r.id);
    if (r.tick && m_serialByReg.value(r.tick->Reg, -1) == serial)
        m_serialByReg.remove(r.tick->Reg);
}

void TzPortObserverModel::RemoveOldestRows(int count) {
    ShowPendingRows(); // the cut works on rows the view knows
    count = qMin(count, RowTotal());
    if (count <= 0)
        return;
    beginRemoveRows({}, 0, count - 1);
    for (int row = 0; row < count; ++row)
        Forget(row);
    m_rows.erase(m_rows.begin(), m_rows.begin() + count);
    m_firstSerial += count;
    m_shown -= count;
    endRemoveRows();
}

void TzPortObserverModel::ShowFrames(bool hex) {
    for (Row &row : m_rows) {
        if (!row.tick)
            continue;
        row.cells[colRequest] = hex ? row.tick->RequestHex : row.tick->RequestDec;
        row.cells[colAnswer] = hex ? row.tick->AnswerHex : row.tick->AnswerDec;
    }
    if (m_shown > 0) {
        MarkChanged(0);
        MarkChanged(m_shown - 1);
    }
}
