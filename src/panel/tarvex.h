#pragma once

#include "discret_out_params.h"
#include "model/device.h"
#include "model/exchange_records.h"
#include "transport/free_port.h"

#include <QFrame>
#include <QMessageBox>
#include <QTimer>

#include <array>
#include <list>
#include <memory>
#include <mutex>

class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

// The Tarvex control panel: the whole working surface of the main window. Its implementation
// is split by concern: tarvex_frame.cpp (construction, labels, message boxes),
// tarvex_connection_settings.cpp (port list and connection fields), tarvex_animation.cpp,
// tarvex_popups.cpp (pop-up panels, layout, tool buttons), tarvex_registers.cpp (register
// access and answer dispatch), tarvex_connect.cpp (connection, first contact, polling),
// tarvex_display.cpp (display refresh), tarvex_outputs.cpp (output buttons) and
// tarvex_module.cpp (module settings panel and ID).
class TfrTarvex : public QFrame {
    Q_OBJECT
public:
    explicit TfrTarvex(QWidget *owner = nullptr);
    ~TfrTarvex() override;

    enum PopupSide { psAbove, psBelow, psLeft, psRight };

    // --- state
    bool InitMode = true;
    bool FirstUpdate = true;
    bool Connected = false;
    int ComPort = 0;     // the digits of the selected port name
    QString ComPortName; // the selected port's system name
    int BaudRate = 9600;
    int DevAddr = 16;
    std::unique_ptr<TzFreePort> FreePort;
    std::unique_ptr<TzDevice> Device;
    std::unique_ptr<TzDevice> PulseDevice;
    TzTag *PulseTag = nullptr;
    std::mutex LineCS; // guards ModbusAnswerList against the worker's side
    std::list<TzModbusAnswer> ModbusAnswerList;
    std::array<int, 10> ModbusErrors{};       // 1..8 per exception code, 9 any other code
    std::array<TzDiscretOutParams, 21> DOUTs; // outputs 1..20
    QWidget *CurrPanel = nullptr;
    bool SilenceMode = false;
    int AniSlide = 0;
    int AniDirect = 1;
    int ArrowStep = 1;
    int CurrDoutIndx = 1;
    QString ExeDir;

    QTimer ConnectBtnTimer; // connection watchdog, 1000 ms
    QTimer AniTimer;        // dots under the connect button, 100 ms
    QTimer OprosTimer;      // polling, 250 ms
    QTimer InterfaceTimer;  // display refresh, 500 ms
    QTimer ArrowTimer;      // arrow animation, 30 ms

    // --- frame, labels and message boxes (tarvex_frame.cpp)
    void ButtonsEnabled(bool enabled);
    void ClearLabels(const QString &text);
    void AppException(const QString &message);
    int MessageBoxNew(QWidget *window, const QString &text, const QString &caption,
                      QMessageBox::Icon icon);

    // --- connection settings (tarvex_connection_settings.cpp)
    void EnumSerialPorts();
    void cbComPortChange();
    void FormatToFreePort();
    int GetTimeout(int baudRate) const;
    bool CheckTimeout(int timeout, int baudRate) const;
    bool CheckBlinkEditInt(QLineEdit *field, int &value, int minimum, int maximum);
    QString PortTitle() const; // the port as log lines name it

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

    // --- register access and answer dispatch (tarvex_registers.cpp)
    bool GetModbusRegRTU(TzTag *tag);
    bool GetModbusRegRTU2(int id);
    bool SetModbusRegRTU(TzTag *tag, double value);
    void SetRegByID(int id, double value, bool forced);
    bool TryValueByID(int id, int &value) const;
    bool TryValueByID(int id, double &value) const;
    void ModbusAsyncAnswer(int comPort, uint32_t uid, const TStringBytes &answer, uint32_t errCode);
    void AddOtherTarvexTags(TzDevice *device);
    void StatusSafeCallback(TzTag *tag);
    void ShimAllCallback(TzTag *tag);
    void ExpireLostAnswers();
    int PendingAnswerCount();

    // --- connection, first contact and polling (tarvex_connect.cpp)
    void btnConnectClick();
    void DoConnect();
    void ConnectBtnTimerTimer();
    void Pulse();
    void PulseCallback(TzTag *tag);
    void LetsDoIt();
    void AfterFirstUpdate();
    void OprosTimerTimer();

    // --- display refresh (tarvex_display.cpp)
    void InterfaceTimerTimer();

    // --- output buttons (tarvex_outputs.cpp)
    void btnDOUT1_Click(int output);
    void SendDOUT(int output, bool on);
    void SetDOUT(int output, bool on);
    void SetDOUT_Temp(int output);

    // --- module settings panel and ID (tarvex_module.cpp)
    void SetMAC(const QByteArray &bytes);
    void puMAC_CopyClick();

    // --- widgets
    QLabel *labModel = nullptr;
    QLabel *labMACCaption = nullptr;
    QLabel *txtMAC = nullptr;
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

    QFrame *panRS485 = nullptr;
    QLineEdit *txtAddr = nullptr;
    QComboBox *cbBaudRate = nullptr;
    QComboBox *cbFormat = nullptr;
    QLineEdit *txtTimeout = nullptr;
    QPushButton *btnRS485_Apply = nullptr;

    QFrame *panDOUT = nullptr;
    QFrame *panShim = nullptr;

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
    void ConnectTimers();
    std::unique_ptr<TzDevice> NewTarvexDevice() const;
    void LoadDeviceTemplate();
    void ReportOpenFailure();
    bool DeviceIsAccessible() const;
    void ReleasePulse();
    bool QueueRequest(TzTag *tag, const TStringBytes &frame, int priority, TzPortObsRec &rec);
};
