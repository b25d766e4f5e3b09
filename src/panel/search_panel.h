#pragma once

#include "session/find_device.h"
#include "session/line_settings.h"

#include <QFrame>
#include <QList>
#include <QMetaObject>
#include <QPointer>

#include <functional>

class QCheckBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class TarvexSession;

// The device search pop-up "Устройства" (panFind): the list of what answered, with its counter
// line while a search runs, the progress bar, and in a sweep the line being tried. The sweep's
// check box is the connection panel's last row, shown with the search icon there, whose click
// starts and stops the search. The view drives the search engine it is handed and holds nothing
// of the module.
//
// The connection fields belong to the frame: it wires ReadConnectionFields, and answers
// searchRunning (lock the fields and the connect button), findDeviceTaken (a click on a found
// module: its settings into the fields) and connectRequested (a double click: the connect
// button's action). Warnings go out as the signal warning.
class TzSearchPanel : public QFrame {
    Q_OBJECT
public:
    // frame: the parent the pop-up is placed in; connectionPanel: takes the sweep's box as its
    // last row, and the pop-up opens beside it; searchIcon: starts and stops the search.
    TzSearchPanel(TarvexSession &session, QWidget *frame, QFrame *connectionPanel,
                  QLabel *searchIcon);
    ~TzSearchPanel() override;

    // The program's search engine; it may be destroyed before the view.
    void SetEngine(TfrmFindDevice *engine);
    TfrmFindDevice *Engine() const { return m_engine; }

    // The line to search on, from the connection fields: false (the field blinks) when the
    // time-out is no number. With raiseTimeout a time-out below the rate's minimum becomes the
    // minimum, in the field too, which blinks.
    std::function<bool(TarvexLineSettings &line, bool raiseTimeout)> ReadConnectionFields;

    void imgFindDeviceClick();
    bool FindStart();
    void FindStop();
    void FindProcessProc(int position);
    void FindAddrProc(int address, const TStringBytes &answer);
    void FindLineProc(const TzFindLine &line);
    void FindListBoxClick(QListWidgetItem *item);
    void FindListBoxDblClick();
    int FindListCount() const;
    // The found devices as a CSV table, from the list's context menu "Сохранить список...".
    bool SaveFindList(const QString &path, QString *error = nullptr) const;
    void FindListSaveClick();
    // Asks where to save the list; an empty answer saves nothing. A file dialog unless replaced.
    static std::function<QString(QWidget *parent)> FindListPathSource;

    int FindProcessAniPos = 0; // the counter line's dots, 1..10
    bool FindSweep = false;    // the search running sweeps the line settings

    QListWidget *FindListBox = nullptr;
    QProgressBar *aniAdvProgress = nullptr;
    QCheckBox *chkSearchSweep = nullptr;
    QLabel *labFindLine = nullptr;

signals:
    void searchRunning(bool running);
    void findDeviceTaken(const TzFindDevice &device);
    void connectRequested();
    void warning(const QString &text, const QString &caption);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ConnectEngine();
    void DisconnectEngine();

    TarvexSession &m_session;
    QFrame *m_connectionPanel;
    QLabel *m_searchIcon;
    QPointer<TfrmFindDevice> m_engine;
    QList<QMetaObject::Connection> m_engineLinks; // while this view's search runs
};
