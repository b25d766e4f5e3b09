#include "serial_line.h"

#include "free_port.h"
#include "low_latency.h"

#include <QDeadlineTimer>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <poll.h>
#endif

namespace {
constexpr int kMaxAnswer = 255;
constexpr int kLongestFrame = 256; // characters of the longest Modbus RTU frame

TzExchangeResult Failed(uint32_t errorCode) {
    return {TStringBytes::FromBytes(QByteArray()), errorCode};
}

TzExchangeResult NotSent() {
    TzExchangeResult result = Failed(kErrPortClosed);
    result.Sent = false;
    return result;
}

std::chrono::microseconds Us(double us) {
    return std::chrono::microseconds(int64_t(us));
}
} // namespace

TzSerialLine::TzSerialLine(const TzWaitBreaker &breaker) : m_breaker(breaker) {}

bool TzSerialLine::Open(const QString &portName, const TzDCB &dcb, const TzTimeouts &timeouts,
                        TzPortError &error) {
    Close();
    m_hungUp = false;
    m_port.setPortName(portName);
    if (!m_port.open(QIODevice::ReadWrite)) {
        error = {m_port.error(), m_port.errorString()};
        m_port.clearError();
        return false;
    }
    ReadPortSettings(m_port, FDCB);
    FDCB.Flags &= ~uint32_t(DcbFlags::fParity);
    FDCB.Flags |= uint32_t(DcbFlags::fAbortOnError);
    ApplyDCB(dcb, FDCB);
    if (!WritePortSettings(m_port, FDCB, error)) {
        m_port.clearError();
        return false;
    }
    RequestLowLatency(m_port);
    // No driver queue sizes are imposed: a read takes at most 255 bytes and the purge before
    // every exchange drops whatever is left.
    ApplyTimeouts(timeouts, FComTO);
    m_lastActivity = Clock::now();
    m_quietBefore = std::chrono::microseconds(InterFrameUs(FDCB));
    return true;
}

void TzSerialLine::Close() {
    if (!m_port.isOpen())
        return;
    m_port.clear();
    m_port.close();
    m_port.clearError();
}

TzExchangeResult TzSerialLine::Transfer(const TStringBytes &frame, const TzAnswerRule &rule) {
    if (!m_port.isOpen())
        return Failed(kErrPortClosed);
    if (!WaitForQuiet())
        return NotSent();
    Purge();
    Write(frame);
    QByteArray answer;
    TzAnswerEnd end = TzAnswerEnd::NotWhole;
    if (!HasHardError())
        answer = ReadAnswer(frame, rule, end);
    // A whole answer leaves the line to the next request after the inter-frame time; after
    // anything else the rest of a late answer may still be on its way.
    const auto interFrame = std::chrono::microseconds(InterFrameUs(FDCB));
    m_quietBefore = end == TzAnswerEnd::Complete
                        ? Clock::duration(interFrame)
                        : std::max<Clock::duration>(
                              interFrame, std::chrono::milliseconds(ReadIntervalMs(FComTO)));
    const uint32_t error = TakeLineError();
    if (end == TzAnswerEnd::Broken)
        return Failed(kErrPortClosed); // the port is being closed or reopened under it
    if (error)
        return Failed(error);
    if (answer.isEmpty())
        return Failed(kErrNoAnswer);
    return {TStringBytes::FromBytes(answer), kErrNone};
}

// Reads and drops what arrives until the line has been quiet long enough since its last
// activity. A line that never falls quiet is given the longest frame's time, then written to
// anyway. False when the wait was cut short.
bool TzSerialLine::WaitForQuiet() {
    const Clock::time_point giveUp =
        Clock::now() + Us(kLongestFrame * CharTimeUs(FDCB)) + m_quietBefore;
    for (;;) {
        const Clock::time_point now = Clock::now();
        const Clock::time_point quietAt = m_lastActivity + m_quietBefore;
        if (now >= quietAt || now >= giveUp)
            return true;
        switch (WaitForData(std::min(quietAt, giveUp) - now)) {
        case TzWaitResult::Broken:
            return false;
        case TzWaitResult::Failed:
            return true; // the exchange reports the port's error
        case TzWaitResult::Data:
            m_port.readAll();
            m_lastActivity = Clock::now();
            break;
        case TzWaitResult::Timeout:
            break;
        }
    }
}

void TzSerialLine::Purge() {
    m_port.clear(QSerialPort::AllDirections);
    m_port.readAll();
}

void TzSerialLine::Write(const TStringBytes &frame) {
    const int length = frame.Size();
    const QDeadlineTimer deadline(WriteTotalMs(FComTO, length));
    if (m_port.write(reinterpret_cast<const char *>(frame.Data()), length) != length)
        return;
    while (m_port.bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!m_port.waitForBytesWritten(int(deadline.remainingTime())))
            break;
    }
    if (m_port.error() == QSerialPort::TimeoutError)
        m_port.clearError();
    m_lastActivity = Clock::now();
}

