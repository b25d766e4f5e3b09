#pragma once

#include <QWidget>

class QListView;

// The message log window "Лог": a read-only view of TempLogModel. Closing it only hides it.
class TfrmTempLog : public QWidget {
    Q_OBJECT
public:
    explicit TfrmTempLog(QWidget *parent = nullptr);
    ~TfrmTempLog() override;

    // Centres the window over the main window.
    void RePos(QWidget *mainWindow);

    QListView *Rich() const { return m_rich; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void AddErrorCounterLines();
    void CopySelectedLines();

    QListView *m_rich = nullptr;
};
