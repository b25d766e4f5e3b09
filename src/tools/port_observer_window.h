#pragma once

#include "port_observers.h"

#include <QWidget>

#include <cstdint>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableView;
class QTimer;
class QToolButton;
class TzPortObserverModel;

// The line monitor "Наблюдение за линией": one grid row per request on the line, completed by its
// answers. The panel may open several; each one receives every record while it is open.
class TfrmPortObserver : public QWidget, public TzPortObserver {
    Q_OBJECT
public:
    explicit TfrmPortObserver(QWidget *owner = nullptr);
    ~TfrmPortObserver() override;

    // Safe from any thread: a record from elsewhere is queued to the window's thread.
    void AddRequest(const TzPortObsRec &rec) override;
    void AddAnswer(const TzPortObsRec &rec) override;

    void Clear();

    // The port only names the window.
    void SetComPort(int comPort, const QString &portName);
    int ComPort() const { return m_comPort; }

    // The millisecond tick counter behind the "Таймаут" column.
    static std::function<uint32_t()> TickSource;

    QTableView *SG = nullptr;
    QPushButton *btnFilters = nullptr;
    QCheckBox *chFilters = nullptr;
    QPushButton *btnClear = nullptr;
    QToolButton *btnPause = nullptr;
    QToolButton *btnPin = nullptr;
    QGroupBox *gbFilters = nullptr;
    QCheckBox *chFilterFunc = nullptr;
    QComboBox *cbFunc = nullptr;
    QCheckBox *chFilterReg = nullptr;
    QSpinBox *txtReg = nullptr;
    QRadioButton *rbHex = nullptr;
    QRadioButton *rbDec = nullptr;
    QRadioButton *rbStatica = nullptr;
    QRadioButton *rbDinamica = nullptr;
    QPushButton *btnAutoLimit = nullptr;
    QTimer *AutoClearTimer = nullptr;
    QTimer *InterfaceTimer = nullptr;

public slots:
    void AutoClearTimerTimer(); // cuts the oldest rows of a table above its limit
    void InterfaceTimerTimer(); // hides the toolbar while unpinned and the mouse is away

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateToolbar();
    void CreateFilterPanel();
    void CreateGrid();
    void CreateTimers();
    void ConnectClearingTriggers();
    void LayoutControls();

    bool PassesFilters(const TzPortObsRec &rec) const;
    bool LastRowSelected() const;
    void SelectRow(int row);
    void WidenAnswerColumn(const QString &text);
    void ClearInStaticMode();
    void ShowToolbar(bool shown);
    void CopySelectedRow();
    void RemoveFromObservers();

    TzPortObserverModel *m_model = nullptr;
    int m_comPort = 0;
    int m_gridTop = 0;
    bool m_removing = false; // a clear or a truncation is running
};

// Opens a monitor owned by the panel and adds it to PortObservers.
TfrmPortObserver *CreatePortObserver(QWidget *owner);