// The read ends when the rule finds the answer whole, at 255 bytes, when the total timeout has
// passed, or, once the rule does not recognise what arrived (or there is no rule), at the
// first gap longer than the interval timeout.
QByteArray TzSerialLine::ReadAnswer(const TStringBytes &frame, const TzAnswerRule &rule,
                                    TzAnswerEnd &end) {
    const Clock::time_point deadline =
        Clock::now() +
        std::chrono::milliseconds(ReadTotalMs(FComTO, WireTimeMs(FDCB, rule.ExpectedLength)));
    const auto interval = std::chrono::milliseconds(ReadIntervalMs(FComTO));
    QByteArray answer;
    TzAnswerState state = TzAnswerState::Incomplete; // the first byte is awaited to the end
    end = TzAnswerEnd::NotWhole;
    for (;;) {
        Clock::duration wait = deadline - Clock::now();
        if (wait <= Clock::duration::zero())
            return answer;
        if (state == TzAnswerState::Unknown && interval.count() > 0)
            wait = std::min<Clock::duration>(wait, interval);
        switch (WaitForData(wait)) {
        case TzWaitResult::Broken:
            end = TzAnswerEnd::Broken;
            return answer;
        case TzWaitResult::Failed:
        case TzWaitResult::Timeout:
            return answer;
        case TzWaitResult::Data:
            break;
        }
        answer += m_port.read(kMaxAnswer - answer.size());
        m_lastActivity = Clock::now();
        if (answer.size() >= kMaxAnswer)
            return answer;
        state = rule.Check ? rule.Check(frame, answer) : TzAnswerState::Unknown;
        if (state == TzAnswerState::Complete) {
            end = TzAnswerEnd::Complete;
            return answer;
        }
    }
}

// Data: bytes wait in the port's buffer. The breaker ends the wait at once.
TzSerialLine::TzWaitResult TzSerialLine::WaitForData(Clock::duration timeout) {
    const Clock::time_point end = Clock::now() + timeout;
    for (;;) {
        if (m_breaker.IsBroken())
            return TzWaitResult::Broken;
        if (m_port.bytesAvailable() > 0)
            return TzWaitResult::Data;
        if (HasHardError())
            return TzWaitResult::Failed;
        const Clock::duration left = end - Clock::now();
        if (left <= Clock::duration::zero())
            return TzWaitResult::Timeout;
        if (!WaitForSystem(left))
            return TzWaitResult::Failed;
    }
}

#ifdef Q_OS_LINUX
// Waits on the port and the breaker together; whatever the system holds for the port goes
// into its buffer. False when the line hung up without Qt noticing.
bool TzSerialLine::WaitForSystem(Clock::duration timeout) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count();
    const timespec limit = {time_t(ns / 1000000000), long(ns % 1000000000)};
    pollfd fds[2] = {{int(m_port.handle()), POLLIN, 0}, {m_breaker.Handle(), POLLIN, 0}};
    if (ppoll(fds, m_breaker.Handle() >= 0 ? 2 : 1, &limit, nullptr) <= 0 || !fds[0].revents)
        return true;
    if (m_port.waitForReadyRead(0))
        return true;
    if (m_port.error() == QSerialPort::TimeoutError)
        m_port.clearError();
    // Qt reports the hang-up as a read error; the device is gone all the same.
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
        m_hungUp = true;
    return !m_hungUp;
}
#else
// Without a way to wait on the port and the breaker together, the wait goes in short slices.
bool TzSerialLine::WaitForSystem(Clock::duration timeout) {
    constexpr auto kSlice = std::chrono::milliseconds(5);
    const auto ms =
        std::chrono::ceil<std::chrono::milliseconds>(std::min<Clock::duration>(timeout, kSlice));
    if (!m_port.waitForReadyRead(int(ms.count())) && m_port.error() == QSerialPort::TimeoutError)
        m_port.clearError();
    return true;
}
#endif

bool TzSerialLine::HasHardError() const {
    const QSerialPort::SerialPortError error = m_port.error();
    return error != QSerialPort::NoError && error != QSerialPort::TimeoutError;
}

// The platform's ClearCommError: takes the port's error after an exchange and clears it.
uint32_t TzSerialLine::TakeLineError() {
    const QSerialPort::SerialPortError error = m_port.error();
    m_port.clearError();
    if (m_hungUp) {
        Close();
        return kErrPortClosed;
    }
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
        return kErrNone;
    case QSerialPort::ResourceError:
    case QSerialPort::NotOpenError:
    case QSerialPort::DeviceNotFoundError:
        Close(); // the device is gone
        return kErrPortClosed;
    case QSerialPort::UnsupportedOperationError:
        return kErrMode;
    default:
        return kErrIO;
    }
}
