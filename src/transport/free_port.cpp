#include "free_port.h"

#include "free_port_thread.h"
#include "utils.h"

TzFreePort::TzFreePort(const QString &portName, QObject *parent)
    : QObject(parent),
      Port(std::make_unique<TzFreePortThread>(portName, [this] { emit answerWaiting({}); })) {
    qRegisterMetaType<TStringBytes>();
    // Queued even when emitted on this thread, so that ClearRequestList never calls back into
    // its caller; the front receives it itself, so none is delivered once it is gone.
    connect(this, &TzFreePort::answerWaiting, this, &TzFreePort::DeliverAnswer,
            Qt::QueuedConnection);
}

// Port's destructor ends the worker before QObject's drops the answers still on their way.
TzFreePort::~TzFreePort() = default;

QString TzFreePort::PortName() const {
    return Port->PortName();
}

void TzFreePort::SetPortName(const QString &portName) {
    Port->SetPortName(portName);
}

int TzFreePort::ComPort() const {
    int number = 0;
    return TryDigitsToInt(PortName(), number) ? number : 0;
}

void TzFreePort::SetOnAsyncAnswerProc(TAsyncAnswer callback) {
    disconnect(m_onAsyncAnswer);
    if (callback)
        m_onAsyncAnswer = connect(this, &TzFreePort::answered, this, std::move(callback));
}

// One answer per call: a handler that runs an event loop of its own, or destroys this front,
// leaves the rest to their own calls.
void TzFreePort::DeliverAnswer() {
    TzPortAnswer answer;
    if (Port->TakeAnswer(answer))
        emit answered(answer.ComPort, answer.UID, answer.Answer, answer.ErrCode);
}

TzDCB &TzFreePort::LocDCB() {
    return Port->LocDCB();
}

TzTimeouts &TzFreePort::LocTimeouts() {
    return Port->LocTimeouts();
}

uint32_t TzFreePort::LastUID() const {
    return Port->LastUID();
}

bool TzFreePort::Start() {
    return Port->Start();
}

bool TzFreePort::Stop() {
    return Port->Stop();
}

bool TzFreePort::SendCmd(const TStringBytes &Cmd, int DevAddr, const TzAnswerRule &Rule) {
    return Port->RegCmd(Cmd, DevAddr, 0, Rule);
}

bool TzFreePort::SendCmdForce(const TStringBytes &Cmd, int DevAddr, int Priority,
                              const TzAnswerRule &Rule) {
    return Port->RegCmd(Cmd, DevAddr, Priority, Rule);
}

void TzFreePort::ClearRequestList() {
    Port->ClearRequestList();
}

bool TzFreePort::HoldsRequest(uint32_t uid) const {
    return Port->HoldsRequest(uid);
}

bool TzFreePort::HoldsFrame(const TStringBytes &Cmd) const {
    return Port->HoldsFrame(Cmd);
}

int TzFreePort::QueueCount() const {
    return Port->QueueCount();
}

QSerialPort::SerialPortError TzFreePort::LastOpenError() const {
    return Port->LastOpenError();
}

QString TzFreePort::LastOpenErrorText() const {
    return Port->LastOpenErrorText();
}
