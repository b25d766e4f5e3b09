#include "free_port.h"

#include "free_port_thread.h"
#include "utils.h"

TzFreePort::TzFreePort(const QString &portName, QObject *parent)
    : QObject(parent), Port(std::make_unique<TzFreePortThread>(this, portName)) {}

// Port's destructor ends the worker before QObject's removes any answer still on its way.
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
    Port->SetOnAsyncAnswerProc(std::move(callback));
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
