#include "free_port_thread.h"

#include "utils.h"

#include <algorithm>

namespace {
constexpr uint32_t kMaxUID = 20000000;
// Room for more requests than the panel or the search ever keep queued, so that queueing
// only copies the frame into place and never allocates.
constexpr size_t kReservedRequests = 256;

// Marks the hand-over done when the callback returns, even by an exception.
struct HandOverFinisher {
    std::shared_ptr<TzPortSync> sync;
    ~HandOverFinisher() {
        {
            std::lock_guard lock(sync->CS);
            sync->HandOverDone = true;
        }
        sync->Wake.notify_all();
    }
};
} // namespace

TzFreePortThread::TzFreePortThread(QObject *front, const QString &portName)
    : m_front(front), m_sync(std::make_shared<TzPortSync>()), m_portName(portName) {
    setObjectName("TzFreePort"); // the thread's name in the system
    RequestList.reserve(kReservedRequests);
}

TzFreePortThread::~TzFreePortThread() {
    {
        Lock lock(m_sync->CS);
        m_sync->Destroying = true;
        m_breaker.Break();
    }
    m_sync->Wake.notify_all();
    wait();
}

QString TzFreePortThread::PortName() const {
    Lock lock(m_sync->CS);
    return m_portName;
}

void TzFreePortThread::SetPortName(const QString &portName) {
    Lock lock(m_sync->CS);
    m_portName = portName;
}

void TzFreePortThread::SetOnAsyncAnswerProc(TAsyncAnswer callback) {
    Lock lock(m_sync->CS);
    m_sync->OnAsyncAnswerProc = std::move(callback);
}

// --- Queue ---------------------------------------------------------------------------------

bool TzFreePortThread::RegCmd(const TStringBytes &Cmd, int DevAddr, int Priority,
                              const TzAnswerRule &Rule) {
    if (Cmd.Size() == 0)
        return false;
    {
        Lock lock(m_sync->CS);
        if (IsQueued(Cmd))
            return false;
        if (++GlobUID > kMaxUID)
            GlobUID = 0;
        Insert(TzReq{Cmd, GlobUID, DevAddr, GetTickCount(), Rule}, Priority);
    }
    m_sync->Wake.notify_all();
    return true;
}

void TzFreePortThread::ClearRequestList() {
    Lock lock(m_sync->CS);
    RequestList.clear();
}

bool TzFreePortThread::HoldsRequest(uint32_t uid) const {
    Lock lock(m_sync->CS);
    return std::any_of(RequestList.begin(), RequestList.end(),
                       [uid](const TzReq &req) { return req.UID == uid; });
}

bool TzFreePortThread::HoldsFrame(const TStringBytes &Cmd) const {
    Lock lock(m_sync->CS);
    return IsQueued(Cmd);
}

int TzFreePortThread::QueueCount() const {
    Lock lock(m_sync->CS);
    return int(RequestList.size());
}

uint32_t TzFreePortThread::LastUID() const {
    Lock lock(m_sync->CS);
    return GlobUID;
}

void TzFreePortThread::SetGlobUID(uint32_t uid) {
    Lock lock(m_sync->CS);
    GlobUID = uid;
}

// The head is the request being sent: an equal frame is refused while it is on the line too.
bool TzFreePortThread::IsQueued(const TStringBytes &Cmd) const {
    return std::any_of(RequestList.begin(), RequestList.end(),
                       [&Cmd](const TzReq &req) { return req.Cmd == Cmd; });
}

// A priority request goes to index Priority but never to the tail of a non-empty queue: with
// only the head queued it lands in front of it.
void TzFreePortThread::Insert(const TzReq &req, int Priority) {
    const int count = int(RequestList.size());
    if (Priority <= 0 || count == 0)
        RequestList.push_back(req);
    else if (count - 1 > Priority)
        RequestList.insert(RequestList.begin() + Priority, req);
    else
        RequestList.insert(RequestList.begin() + (count - 1), req);
}

void TzFreePortThread::RemoveRequest(uint32_t uid) {
    const auto it = std::find_if(RequestList.begin(), RequestList.end(),
                                 [uid](const TzReq &req) { return req.UID == uid; });
    if (it != RequestList.end())
        RequestList.erase(it);
}

bool TzFreePortThread::HasWork() const {
    return m_serving && !RequestList.empty();
}

// --- Open and close ------------------------------------------------------------------------

bool TzFreePortThread::Start() {
    if (!isRunning())
        start(); // the port is opened by the worker thread itself
    return RunCommand(PortCommand::Open);
}

