#include "free_port_thread.h"

#include "modbus_write.h"
#include "utils.h"

#include <QByteArray>

#include <algorithm>

namespace {
constexpr uint32_t kMaxUID = 20000000;
// Room for more requests than the panel or the search ever keep queued, so that queueing
// only copies the frame into place and never allocates.
constexpr size_t kReservedRequests = 256;
} // namespace

TzFreePortThread::TzFreePortThread(const QString &portName, AnswerWaiting answerWaiting)
    : m_answerWaiting(std::move(answerWaiting)), m_portName(portName) {
    setObjectName("TzFreePort"); // the thread's name in the system
    RequestList.reserve(kReservedRequests);
}

TzFreePortThread::~TzFreePortThread() {
    {
        Lock lock(CS);
        m_destroying = true;
        m_breaker.Break();
    }
    Wake.notify_all();
    wait();
    // QThread tells that the worker has ended through a lock of its own; taking ours once more
    // orders everything the worker did before its last unlock before the members go.
    Lock lock(CS);
}

QString TzFreePortThread::PortName() const {
    Lock lock(CS);
    return m_portName;
}

void TzFreePortThread::SetPortName(const QString &portName) {
    Lock lock(CS);
    m_portName = portName;
}

// --- Queue ---------------------------------------------------------------------------------

// The last write to a register wins: a write takes the place of the waiting writes to the same
// registers, which are answered as cancelled, so that on, off, on ends on. The duplicate
// refusal then applies to what is left, the request on the line included.
bool TzFreePortThread::RegCmd(const TStringBytes &Cmd, int DevAddr, int Priority,
                              const TzAnswerRule &Rule) {
    if (Cmd.Size() == 0)
        return false;
    int cancelled = 0;
    bool queued = false;
    {
        Lock lock(CS);
        const TzWriteTarget target(Cmd);
        if (target.IsWrite())
            cancelled =
                CancelWaiting([&target](const TzReq &req) { return target.SameAs(req.Cmd); });
        queued = !IsQueued(Cmd);
        if (queued) {
            if (++GlobUID > kMaxUID)
                GlobUID = 0;
            Insert(TzReq{Cmd, GlobUID, DevAddr, GetTickCount(), Rule, Priority});
        }
    }
    AnnounceAnswers(cancelled);
    if (queued)
        Wake.notify_all();
    return queued;
}

void TzFreePortThread::ClearRequestList() {
    int cancelled = 0;
    {
        Lock lock(CS);
        cancelled = CancelWaiting([](const TzReq &) { return true; });
    }
    AnnounceAnswers(cancelled);
}

bool TzFreePortThread::HoldsRequest(uint32_t uid) const {
    Lock lock(CS);
    return std::any_of(RequestList.begin(), RequestList.end(),
                       [uid](const TzReq &req) { return req.UID == uid; });
}

bool TzFreePortThread::HoldsFrame(const TStringBytes &Cmd) const {
    Lock lock(CS);
    return IsQueued(Cmd);
}

int TzFreePortThread::QueueCount() const {
    Lock lock(CS);
    return int(RequestList.size());
}

uint32_t TzFreePortThread::LastUID() const {
    Lock lock(CS);
    return GlobUID;
}

void TzFreePortThread::SetGlobUID(uint32_t uid) {
    Lock lock(CS);
    GlobUID = uid;
}

bool TzFreePortThread::TakeAnswer(TzPortAnswer &answer) {
    Lock lock(CS);
    if (m_outbox.empty())
        return false;
    answer = std::move(m_outbox.front());
    m_outbox.pop_front();
    return true;
}

// The head is the request being sent: an equal frame is refused while it is on the line too.
bool TzFreePortThread::IsQueued(const TStringBytes &Cmd) const {
    return std::any_of(RequestList.begin(), RequestList.end(),
                       [&Cmd](const TzReq &req) { return req.Cmd == Cmd; });
}

// A priority request goes to index Priority (in front of the last element of a shorter queue)
// and from there on past the priority requests queued before it, so that priority requests keep
// their order: two quick switches of one output reach the module as they were made. The request
// on the line is never overtaken.
void TzFreePortThread::Insert(const TzReq &req) {
    const int count = int(RequestList.size());
    if (req.Priority <= 0 || count == 0) {
        RequestList.push_back(req);
        return;
    }
    int index = std::min(req.Priority, count - 1);
    if (index == 0 && m_onLine == RequestList.front().UID)
        index = 1;
    while (index < count && RequestList[index].Priority > 0)
        ++index;
    RequestList.insert(RequestList.begin() + index, req);
}

// The request on the line stays: its exchange goes on and it gets its own answer. The others
// the predicate picks leave the queue and are answered kErrCancelled with an empty answer, in
// queue order.
template <typename Pick> int TzFreePortThread::CancelWaiting(Pick pick) {
    const auto cancels = [&](const TzReq &req) { return req.UID != m_onLine && pick(req); };
    const TStringBytes empty = TStringBytes::FromBytes(QByteArray());
    int cancelled = 0;
    for (const TzReq &req : RequestList) {
        if (!cancels(req))
            continue;
        m_outbox.push_back({ComPort, req.UID, empty, kErrCancelled});
        ++cancelled;
    }
    if (cancelled > 0)
        std::erase_if(RequestList, cancels);
    return cancelled;
}

void TzFreePortThread::AnnounceAnswers(int count) {
    for (int i = 0; i < count; ++i)
        m_answerWaiting();
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
    Lock lock(CS);
    return m_lastOpenError.Code;
}

QString TzFreePortThread::LastOpenErrorText() const {
    Lock lock(CS);
    return m_lastOpenError.Text;
}

// Owner's thread: posts the command and waits until the worker has carried it out. The
// exchange in progress is cut short at its next wait on the port; the worker never waits for
// the owner's thread, so this wait is short.
bool TzFreePortThread::RunCommand(PortCommand command) {
    Lock lock(CS);
    m_command = command;
    m_breaker.Break();
    Wake.notify_all();
    CommandDone.wait(lock, [this] { return m_command == PortCommand::None; });
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
    if (!m_destroying)
        m_breaker.Reset();
    CommandDone.notify_all();
}

// --- Loop ----------------------------------------------------------------------------------

void TzFreePortThread::run() {
    TzSerialLine line(m_breaker);
    Lock lock(CS);
    m_line = &line;
    while (!m_destroying) {
        if (m_command != PortCommand::None)
            CarryOutCommand(lock);
        else if (HasWork())
            ServeHead(lock);
        else
            Wake.wait(lock, [this] {
                return m_destroying || m_command != PortCommand::None || HasWork();
            });
    }
    m_line = nullptr;
    lock.unlock();
    line.Close();
}

// The request leaves the queue as its exchange ends, before its answer is put out: the owner
// may queue the same frame again as soon as it has the answer.
void TzFreePortThread::ServeHead(Lock &lock) {
    // The worker's own copy: a ClearRequestList meanwhile cannot take the frame away.
    const TzReq req = RequestList.front();
    m_onLine = req.UID;
    lock.unlock();
    const TzExchangeResult result = m_line->Transfer(req.Cmd, req.Rule);
    lock.lock();
    m_onLine.reset();
    if (!result.Sent)
        return; // a command came before the frame went out: it stays queued
    RemoveRequest(req.UID);
    if (m_destroying)
        return;
    m_outbox.push_back({ComPort, req.UID, result.ResultArray, result.ErrorCode});
    lock.unlock();
    m_answerWaiting();
    lock.lock();
}
