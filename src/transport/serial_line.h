#pragma once

#include "port_settings.h"
#include "serial_overlays.h"
#include "string_bytes.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QSerialPort>
#include <QString>

#include <atomic>
#include <cstdint>

// Error bits delivered with a failed exchange, in the platform's codes. Qt reports no parity,
// framing or break errors, so those bits never come from here; read and write failures are
// reported as an I/O error, an unsupported operation as a mode error.
inline constexpr uint32_t kErrIO = 0x400;    // CE_IOE
inline constexpr uint32_t kErrMode = 0x8000; // CE_MODE

struct TzExchangeResult {
    TStringBytes ResultArray; // empty unless the exchange succeeded
    uint32_t ErrorCode = 0;
};

// The open port and one exchange on it: purge, write the frame, read until the line falls
// silent. Created, used and destroyed on the worker thread only, in blocking mode.
class TzSerialLine {
public:
    // abandon turns true when the owner is going away: the wait for an answer is cut short.
    explicit TzSerialLine(const std::atomic<bool> &abandon);

    // Closes first if open. A failure after the port opened leaves it open, like the platform.
    bool Open(const QString &portName, const TzDCB &dcb, const TzTimeouts &timeouts,
              TzPortError &error);
    void Close();
    bool IsOpen() const { return m_port.isOpen(); }

    TzExchangeResult Transfer(const TStringBytes &frame);

private:
    void Purge();
    void Write(const TStringBytes &frame);
    QByteArray ReadAnswer();
    bool WaitForFirstByte(const QDeadlineTimer &deadline);
    bool WaitForData(int ms);
    bool HasHardError() const;
    uint32_t TakeLineError();

    QSerialPort m_port;
    TzPortDCB FDCB;
    TzCommTimeouts FComTO;
    const std::atomic<bool> &m_abandon;
};
