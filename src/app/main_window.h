#pragma once

#include <QCoreApplication>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class QAction;
class TfrmTempLog;

// Menu command identifiers (kept as the actions' data).
inline constexpr int kCmdTestMode = 1369;
inline constexpr int kCmdStayOnTop = 1370;

// The main window: fixed size, holds the one panel frame.
class TfrmMain : public QWidget {
    Q_OBJECT
public:
    // arguments: the command line, program name first.
    explicit TfrmMain(const QStringList &arguments = QCoreApplication::arguments(),
                      QWidget *parent = nullptr);
    ~TfrmMain() override;

    QWidget *Frame() const { return m_frame; }
    // The message log window, centred over this window when it is first activated.
    void SetTempLog(TfrmTempLog *tempLog);

    // Runs a menu command and updates the check marks; unknown ids are ignored.
    void SysCommand(int id);
    void SetFixedWidthTo(int width);
    void FormActivate();

    bool First = true;
    // Shows the panel's test functions. False at start; set by the "test" argument and toggled
    // by the menu item "Тестовый функционал". The panel reads it through the function it is
    // handed (RegisterTarvexPanel).
    bool TestMode = false;

protected:
    bool event(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate(const QStringList &arguments);
    void CreateMenuActions();
    QAction *CreateCommandAction(const QString &text, int id, const QString &name);
    void CenterOnScreen();

    QWidget *m_frame = nullptr;
    QPointer<TfrmTempLog> m_tempLog;
    QAction *m_actTestMode = nullptr;
    QAction *m_actStayOnTop = nullptr;
};
