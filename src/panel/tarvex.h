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
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QToolButton;
class TzAutorunPanel;
class TzOutputButton;
class TzRemoteControl;
class TzRemotePanel;
class TzSessionOptions;
struct TzFindLine;

// The Tarvex control panel: the whole working surface of the main window, bound to a session
// (TarvexSession) that holds the module's state: the panel reads the session's signals and gives
// it commands. Its implementation is split by concern: tarvex_frame.cpp (construction, labels,
// message boxes), tarvex_connection_settings.cpp (port list and connection fields),
// tarvex_animation.cpp, tarvex_popups.cpp (pop-up panels, layout, tool buttons),
// tarvex_connect.cpp (the connect button and the connection as shown), tarvex_display.cpp (the
// status labels, the link and the test functions), tarvex_outputs.cpp (output buttons),
// tarvex_pwm.cpp (PWM panel), tarvex_module.cpp (module settings, reboot and ID) and
// tarvex_options.cpp (the connection fields in the options), tarvex_search.cpp (device search),
// tarvex_test_patterns.cpp (test patterns). The remote control's pop-up (TzRemotePanel) and the
// autorun pop-up with the style list (TzAutorunPanel) are views of their own.
class TfrTarvex : public QFrame {
    Q_OBJECT
public:
    // The session, its options and its remote control must outlive the panel; the options are
    // loaded before the panel shows them.
    TfrTarvex(TarvexSession *session, TzSessionOptions *options, TzRemoteControl *remote,
              QWidget *owner = nullptr);
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

    QTimer AniTimer;       // dots under the connect button, 100 ms
    QTimer InterfaceTimer; // shows or hides the test functions, 500 ms
    QTimer ArrowTimer;     // arrow animation, 30 ms

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
    QFrame *panFind = nullptr;
    QListWidget *FindListBox = nullptr;
    QProgressBar *aniAdvProgress = nullptr;
    QCheckBox *chkSearchSweep = nullptr;
    QLabel *labFindLine = nullptr;

    QFrame *panRS485 = nullptr;
    QLineEdit *txtAddr = nullptr;
    QComboBox *cbBaudRate = nullptr;
    QComboBox *cbFormat = nullptr;
    QLineEdit *txtTimeout = nullptr;
    QPushButton *btnRS485_Apply = nullptr;

    TzAutorunPanel *panAutorun = nullptr;
    TzRemotePanel *panProxy = nullptr;

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
    TzSessionOptions *const Options;
    TzRemoteControl *const Remote;

    void CreateFrameWidgets();
    void CreateStatusLabels();
    void CreateToolButtons();
    void CreateConnectionPanel();
    void CreateModulePanel();
    void CreateDoutBtns();
    void CreatePwmPanel();
    void CreateTestPanel();
    void PlaceTestPanel();
    void CreateSearchPanel();
    void ReleaseSearchEngine();
    void SetConnectionFieldsEnabled(bool enabled);
    // The connection fields from the options, and back into them (saved unless InitMode).
    void ShowConnectionOptions();
    void SaveConnectionOptions();
    int FindPortEntry(int number) const;
    void CreateShimBtns(QWidget *area);
    void ConnectTimers();
    void BindSession();
    void OnClick(QWidget *label, void (TfrTarvex::*handler)());
    std::map<QObject *, void (TfrTarvex::*)()> m_clickHandlers;
};
