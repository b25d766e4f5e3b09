#pragma once

#include "session/tarvex_session.h"

#include <QFrame>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <array>
#include <functional>
#include <map>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QDomElement;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QToolButton;
class TzOutputButton;
struct TzFindDevice;
class TzSearchPanel;

// The Tarvex control panel: the whole working surface of the main window, bound to a session
// (TarvexSession) that holds the module's state: the panel reads the session's signals and gives
// it commands. Its implementation is split by concern: tarvex_frame.cpp (construction, labels,
// message boxes), tarvex_connection_settings.cpp (port list and connection fields),
// tarvex_animation.cpp, tarvex_popups.cpp (pop-up panels, layout, tool buttons),
// tarvex_connect.cpp (the connect button and the connection as shown), tarvex_display.cpp (the
// status labels, the link and the test functions), tarvex_outputs.cpp (output buttons),
// tarvex_pwm.cpp (PWM panel), tarvex_module.cpp (module settings, reboot and ID) and
// tarvex_options.cpp (options file, autorun, visual style), tarvex_search.cpp (the device search
// pop-up TzSearchPanel bound to the connection fields),
// tarvex_test_patterns.cpp (test patterns), tarvex_remote.cpp (remote control over HTTP).
class TfrTarvex : public QFrame {
    Q_OBJECT
public:
    // The session must outlive the panel.
    explicit TfrTarvex(TarvexSession *session, QWidget *owner = nullptr);
    ~TfrTarvex() override;

    TarvexSession *const Session;

    enum PopupSide { psAbove, psBelow, psLeft, psRight };

    // Whether the test functions show; the program hands over the main window's flag.
    std::function<bool()> TestMode = [] { return false; };
    // The message log and the version history windows, shown and hidden by " Лог" and
    // "ver 0.5.2a"; the program hands them over.
    QPointer<QWidget> frmTempLog;
    QPointer<QWidget> frmVerInfo;

    // --- state
    bool InitMode = true;
    int ComPort = 0;     // the digits of the selected port name
    QString ComPortName; // the selected port's system name
    int BaudRate = 9600;
    // The connection state the panel shows, as the session last told it.
    TarvexSession::ConnectionState ShownState = TarvexSession::ConnectionState::Idle;
    std::array<TzOutputButton *, 21> DoutBtns{}; // the output buttons 1..20
    std::array<QToolButton *, 21> ShimBtns{};    // their selectors in the PWM panel
    QWidget *CurrPanel = nullptr;
    int AniSlide = 0;
    int AniDirect = 1;
    int ArrowStep = 1;
    int CurrDoutIndx = 1;
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

    // --- connection settings (tarvex_connection_settings.cpp)
    void EnumSerialPorts();
    void cbComPortChange();
    bool CheckBlinkEditInt(QLineEdit *field, int &value, int minimum, int maximum);

    // --- animations (tarvex_animation.cpp)
    void Anima(bool on);
    void AniTimerTimer();
    void ArrowTimerTimer();

    // --- pop-up panels, layout and tool buttons (tarvex_popups.cpp)
    void btnRS485Click(QAbstractButton *sender);
    void PopupPanel(QWidget *target, QWidget *panel, PopupSide side);
    void CloseAllPanel();
    void TryFindPanVisible();
    void FrameResize();
    void btnHelpClick();
    void btnTempLogClick();
    void btnVerInfoClick();
    void btnPortObserverClick();
    void imgHatClick();

    // --- the connect button and the connection as shown (tarvex_connect.cpp)
    void btnConnectClick();
    // Reads the connection fields (a bad one blinks) and asks the session to connect.
    void ConnectWithFields();
    void ShowConnectionState(TarvexSession::ConnectionState state);
    bool ShownConnected() const;

    // --- status labels, the link and the test functions (tarvex_display.cpp)
    void ShowLinkLost(bool lost);
    void ShowSupply();
    void ShowIdentity();
    void ShowModuleSettings();
    void ShowQueueLength(int length);
    void InterfaceTimerTimer();
    void ShowTestFunctions();

    // --- output buttons (tarvex_outputs.cpp)
    void btnDOUT1_Click(int output);
    void SetDOUT(int output, bool on); // shows the state on the button
    void SetDOUT_Temp(int output);     // shows the pending picture
    void ShowOutputStates();           // the module's states, unless a test sequence runs

    // --- options, autorun and visual style (tarvex_options.cpp)
    void LoadOptions();
    void SaveOptions();
    void chkAutorunClick(QWidget *sender);
    void AutostartTimerTimer();
    void AdvFormStyler1Change();
    QString OptionsPath() const; // the options file read: see TzOptionsFile
    void StoreOptions(const std::function<void(QDomElement &root)> &change);

