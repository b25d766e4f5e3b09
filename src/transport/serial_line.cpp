#include "serial_line.h"

#include "free_port.h"

#include <QDeadlineTimer>

#include <algorithm>

namespace {
constexpr int kMaxAnswer = 255;
// The wait for the first byte is taken in slices so that a destruction does not sit out a
// long total timeout.
constexpr qint64 kAbandonCheckMs = 50;

TzExchangeResult Failed(uint32_t errorCode) {
    return {TStringBytes::FromBytes(QByteArray()), errorCode};
}
} // namespace

TzSerialLine::TzSerialLine(const std::atomic<bool> &abandon) : m_abandon(abandon) {}

bool TzSerialLine::Open(const QString &portName, const TzDCB &dcb, const TzTimeouts &timeouts,
                        TzPortError &error) {
    Close();
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
    // No driver queue sizes are imposed: a read takes at most 255 bytes and the purge before
    // every exchange drops whatever is left.
    ApplyTimeouts(timeouts, FComTO);
    return true;
}

void TzSerialLine::Close() {
    if (!m_port.isOpen())
        return;
    m_port.clear();
    m_port.close();
    m_port.clearError();
}

TzExchangeResult TzSerialLine::Transfer(const TStringBytes &frame) {
    if (!m_port.isOpen())
        return Failed(kErrPortClosed);
    Purge();
    Write(frame);
    QByteArray answer;
    if (!HasHardError())
        answer = ReadAnswer();
    if (const uint32_t error = TakeLineError())
        return Failed(error);
    if (answer.isEmpty())
        return Failed(kErrNoAnswer);
    return {TStringBytes::FromBytes(answer), kErrNone};
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
}

// The read ends at 255 bytes, at the first gap longer than the interval timeout after the
// first byte, or when the total timeout has passed.
QByteArray TzSerialLine::ReadAnswer() {
    const QDeadlineTimer deadline(ReadTotalMs(FComTO));
    const int interval = ReadIntervalMs(FComTO);
    QByteArray answer;
    if (!WaitForFirstByte(deadline))
        return answer;
    for (;;) {
        answer += m_port.read(kMaxAnswer - answer.size());
        if (answer.size() >= kMaxAnswer || deadline.hasExpired())
            break;
        if (m_port.bytesAvailable() > 0)
            continue;
        const qint64 remaining = deadline.remainingTime();
        const qint64 wait = interval > 0 ? std::min<qint64>(interval, remaining) : remaining;
        if (!WaitForData(int(wait)))
            break;
    }
    return answer;
}

bool TzSerialLine::WaitForFirstByte(const QDeadlineTimer &deadline) {
    while (m_port.bytesAvailable() == 0) {
        if (deadline.hasExpired() || m_abandon || HasHardError())
            return false;
        WaitForData(int(std::min(deadline.remainingTime(), kAbandonCheckMs)));
    }
    return true;
}

bool TzSerialLine::WaitForData(int ms) {
    if (m_port.waitForReadyRead(ms))
        return true;
    if (m_port.error() == QSerialPort::TimeoutError)
        m_port.clearError();
    return false;
}

bool TzSerialLine::HasHardError() const {
    const QSerialPort::SerialPortError error = m_port.error();
    return error != QSerialPort::NoError && error != QSerialPort::TimeoutError;
}

// The platform's ClearCommError: takes the port's error after an exchange and clears it.
uint32_t TzSerialLine::TakeLineError() {
    const QSerialPort::SerialPortError error = m_port.error();
    m_port.clearError();
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
