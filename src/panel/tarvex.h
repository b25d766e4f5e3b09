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
class QCheckBox;
class QComboBox;
class QDomElement;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;
class QToolButton;
class TzConnectionPanel;
class TzModulePanel;
class TzOutputButton;
class TzPwmPanel;
class TzTestPanel;
class TzTestPatterns;
struct TzFindLine;

// The Tarvex control panel: the whole working surface of the main window, bound to a session
// (TarvexSession) that holds the module's state: the panel reads the session's signals and gives
// it commands. It holds the header labels, the output buttons, the tool buttons and a view per
// pop-up panel (TzConnectionPanel, TzModulePanel, TzPwmPanel, TzTestPanel), which it places and
// animates. Its implementation is split by concern: tarvex_frame.cpp (construction, labels,
// message boxes), tarvex_animation.cpp, tarvex_popups.cpp (pop-up panels, layout, tool buttons),
// tarvex_connect.cpp (the connection as shown), tarvex_display.cpp (the status labels, the link
// and the test functions), tarvex_outputs.cpp (output buttons), tarvex_module.cpp (reboot and
// ID), tarvex_options.cpp (options file, autorun, visual style), tarvex_search.cpp (device
// search), tarvex_remote.cpp (remote control over HTTP).
class TfrTarvex : public QFrame {
    Q_OBJECT
public:
    // The session must outlive the panel.
    explicit TfrTarvex(TarvexSession *session, QWidget *owner = nullptr);
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
    QString UserConfigDir;             // takes the options when ExeDir cannot be written
    bool OptionsFailureLogged = false; // a failed save is logged once
    bool Autorun_mini = false;
    bool Autostart = false;
    bool Autostart_Delay_On = false;
    int Autostart_Delay_Value = 10;
    int CurrentStyle = 12; // the visual style's number

    QTimer AniTimer;       // dots under the connect button, 100 ms
    QTimer InterfaceTimer; // shows or hides the test functions, 500 ms
    QTimer ArrowTimer;     // arrow animation, 30 ms
    QTimer AutostartTimer; // one connection after an autorun start

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

    // --- options, autorun and visual style (tarvex_options.cpp)
    void LoadOptions();
    void SaveOptions();
    void chkAutorunClick(QWidget *sender);
    void AutostartTimerTimer();
    void AdvFormStyler1Change();
    QString OptionsPath() const; // the options file read: see TzOptionsFile
    void StoreOptions(const std::function<void(QDomElement &root)> &change);

    // --- device search (tarvex_search.cpp; the engine is TfrmFindDevice)
    void imgFindDeviceClick();
    bool FindStart();
    void FindStop();
    void FindProcessProc(int position);
    void FindAddrProc(int address, const TStringBytes &answer);
    void FindListBoxClick(QListWidgetItem *item);
    void FindListBoxDblClick();
    int FindListCount() const;
    int FindProcessAniPos = 0;
    // Sweeping the line settings: every rate of the list, fastest first, with each format.
    void FindLineProc(const TzFindLine &line);
    QList<TzFindLine> SearchSweepLines(int timeout) const;
    bool FindSweep = false; // the search running sweeps the line settings
    // The found devices as a CSV table, from the list's context menu "Сохранить список...".
    bool SaveFindList(const QString &path, QString *error = nullptr) const;
    void FindListSaveClick();
    // Asks where to save the list; an empty answer saves nothing. A file dialog unless replaced.
    static std::function<QString(QWidget *parent)> FindListPathSource;

    // --- remote control over HTTP (tarvex_remote.cpp)
    void PHP_Call_TimerTimer();
    void ReqCallback(const QString &answer);
    void ReportOutputClick(int output);
    void imgOpenSirelClick();
    void imgProxySettingsClick();
    void btnHTTP_ApplyClick();
    void btnHTTP_CancelClick();
    void SaveHTTPOptions();
    void LoadHTTPOptions();
    QString ServicePage(const QString &page) const;
    void ApplyProxySettings();
    void NotePlainHttp();
    static QString RandomString(int length);
    // The web service; an options file names the maker's (attribute "service" of "http").
    QString ServiceUrl = QStringLiteral("http://service.example/control_panel/");
    QTimer PHP_Call_Timer;
    quint64 RemoteSession = 0;   // counts switchings of remote control: late answers are dropped
    bool PlainHttpNoted = false; // the note that http is unencrypted, once per switch-on

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
    QFrame *panFind = nullptr;
    QListWidget *FindListBox = nullptr;
    QProgressBar *aniAdvProgress = nullptr;
    QCheckBox *chkSearchSweep = nullptr;
    QLabel *labFindLine = nullptr;

    QFrame *panAutorun = nullptr;
    QCheckBox *chkAutorun = nullptr;
    QCheckBox *chkAutoStart = nullptr;
    QCheckBox *chkAutoStartDelay = nullptr;
    QLineEdit *txtAutostartDelay = nullptr;
    QCheckBox *chkAutorunMini = nullptr;
    QPushButton *btnSaveForAutorun = nullptr;
    QPushButton *btnAutorun = nullptr;
    QComboBox *cbStyles = nullptr;

    QCheckBox *chkRemoteControl = nullptr;
    QLabel *imgProxySettings = nullptr;
    QLabel *imgOpenSirel = nullptr;
    QFrame *panProxy = nullptr;
    QLineEdit *txtAuthKey = nullptr;
    QCheckBox *chkProxyUse = nullptr;
    QCheckBox *chkProxyNeedPass = nullptr;
    QLineEdit *txtProxyServer = nullptr;
    QLineEdit *txtProxyPort = nullptr;
    QLineEdit *txtProxyUser = nullptr;
    QLineEdit *txtProxyPass = nullptr;
    QPushButton *btnHTTP_Cancel = nullptr;
    QPushButton *btnHTTP_Apply = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
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
    void CreateRemoteControl();
    void CreateSearchPanel();
    void ReleaseSearchEngine();
    void SetConnectionFieldsEnabled(bool enabled);
    void CreateAutorunPanel();
    void CreateStyleChooser();
    void ConnectTimers();
    void BindSession();
    void OnClick(QWidget *label, void (TfrTarvex::*handler)());
    std::map<QObject *, void (TfrTarvex::*)()> m_clickHandlers;
    std::unique_ptr<TzTestPatterns> m_patterns; // built before the views, which use it
};