    // --- test patterns (tarvex_test_patterns.cpp)
    void btnSnakeOnClick();
    void SnakeTimerTimer();
    void btnRunnerClick();
    void Runner_TimerTimer();
    void btnAllOnClick(QPushButton *sender);
    void SnakeSpeedScrollChange();
    void SnakeSpeedScrollScroll(int position);
    void labSnakeCaptionMouseDown();
    void labClosePanSnakeClick();
    bool TestSequenceRunning() const; // the polled states then do not redraw the outputs
    int SnakePos = 0;
    int SnakePosPrev = 0;
    int SnakeLen = 3;
    int SnakeDir = 1;
    bool SnakeSilence = false;
    int RunnerPos = 1;
    int RunnerPosPrev = -1;
    bool SnakeExpanded = false;
    QTimer SnakeTimer;
    QTimer Runner_Timer;

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

    // --- PWM panel (tarvex_pwm.cpp)
    void btnDOUT1PanClick(int output);
    void btnDOUT_ApplyClick();
    void btnDOUT_DefaultClick();
    void txtShimScaleChange();

    // --- module settings, reboot and ID (tarvex_module.cpp)
    void btnRS485_ApplyClick();
    void btnResetClick();
    void puMAC_CopyClick();

    // --- widgets
    QLabel *labModel = nullptr;
    QLabel *labMACCaption = nullptr;
    QLabel *txtMAC = nullptr;
    QLabel *labLinkLost = nullptr;
    QPushButton *btnComPort = nullptr;
    QPushButton *btnRS485 = nullptr;
    QPushButton *btnDOUT = nullptr;
    QPushButton *btnReset = nullptr;
    QLabel *labNeedReset = nullptr;
    QLabel *imgArrow = nullptr;
    QLabel *imgLogo = nullptr;
    QLabel *imgHat = nullptr;
    QLabel *imgSeason1 = nullptr;
    QLabel *imgSeason2 = nullptr;
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

    QFrame *panComPort = nullptr;
    QComboBox *cbComPort = nullptr;
    QLineEdit *txtLineAddr = nullptr;
    QComboBox *cbLineBaudRate = nullptr;
    QComboBox *cbLineFormat = nullptr;
    QLineEdit *txtLineTimeout = nullptr;
    QPushButton *btnConnect = nullptr;
    QLabel *labAni = nullptr;
    QLabel *imgFindDevice = nullptr;
    TzSearchPanel *panFind = nullptr; // the device search pop-up

    QFrame *panRS485 = nullptr;
    QLineEdit *txtAddr = nullptr;
    QComboBox *cbBaudRate = nullptr;
    QComboBox *cbFormat = nullptr;
    QLineEdit *txtTimeout = nullptr;
    QPushButton *btnRS485_Apply = nullptr;

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

    QFrame *panSnake = nullptr;
    QLabel *labSnakeCaption = nullptr;
    QLabel *labClosePanSnake = nullptr;
    QPushButton *btnSnakeOn = nullptr;
    QPushButton *btnRunner = nullptr;
    QLabel *labSnakeSpeed = nullptr;
    QScrollBar *SnakeSpeedScroll = nullptr;
    QPushButton *btnAllOnSlow = nullptr;
    QPushButton *btnAllOffSlow = nullptr;
    QPushButton *btnAllOn = nullptr;
    QPushButton *btnAllOff = nullptr;

    QFrame *panDOUT = nullptr;
    QLineEdit *txtShimScale = nullptr;
    QLineEdit *txtShimPeriod = nullptr;
    QLineEdit *txtShimKoef = nullptr;
    QCheckBox *chkShimSecure = nullptr;
    QPushButton *btnDOUT_Default = nullptr;
    QPushButton *btnDOUT_Apply = nullptr;
    QFrame *panShim = nullptr;
    QLineEdit *txtShimTimeOn = nullptr;
    QLineEdit *txtShimTimeOff = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateFrameWidgets();
    void CreateStatusLabels();
    void CreateToolButtons();
    void CreateConnectionPanel();
    void CreateModulePanel();
    void CreateDoutBtns();
    void CreatePwmPanel();
    void CreateTestPanel();
    void CreateRemoteControl();
    void PlaceTestPanel();
    void CreateSearchPanel();
    bool ReadSearchFields(TarvexLineSettings &line, bool raiseTimeout);
    void TakeFoundDevice(const TzFindDevice &device);
    void CreateAutorunPanel();
    void CreateStyleChooser();
    int FindPortEntry(int number) const;
    void CreateShimBtns(QWidget *area);
    void ConnectTimers();
    void BindSession();
    void OnClick(QWidget *label, void (TfrTarvex::*handler)());
    std::map<QObject *, void (TfrTarvex::*)()> m_clickHandlers;
};
