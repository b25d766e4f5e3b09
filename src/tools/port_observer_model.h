#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QString>

#include <array>
#include <cstdint>
#include <deque>
#include <optional>

struct TzPortObsEntry;

// Timing and both renderings of a monitor row; it lives and dies with its row.
struct TzRowTick {
    uint32_t TickCount = 0; // tick counter when the request was entered
    QString RequestHex;
    QString RequestDec;
    QString AnswerHex;
    QString AnswerDec;
    QString Name;
    int Reg = 0; // the row's key in static mode
};

// The line monitor's rows. The view's header row is the grid's fixed header row, so the grid's
// row count is rowCount() + 1.
//
// New rows are held back until ShowPendingRows() announces them to the view in one step, and
// changed cells are announced there too: at thousands of records a second the view is told
// about them a few times a second instead of once per cell. The row of a request id and of a
// register is found through a map, kept right when the oldest rows are cut.
class TzPortObserverModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        colIndex,
        colTime,
        colReg,
        colFunc,
        colTimeout,
        colValue,
        colName,
        colRequest,
        colAnswer,
        ColumnCount
    };

    explicit TzPortObserverModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override; // the rows shown
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static QString HeaderText(int column);

    int RowTotal() const { return int(m_rows.size()); } // the rows shown and the pending ones
    bool HasPendingChanges() const;
    // Announces the pending rows and the changed cells; true when rows were added.
    bool ShowPendingRows();

    QString Cell(int row, int column) const { return m_rows[size_t(row)].cells[column]; }
    int AppendEmptyRow(); // pending until ShowPendingRows
    void EmptyRow(int row);
    TzRowTick *Tick(int row);

    // A request entered into the row; a matched static row keeps its answer.
    void FillRequest(int row, const TzPortObsEntry &entry, bool hex, bool keepAnswer);
    // An answer written into the row; false when the answer column's text did not change.
    bool FillAnswer(int row, const TzPortObsEntry &entry, bool hex, uint32_t elapsed);

    int FindRowByReg(int reg) const;  // the row of a register (static mode keeps one per register)
    int FindRowByIndex(int id) const; // the row whose "##" is the id; -1 when none

    void ResetToOneEmptyRow();
    void RemoveOldestRows(int count);
    // Rewrites the request and answer cells of every timed row in one view.
    void ShowFrames(bool hex);

private:
    struct Row {
        std::array<QString, ColumnCount> cells;
        std::optional<TzRowTick> tick;
        int id = 0;
        bool hasId = false;
    };

    int RowOfSerial(qint64 serial) const;
    qint64 SerialOf(int row) const { return m_firstSerial + row; }
    void MarkChanged(int row);
    void Forget(int row);

    std::deque<Row> m_rows;
    int m_shown = 0;          // rows announced to the view
    qint64 m_firstSerial = 0; // serial number of the first row; serials survive the cuts
    QHash<int, qint64> m_serialById;
    QHash<int, qint64> m_serialByReg;
    int m_changedFirst = -1; // shown rows changed since they were last announced
    int m_changedLast = -1;
};
