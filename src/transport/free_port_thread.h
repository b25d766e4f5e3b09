#pragma once

#include "free_port.h"
#include "port_settings.h"
#include "serial_line.h"
#include "wait_breaker.h"

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

// What the front, the worker and an answer on its way to the owner's thread share. The
// answer holds it, so it never touches a worker that is already gone.
struct TzPortSync {
    std::mutex CS;                       // guards the queue, the commands and the fields below
    std::condition_variable Wake;        // the worker waits on it
    std::condition_variable CommandDone; // the owner's thread waits on it in Start and Stop
    std::atomic<bool> Destroying = false;
    bool HandOverDone = false;
    TAsyncAnswer OnAsyncAnswerProc;
};

// The worker: serves the request queue one exchange at a time on its own thread, which opens,
// uses and closes the port. Its public methods are called on the owner's thread.
class TzFreePortThread : public QThread {
public:
    TzFreePortThread(QObject *front, const QString &portName);
    ~TzFreePortThread() override; // lets the exchange in progress end, delivers nothing more

    QString PortName() const;
    void SetPortName(const QString &portName);
    void SetOnAsyncAnswerProc(TAsyncAnswer callback);
    TzDCB &LocDCB() { return m_locDCB; }
    TzTimeouts &LocTimeouts() { return m_locTimeouts; }

    bool RegCmd(const TStringBytes &Cmd, int DevAddr, int Priority, const TzAnswerRule &Rule);
    void ClearRequestList();
    bool HoldsRequest(uint32_t uid) const;
    bool HoldsFrame(const TStringBytes &Cmd) const;
    int QueueCount() const;
    uint32_t LastUID() const;

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
    void Insert(const TzReq &req, int Priority);
    void RemoveRequest(uint32_t uid);
    bool HasWork() const;

    // Loop.
    void ServeHead(Lock &lock);

    // Open and close: posted by the owner's thread, carried out by the worker. Posting breaks
    // the worker's wait on the port.
    bool RunCommand(PortCommand command);
    void CarryOutCommand(Lock &lock);

    // Hand-over of an answer to the owner's thread.
    void HandOver(uint32_t uid, const TzExchangeResult &result, Lock &lock);
    void PostAnswer(uint32_t uid, const TzExchangeResult &result);

    QObject *const m_front;
    const std::shared_ptr<TzPortSync> m_sync;
    TzWaitBreaker m_breaker; // broken while a command or the destruction waits for the worker

    // Under CS.
    std::vector<TzReq> RequestList;
    uint32_t GlobUID = 0;
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
    int ComPort = 0;
};
