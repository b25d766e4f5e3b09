#pragma once

#include "answer_rule.h"
#include "serial_overlays.h"
#include "string_bytes.h"

#include <QMetaObject>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

// Error codes delivered with an answer. The serial error bits of a failed exchange all lie
// below 0x10000 (see serial_line.h), so none of them can be taken for another code here.
inline constexpr uint32_t kErrNone = 0;
inline constexpr uint32_t kErrNoAnswer = 512; // nothing arrived before the read timeouts
// Never sent: removed by ClearRequestList, or replaced by a later write to the same registers.
inline constexpr uint32_t kErrCancelled = 0x80000000;
inline constexpr uint32_t kErrPortClosed = 4294967295; // the port is not open (or went away)

// The answer callback: port number, id of the answered request, the bytes received (empty on
// any error) and the error code. It runs on the thread that owns the TzFreePort.
using TAsyncAnswer =
    std::function<void(int ComPort, uint32_t UID, const TStringBytes &Answer, uint32_t ErrCode)>;

// One queued request. The frame is held by value: queueing allocates nothing for it.
struct TzReq {
    TStringBytes Cmd;
    uint32_t UID = 0;
    int DevAddr = 0;
    uint32_t Timestamp = 0;
    TzAnswerRule Rule;
    int Priority = 0; // as queued; above 0 it goes in front of the ordinary requests
};

class TzFreePortThread;

// The front of a serial line: queue frames here; a worker thread sends them one at a time and
// reads each answer. Answers come back as the signal answered, queued to the owner's thread in
// the order the requests were sent; the worker never waits for them to be handled. A request
// may bring the rule that tells when its answer is whole; without one the answer ends at the
// first gap longer than the interval timeout. All methods are called on the owner's thread.
class TzFreePort : public QObject {
    Q_OBJECT
public:
    // portName is the system name: "ttyUSB0", "/dev/pts/7", "COM3".
    explicit TzFreePort(const QString &portName, QObject *parent = nullptr);
    // Lets the exchange in progress end; nothing more is delivered, not even an answer
    // already on its way to the owner's thread.
    ~TzFreePort() override;

    QString PortName() const;
    void SetPortName(const QString &portName); // takes effect at the next Start
    int ComPort() const;                       // the digits of the port name, 0 when none

    // Calls the callback for every answer; replaces the callback set before, none unsets it.
    void SetOnAsyncAnswerProc(TAsyncAnswer callback);
    TzDCB &LocDCB();
    TzTimeouts &LocTimeouts();

    uint32_t LastUID() const; // id of the most recently queued request (0 before the first)

    // (Re)opens the port; the worker starts serving at the first success. Start and Stop cut
    // short the exchange in progress: an answer still awaited is delivered with kErrPortClosed.
    bool Start();
    bool Stop(); // closes the port; queued requests are then answered with kErrPortClosed

    // Refused (false) for an empty frame or one equal to a frame already queued or being sent.
    // A Modbus write (function 05, 06, 15 or 16) first takes the place of the waiting writes with
    // the same device address, function and registers: they are answered kErrCancelled, so the
    // last write to a register wins. The write being sent is never replaced.
    bool SendCmd(const TStringBytes &Cmd, int DevAddr, const TzAnswerRule &Rule = {});
    // Priority <= 0 appends. Otherwise the request goes to index Priority (in front of the last
    // element of a shorter queue), in front of the ordinary requests there but behind the
    // priority requests queued before it: priority requests go out in the order they were
    // queued. The request being sent is never overtaken.
    bool SendCmdForce(const TStringBytes &Cmd, int DevAddr, int Priority,
                      const TzAnswerRule &Rule = {});
    // Every request still waiting is answered kErrCancelled with an empty answer, in queue
    // order; the one on the line ends its exchange and is answered as usual.
    void ClearRequestList();

    // Whether the request with this id is still queued or being exchanged.
    bool HoldsRequest(uint32_t uid) const;
    // Whether an equal frame is still queued or being exchanged: SendCmd would refuse it.
    // A request lets go of its frame when its exchange ends, before its answer is delivered.
    bool HoldsFrame(const TStringBytes &Cmd) const;
    int QueueCount() const;

    // Why the last Start failed, as the system reported it.
    QSerialPort::SerialPortError LastOpenError() const;
    QString LastOpenErrorText() const;

signals:
    // Emitted on the owner's thread, never once the destruction has begun.
    void answered(int comPort, quint32 uid, const TStringBytes &answer, quint32 errCode);
    // The worker has put an answer out for the owner's thread: one emission per answer.
    void answerWaiting(QPrivateSignal);

private:
    void DeliverAnswer();

    friend class TzFreePortTestAccess; // tests move GlobUID close to its wrap-around
    std::unique_ptr<TzFreePortThread> Port;
    QMetaObject::Connection m_onAsyncAnswer;
};
