#pragma once

#include "discret_out_params.h"
#include "first_read.h"
#include "line_settings.h"
#include "link_state.h"
#include "model/device.h"
#include "model/exchange_records.h"
#include "session_records.h"
#include "transport/string_bytes.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>

class TzFreePort;

// One Tarvex module on one serial line, without any window: the connection and its state
// machine (idle, connecting, first read, polling, reboot), first contact, the first full read,
// polling, the pending answers and their dispatch, the link to the module, the outputs, PWM and
// safe states, the module's own settings and its reboot. Views and tools give it commands and
// follow its signals; everything runs on the thread that owns it, the serial worker aside.
//
// Its implementation is split by concern: tarvex_session.cpp (construction, state, the device),
// session_registers.cpp (register access and answer dispatch), session_connect.cpp (connection,
// first contact, first full read, polling), session_link.cpp (lost module, vanished port,
// retried first reads), session_outputs.cpp (outputs and PWM), session_module.cpp (module
// settings, reboot and ID). Commands, reads and signals are named in Qt's way; the operations
// behind them keep the names the panel's behaviour has always been known by (DoConnect,
// PulseCallback, LetsDoIt, SetRegByID...).
class TarvexSession : public QObject {
    Q_OBJECT
public:
    enum class ConnectionState {
        Idle,       // no connection
        Connecting, // the port is open and the first contact is on its way
        FirstRead,  // the module answered; every register is read once
        Polling,    // the module is read four times a second
        Rebooting,  // the reboot command went out; the connection ends after a wait
    };
    Q_ENUM(ConnectionState)

    static constexpr int kOutputCount = 20;

    explicit TarvexSession(QObject *parent = nullptr);
    ~TarvexSession() override; // ends the exchange in progress without delivering it

    // --- commands
    // Opens the port and sends the first contact (DoConnect). False, with nothing done, for an
    // address outside 1..247 or while connected. A time-out below the rate's minimum is raised
    // to it. A port that cannot be opened is reported, and the attempt ends as a failed one.
    bool connectTo(const TarvexLineSettings &settings);
    void disconnectFromModule();
    // Gives up waiting for a vanished port to come back (the operator chose another).
    void stopWaitingForPort();
    // Switches one output 1..20 (SendDOUT); false when the write was not queued. A direct switch
    // ends the output's modulation, here as in the module.
    bool setOutput(int output, bool on);
    // Writes the states of all outputs at once, one bit per output (bit 0 first).
    bool setOutputWords(int outputs1to16, int outputs17to20);
    bool setAllOutputs(bool on);
    TzApplyResult applyPwm(int output, const TzPwmParams &params);
    TzApplyResult applyModuleSettings(const TzModuleSettings &settings);
    // Sends the reboot command and ends the connection after a wait; false unless polling.
    bool reboot();
    // Silent (a start by autorun): warnings go to the log instead of the warning signal.
    void SetSilenceMode(bool silent) { m_silenceMode = silent; }

    // --- state
    ConnectionState connectionState() const { return m_state; }
    // The module answered the first contact with the right type (FirstRead, Polling and the
    // wait of Rebooting).
    bool isConnected() const;
    bool linkLost() const { return Link.Lost(); }
    TarvexLineSettings lineSettings() const { return m_line; }      // of the last connection
    quint64 connectionNumber() const { return m_connectionNumber; } // counts connections made
    const TzDiscretOutParams &output(int n) const; // n = 1..20; all unknown for another n
    int PendingAnswerCount() const { return int(ModbusAnswerList.size()); } // the queue shown
    const std::list<TzModbusAnswer> &pendingAnswers() const { return ModbusAnswerList; }
    int exceptionCount(int code) const; // exception answers with the code so far; 9 any other
    std::optional<double> supplyVoltage() const; // volts
    std::optional<bool> supplyAlarm() const;
    std::optional<int> deviceType() const;
    QString firmwareText() const { return Device->DevPOVersionStr; } // "1.00"; empty: not read
    QString moduleId() const { return m_moduleId; }                  // empty until read
    bool moduleIdRead() const { return ModuleIdRead; }               // since the port was opened
    // The module's own RS-485 settings as read.
    std::optional<int> moduleAddress() const;
    std::optional<int> baudCode() const;
    std::optional<int> formatCode() const; // 1..3 ASCII 7O1/7E1/7N2, 4..7 RTU 8N1/8O1/8E1/8N2
    std::optional<int> networkTimeout() const;
    bool SilenceMode() const { return m_silenceMode; }
    bool deviceTemplateLoaded() const { return m_templateLoaded; }
    TzDevice &device() { return *Device; }
    const TzDevice &device() const { return *Device; }

