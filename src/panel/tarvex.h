#pragma once

#include "session/tarvex_session.h"

#include <QFrame>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <array>
#include <functional>
#include <map>
#include <memory>

class QAbstractButton;
class QLabel;
class QPushButton;
class QToolButton;
class TzAutorunPanel;
class TzConnectionPanel;
class TzModulePanel;
class TzOutputButton;
class TzPwmPanel;
class TzRemoteControl;
class TzRemotePanel;
class TzSessionOptions;
class TzTestPanel;
class TzTestPatterns;
struct TzFindDevice;
class TzSearchPanel;

// The Tarvex control panel: the whole working surface of the main window, bound to a session
// (TarvexSession) that holds the module's state: the panel reads the session's signals and gives
// it commands. It holds the header labels, the output buttons, the tool buttons and a view per
// pop-up panel (TzConnectionPanel, TzModulePanel, TzPwmPanel, TzTestPanel, TzRemotePanel,
// TzAutorunPanel, TzSearchPanel), which it places and animates. Its implementation is split by
// concern: tarvex_frame.cpp (construction, labels, message boxes), tarvex_animation.cpp,
// tarvex_popups.cpp (pop-up panels, layout, tool buttons), tarvex_connect.cpp (the connection as
// shown), tarvex_display.cpp (the status labels, the link and the test functions),
// tarvex_outputs.cpp (output buttons), tarvex_module.cpp (reboot and ID), tarvex_options.cpp
// (the connection fields in the options), tarvex_search.cpp (the search pop-up bound to the
// connection fields).
class TfrTarvex : public QFrame {
    Q_OBJECT
public:
    // The session, its options and its remote control must outlive the panel; the options are
    // loaded before the panel shows them.
    TfrTarvex(TarvexSession *session, TzSessionOptions *options, TzRemoteControl *remote,
              QWidget *owner = nullptr);
    ~TfrTarvex() override;

    TarvexSession *const Session;

    // Whether the test functions show; the program hands over the main window's flag.
    std::function<bool()> TestMode = [] { return false; };
    // The message log and the version history windows, shown and hidden by " Лог" and
    // "ver 0.5.2a"; the program hands them over.
    QPointer<QWidget> frmTempLog;
    QPointer<QWidget> frmVerInfo;

    // --- state
    std::array<TzOutputButton *, 21> DoutBtns{}; // the output buttons 1..20
    QWidget *CurrPanel = nullptr;
    int AniSlide = 0;
    int AniDirect = 1;
    QString ExeDir;

    QTimer AniTimer;       // dots under the connect button, 100 ms
    QTimer InterfaceTimer; // shows or hides the test functions, 500 ms
    QTimer ArrowTimer;     // arrow animation, 30 ms

    // --- frame, labels and message boxes (tarvex_frame.cpp)
    void ButtonsEnabled(bool enabled);
    void ClearLabels(const QString &text);
    void AppException(const QString &message);
    int MessageBoxNew(QWidget *window, const QString &text, const QString &caption,
                      QMessageBox::Icon icon);

    // --- animations (tarvex_animation.cpp)
    void Anima(bool on);
    void AniTimerTimer();
    void ArrowTimerTimer();

    // --- pop-up panels, layout and tool buttons (tarvex_popups.cpp)
    void CloseAllPanel();
    void TryFindPanVisible();

    // --- the connection as shown (tarvex_connect.cpp)
    void ShowConnectionState(TarvexSession::ConnectionState state);

    // --- status labels, the link and the test functions (tarvex_display.cpp)
    void InterfaceTimerTimer();

    // --- output buttons (tarvex_outputs.cpp)
    void SetDOUT(int output, bool on); // shows the state on the button
    void SetDOUT_Temp(int output);     // shows the pending picture

    // --- module settings, reboot and ID (tarvex_module.cpp)
    void puMAC_CopyClick();

