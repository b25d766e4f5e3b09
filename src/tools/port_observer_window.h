#pragma once

#include "port_observers.h"

#include <QWidget>

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

    // On the GUI thread: ObserversAddRequest/ObserversAddAnswer hand records over to it.
    void AddRequest(const TzPortObsEntry &entry) override;
    void AddAnswer(const TzPortObsEntry &entry) override;

    void Clear();

    // Saves the rows shown, in view order, as a CSV table; false with the reason in error.
    bool ExportCsv(const QString &path, QString *error = nullptr);
    // Asks where to save the export; an empty answer saves nothing. A file dialog unless replaced.
    static std::function<QString(QWidget *parent)> ExportPathSource;

    // The port only names the window.
    void SetComPort(int comPort, const QString &portName);
    int ComPort() const { return m_comPort; }

    QTableView *SG = nullptr;
    QPushButton *btnFilters = nullptr;
    QCheckBox *chFilters = nullptr;
    QPushButton *btnClear = nullptr;
    QPushButton *btnExport = nullptr;
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
    QTimer *RowsTimer = nullptr;

public slots:
    void AutoClearTimerTimer(); // cuts the oldest rows of a table above its limit
    void InterfaceTimerTimer(); // hides the toolbar while unpinned and the mouse is away
    void RowsTimerTimer();      // shows the rows and changes gathered since its last tick
    void btnExportClick();

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
    void ShowPendingRows();
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