    // --- register access and answer dispatch (session_registers.cpp)
    bool GetModbusRegRTU(TzTag *tag);
    bool GetModbusRegRTU2(int id);
    bool SetModbusRegRTU(TzTag *tag, double value);
    // Only while connected and heard: writes to a module that does not answer would pile up.
    bool SetRegByID(int id, double value, bool forced);
    bool TryValueByID(int id, int &value) const;
    bool TryValueByID(int id, double &value) const;
    void ModbusAsyncAnswer(int comPort, uint32_t uid, const TStringBytes &answer, uint32_t errCode);
    void AddOtherTarvexTags(TzDevice *device);
    void StatusSafeCallback(TzTag *tag);
    void ShimAllCallback(TzTag *tag);
    bool ReadWaiting(int id) const; // a read of the tag is still queued or on the line

    // --- module ID (session_module.cpp)
    void SetMAC(const QByteArray &bytes); // exactly six bytes; any other count is ignored

signals:
    void connectionStateChanged(TarvexSession::ConnectionState state);
    void linkChanged(bool lost);
    // The module's output states were read (changed or not), or the reboot cleared them.
    void outputsChanged();
    // PWM settings or safe states of outputs were read, applied or cleared.
    void pwmChanged();
    void supplyChanged();      // the supply voltage or the power status was read
    void identityChanged();    // firmware version or module ID
    void moduleSettingsRead(); // the first full read brought the module's own settings
    void queueLengthChanged(int length);
    void logLine(const QString &text, quint32 colour);
    void exceptionCounted(int code, int count);
    void frameSent(const TzPortObsRec &rec);      // for the line monitor
    void answerReceived(const TzPortObsRec &rec); // for the line monitor
    // What the operator is to be told in a message box; not emitted in silent mode.
    void warning(const QString &text, const QString &caption, bool critical);

private:
    friend class TarvexSessionTestAccess; // tests reach the worker and stop the polling

    // --- tarvex_session.cpp
    std::unique_ptr<TzDevice> NewTarvexDevice() const;
    void LoadDeviceTemplate();
    void ReportTemplateFailure();
    void SetState(ConnectionState state);
    void Log(const QString &text, quint32 colour) { emit logLine(text, colour); }
    void Warn(const QString &text, const QString &caption); // a message box, or the log if silent
    void ConnectTimers();

    // --- session_registers.cpp
    bool QueueRequest(TzTag *tag, const TStringBytes &frame, int priority, TzPortObsRec &rec);
    void ForgetPendingAnswer(std::list<TzModbusAnswer>::iterator pending);
    void AnswerRead(const TzTag *tag);
    void ReadOutputStates(int id);

    // --- session_connect.cpp
    void DoConnect(const TarvexLineSettings &settings);
    void FormatToFreePort();
    bool DeviceIsAccessible() const;
    void ReportOpenFailure();
    void Disconnect();
    void ConnectBtnTimerTimer();
    void Pulse();
    void PulseCallback(TzTag *tag);
    void ReleasePulse();
    void LetsDoIt();
    void AfterFirstUpdate();
    void OprosTimerTimer();

    // --- session_link.cpp
    void LinkEvent(TzLinkState::Change change);
    void EndLink();
    void PortGone();
    void PortWatchTimerTimer();
    void FirstReadAnswered(TzTag *tag, bool valueRead);

    // --- session_outputs.cpp and session_module.cpp
    bool SendDOUT(int output, bool on);
    void RebootTimerTimer();

    ConnectionState m_state = ConnectionState::Idle;
    TarvexLineSettings m_line;
    quint64 m_connectionNumber = 0;
    bool m_silenceMode = false;
    bool m_templateLoaded = true;
    QString m_moduleId;
    bool ModuleIdRead = false; // the module's ID has been read since the port was opened

    std::unique_ptr<TzFreePort> FreePort;
    std::unique_ptr<TzDevice> Device;
    std::unique_ptr<TzDevice> PulseDevice;
    TzTag *PulseTag = nullptr;
    std::list<TzModbusAnswer> ModbusAnswerList;
    std::array<int, 10> ModbusErrors{};                     // 1..8 per exception code, 9 any other
    std::array<TzDiscretOutParams, kOutputCount + 1> DOUTs; // outputs 1..20
    TzLinkState Link;
    TzFirstRead FirstRead;
    QString MissingPortName; // the port that went away, looked for until it is back

    QTimer ConnectBtnTimer; // connection watchdog, 1000 ms
    QTimer OprosTimer;      // polling, 250 ms
    QTimer PortWatchTimer;  // looks for a vanished port, 2000 ms
    QTimer RebootTimer;     // the wait after the reboot command, 1200 ms
};