bool TzFreePortThread::Stop() {
    if (!isRunning())
        return true; // never started: nothing is open
    return RunCommand(PortCommand::Close);
}

QSerialPort::SerialPortError TzFreePortThread::LastOpenError() const {
    Lock lock(m_sync->CS);
    return m_lastOpenError.Code;
}

QString TzFreePortThread::LastOpenErrorText() const {
    Lock lock(m_sync->CS);
    return m_lastOpenError.Text;
}

// Owner's thread: posts the command and waits until the worker has carried it out. The
// exchange in progress is cut short at its next wait on the port.
bool TzFreePortThread::RunCommand(PortCommand command) {
    Lock lock(m_sync->CS);
    m_command = command;
    m_breaker.Break();
    m_sync->Wake.notify_all();
    m_sync->CommandDone.wait(lock, [this] { return m_command == PortCommand::None; });
    return m_commandResult;
}

void TzFreePortThread::CarryOutCommand(Lock &lock) {
    const PortCommand command = m_command;
    const QString portName = m_portName;
    const TzDCB dcb = m_locDCB;
    const TzTimeouts timeouts = m_locTimeouts;
    lock.unlock();

    TzPortError error;
    bool ok = true;
    if (command == PortCommand::Open)
        ok = m_line->Open(portName, dcb, timeouts, error);
    else
        m_line->Close();

    lock.lock();
    if (command == PortCommand::Open) {
        if (!TryDigitsToInt(portName, ComPort))
            ComPort = 0;
        if (ok)
            m_serving = true;
        else
            m_lastOpenError = error;
    }
    m_commandResult = ok;
    m_command = PortCommand::None;
    if (!m_sync->Destroying)
        m_breaker.Reset();
    m_sync->CommandDone.notify_all();
}

// --- Loop ----------------------------------------------------------------------------------

void TzFreePortThread::run() {
    TzSerialLine line(m_breaker);
    m_line = &line;
    Lock lock(m_sync->CS);
    while (!m_sync->Destroying) {
        if (m_command != PortCommand::None)
            CarryOutCommand(lock);
        else if (HasWork())
            ServeHead(lock);
        else
            m_sync->Wake.wait(lock, [this] {
                return m_sync->Destroying || m_command != PortCommand::None || HasWork();
            });
    }
    lock.unlock();
    line.Close();
    m_line = nullptr;
}

// The silence between two requests is kept by the line, before the next write, so the time
// the hand-over takes counts towards it.
void TzFreePortThread::ServeHead(Lock &lock) {
    // The worker's own copy: a ClearRequestList meanwhile cannot take the frame away.
    const TzReq req = RequestList.front();
    lock.unlock();
    const TzExchangeResult result = m_line->Transfer(req.Cmd, req.Rule);
    lock.lock();
    if (!result.Sent)
        return; // a command came before the frame went out: it stays queued
    HandOver(req.UID, result, lock);
    // Removed only now, so the answered frame is refused if the callback queues it again.
    RemoveRequest(req.UID);
}

// --- Hand-over -----------------------------------------------------------------------------

// Waits until the callback has returned on the owner's thread. Start and Stop posted
// meanwhile are carried out while waiting (the owner may call them from the callback, or be
// blocked in one before the answer got its turn); destruction ends the wait at once.
void TzFreePortThread::HandOver(uint32_t uid, const TzExchangeResult &result, Lock &lock) {
    if (m_sync->Destroying || !m_sync->OnAsyncAnswerProc)
        return;
    m_sync->HandOverDone = false;
    PostAnswer(uid, result);
    for (;;) {
        m_sync->Wake.wait(lock, [this] {
            return m_sync->HandOverDone || m_sync->Destroying || m_command != PortCommand::None;
        });
        if (m_sync->HandOverDone || m_sync->Destroying)
            return;
        CarryOutCommand(lock);
    }
}

void TzFreePortThread::PostAnswer(uint32_t uid, const TzExchangeResult &result) {
    const auto deliver = [sync = m_sync, comPort = ComPort, uid, answer = result.ResultArray,
                          errorCode = result.ErrorCode] {
        TAsyncAnswer callback;
        {
            std::lock_guard lock(sync->CS);
            if (sync->Destroying)
                return;
            callback = sync->OnAsyncAnswerProc;
        }
        const HandOverFinisher finisher{sync};
        if (callback)
            callback(comPort, uid, answer, errorCode);
    };
    QMetaObject::invokeMethod(m_front, deliver, Qt::QueuedConnection);
}
