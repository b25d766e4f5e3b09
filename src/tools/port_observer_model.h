#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

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

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static QString HeaderText(int column);

    QString Cell(int row, int column) const { return m_rows[row].cells[column]; }
    void SetCell(int row, int column, const QString &text);
    // Empties every cell of the row; its timing record stays until replaced.
    void EmptyRow(int row);
    int AppendEmptyRow();

    TzRowTick *Tick(int row);
    void SetTick(int row, const TzRowTick &tick);

    int FindRowByReg(int reg) const;             // first row whose timing record has the register
    int FindRowByIndex(const QString &id) const; // first row whose "##" cell is the text

    void ResetToOneEmptyRow();
    void RemoveOldestRows(int count);
    // Rewrites the request and answer cells of every timed row in one view.
    void ShowFrames(bool hex);

private:
    struct Row {
        std::array<QString, ColumnCount> cells;
        std::optional<TzRowTick> tick;
    };

    QList<Row> m_rows;
};
