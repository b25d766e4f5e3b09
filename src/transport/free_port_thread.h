#pragma once

#include "free_port.h"
#include "port_settings.h"
#include "serial_line.h"
#include "wait_breaker.h"

#include <QThread>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

// An answer waiting to be delivered on the owner's thread.
struct TzPortAnswer {
    int ComPort = 0;
    uint32_t UID = 0;
    TStringBytes Answer;
    uint32_t ErrCode = 0;
};

// The worker: serves the request queue one exchange at a time on its own thread, which opens,
// uses and closes the port. Answers go to an outbox; for each one AnswerWaiting is called, and
// the owner's thread takes them with TakeAnswer, oldest first. Its public methods are called
// on the owner's thread.
class TzFreePortThread : public QThread {
public:
    // Called on the worker thread (on the owner's in ClearRequestList) once per answer put out.
    using AnswerWaiting = std::function<void()>;

    TzFreePortThread(const QString &portName, AnswerWaiting answerWaiting);
    ~TzFreePortThread() override; // lets the exchange in progress end, puts out nothing more

    QString PortName() const;
    void SetPortName(const QString &portName);
    TzDCB &LocDCB() { return m_locDCB; }
    TzTimeouts &LocTimeouts() { return m_locTimeouts; }

    bool RegCmd(const TStringBytes &Cmd, int DevAddr, int Priority, const TzAnswerRule &Rule);
    void ClearRequestList();
    bool HoldsRequest(uint32_t uid) const;
    bool HoldsFrame(const TStringBytes &Cmd) const;
    int QueueCount() const;
    uint32_t LastUID() const;
    bool TakeAnswer(TzPortAnswer &answer);

    bool Start();
    bool Stop();
    QSerialPort::SerialPortError LastOpenError() const;
    QString LastOpenErrorText() const;

    // Tests only: moves the id counter close to its wrap-around.
    void SetGlobUID(uint32_t uid);

protected:
    void run() override;

private:
    enum class PortCommand { None, Open, Close };
    using Lock = std::unique_lock<std::mutex>;

    // Queue (all under CS).
    bool IsQueued(const TStringBytes &Cmd) const;
    void Insert(const TzReq &req);
    template <typename Pick> int CancelWaiting(Pick pick);
    void RemoveRequest(uint32_t uid);
    bool HasWork() const;

    void AnnounceAnswers(int count); // outside CS: once per answer put out

    // Loop.
    void ServeHead(Lock &lock);

    // Open and close: posted by the owner's thread, carried out by the worker. Posting breaks
    // the worker's wait on the port.
    bool RunCommand(PortCommand command);
    void CarryOutCommand(Lock &lock);

    const AnswerWaiting m_answerWaiting;
    TzWaitBreaker m_breaker; // broken while a command or the destruction waits for the worker

    mutable std::mutex CS;               // guards everything below up to the overlays
    std::condition_variable Wake;        // the worker waits on it
    std::condition_variable CommandDone; // the owner's thread waits on it in Start and Stop
    bool m_destroying = false;
    std::vector<TzReq> RequestList;
    std::optional<uint32_t> m_onLine; // the request being exchanged
    std::deque<TzPortAnswer> m_outbox;
    uint32_t GlobUID = 0;
    int ComPort = 0; // the digits of the name the port was last opened with
    QString m_portName;
    PortCommand m_command = PortCommand::None;
    bool m_commandResult = false;
    bool m_serving = false; // from the first successful Start on
    TzPortError m_lastOpenError;

    // Filled on the owner's thread before Start; read by the worker while Start waits.
    TzDCB m_locDCB;
    TzTimeouts m_locTimeouts;

    // Worker thread only.
    TzSerialLine *m_line = nullptr;
};
