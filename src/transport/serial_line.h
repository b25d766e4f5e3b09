#pragma once

#include "answer_rule.h"
#include "port_settings.h"
#include "serial_overlays.h"
#include "string_bytes.h"
#include "wait_breaker.h"

#include <QByteArray>
#include <QSerialPort>
#include <QString>

#include <chrono>
#include <cstdint>

// Error bits delivered with a failed exchange, in the platform's codes. Qt reports no parity,
// framing or break errors, so those bits never come from here; read and write failures are
// reported as an I/O error, an unsupported operation as a mode error.
inline constexpr uint32_t kErrIO = 0x400;    // CE_IOE
inline constexpr uint32_t kErrMode = 0x8000; // CE_MODE

struct TzExchangeResult {
    TStringBytes ResultArray; // empty unless the exchange succeeded
    uint32_t ErrorCode = 0;
    bool Sent = true; // false: cut short before the frame went out, so it may still be sent
};

// The open port and one exchange on it: wait for the line to be quiet, purge, write the frame,
// read until the answer is whole or the line falls silent. Created, used and destroyed on the
// worker thread only, in blocking mode.
class TzSerialLine {
public:
    // A broken breaker cuts short every wait on the port.
    explicit TzSerialLine(const TzWaitBreaker &breaker);

    // Closes first if open. A failure after the port opened leaves it open, like the platform.
    bool Open(const QString &portName, const TzDCB &dcb, const TzTimeouts &timeouts,
              TzPortError &error);
    void Close();
    bool IsOpen() const { return m_port.isOpen(); }

    TzExchangeResult Transfer(const TStringBytes &frame, const TzAnswerRule &rule);

private:
    using Clock = std::chrono::steady_clock;
    enum class TzWaitResult { Data, Timeout, Broken, Failed };
    enum class TzAnswerEnd { Complete, NotWhole, Broken };

    bool WaitForQuiet();
    void Purge();
    void Write(const TStringBytes &frame);
    QByteArray ReadAnswer(const TStringBytes &frame, const TzAnswerRule &rule, TzAnswerEnd &end);
    TzWaitResult WaitForData(Clock::duration timeout);
    bool WaitForSystem(Clock::duration timeout);
    bool HasHardError() const;
    uint32_t TakeLineError();

    QSerialPort m_port;
    TzPortDCB FDCB;
    TzCommTimeouts FComTO;
    const TzWaitBreaker &m_breaker;
    // The silence the next request waits for, counted from the line's last activity.
    Clock::time_point m_lastActivity;
    Clock::duration m_quietBefore{};
    bool m_hungUp = false; // the system reported the device gone
};