    // --- widgets
    QLabel *txtMAC = nullptr;
    QLabel *labLinkLost = nullptr;
    QPushButton *btnComPort = nullptr;
    QPushButton *btnRS485 = nullptr;
    QPushButton *btnDOUT = nullptr;
    QPushButton *btnReset = nullptr;
    QLabel *labNeedReset = nullptr;
    QLabel *imgArrow = nullptr;
    QLabel *imgLogo = nullptr;
    QPushButton *btnHelp = nullptr;
    QPushButton *btnVerInfo = nullptr;
    QPushButton *btnTempLog = nullptr;
    QToolButton *btnPortObserver = nullptr;
    QLabel *labAddr = nullptr;
    QLabel *labBaudRate = nullptr;
    QLabel *labFormat = nullptr;
    QLabel *labVerPO = nullptr;
    QLabel *labPower1 = nullptr;
    QLabel *labTest = nullptr;
    QLabel *labDOUTHeader = nullptr;

    // The pop-up panels' views.
    TzConnectionPanel *panComPort = nullptr;
    TzModulePanel *panRS485 = nullptr;
    TzPwmPanel *panDOUT = nullptr;
    TzTestPanel *panSnake = nullptr;
    TzTestPatterns &Patterns() const { return *m_patterns; }

    QLabel *imgFindDevice = nullptr;
    TzSearchPanel *panFind = nullptr; // the device search pop-up

    TzAutorunPanel *panAutorun = nullptr;
    TzRemotePanel *panProxy = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TzSessionOptions *const Options;
    TzRemoteControl *const Remote;

    enum PopupSide { psAbove, psBelow, psLeft, psRight };

    bool InitMode = true; // while constructing: nothing is saved
    // The connection state the panel shows, as the session last told it.
    TarvexSession::ConnectionState ShownState = TarvexSession::ConnectionState::Idle;
    int ArrowStep = 1;

    QLabel *labModel = nullptr;
    QLabel *labMACCaption = nullptr;
    QLabel *imgHat = nullptr;
    QLabel *imgSeason1 = nullptr;
    QLabel *imgSeason2 = nullptr;

    // --- pop-up panels, layout and tool buttons (tarvex_popups.cpp)
    void btnRS485Click(QAbstractButton *sender);
    void PopupPanel(QWidget *target, QWidget *panel, PopupSide side);
    void FrameResize();
    void btnHelpClick();
    void btnTempLogClick();
    void btnVerInfoClick();
    void btnPortObserverClick();
    void imgHatClick();

    // --- what the session tells (tarvex_connect.cpp, tarvex_display.cpp, tarvex_outputs.cpp)
    bool ShownConnected() const;
    void ShowLinkLost(bool lost);
    void ShowSupply();
    void ShowIdentity();
    void ShowModuleSettingsLabels(); // the labels from the module's own settings
    void ShowQueueLength(int length);
    void ShowTestFunctions();
    void btnDOUT1_Click(int output);
    void ShowOutputStates(); // the module's states, unless a test sequence runs
    void ShowAllPending();   // every output switched, none confirmed yet

    // --- module settings, reboot and ID (tarvex_module.cpp)
    void ModuleSettingsWritten(const TzModuleSettings &settings);
    void btnResetClick();

    void CreateFrameWidgets();
    void CreateStatusLabels();
    void CreateToolButtons();
    void CreateViews();
    void CreateModuleActions();
    void CreateDoutBtns();
    void CreateSearchPanel();
    // The connection fields from the options, and back into them (saved unless InitMode).
    void ShowConnectionOptions();
    void SaveConnectionOptions();
    bool ReadSearchFields(TarvexLineSettings &line, bool raiseTimeout);
    void TakeFoundDevice(const TzFindDevice &device);
    void ConnectTimers();
    void BindSession();
    void OnClick(QWidget *label, void (TfrTarvex::*handler)());
    std::map<QObject *, void (TfrTarvex::*)()> m_clickHandlers;
    std::unique_ptr<TzTestPatterns> m_patterns; // built before the views, which use it
};
