#pragma once

#include "serial_overlays.h"

#include <QSerialPort>
#include <QString>

#include <cstdint>

// Mirror of the platform's serial line record, in the platform's codes. Qt knows the baud
// rate, data bits, parity, stop bits and flow control; the other fields live only here, the
// way a driver keeps them from one opening to the next.
struct TzPortDCB {
    uint32_t BaudRate = 9600;
    uint32_t Flags = 0x1; // fBinary
    uint16_t XonLim = 2048, XoffLim = 512;
    uint8_t ByteSize = 8, Parity = 0, StopBits = 0;
    char XonChar = 0x11, XoffChar = 0x13, ErrorChar = 0, EofChar = 0, EvtChar = 0;
};

// Mirror of the platform's timeouts record (milliseconds; multipliers per byte). A port starts
// with these until an overlay changes them: an answer ends at the first gap longer than 20 ms,
// a silent device is given up after 500 ms, a write may take 1000 ms.
struct TzCommTimeouts {
    uint32_t ReadIntervalTimeout = 20;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 500;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 1000;
};

struct TzPortError {
    QSerialPort::SerialPortError Code = QSerialPort::NoError;
    QString Text;
};

// Fields of the overlay that are set replace (or, for Flags, are ORed into) the record's.
void ApplyDCB(const TzDCB &overlay, TzPortDCB &dcb);
void ApplyTimeouts(const TzTimeouts &overlay, TzCommTimeouts &timeouts);

// Takes what Qt knows of the open port into the record; the rest of the record stays.
void ReadPortSettings(const QSerialPort &port, TzPortDCB &dcb);
// Imposes the record on the open port; false when a value has no Qt equivalent or is refused.
bool WritePortSettings(QSerialPort &port, const TzPortDCB &dcb, TzPortError &error);

// The whole read may last this long: multiplier x 255 bytes + constant, and never less than the
// expected answer's wire time + constant.
int ReadTotalMs(const TzCommTimeouts &timeouts, int answerWireMs = 0);
// A write of length bytes may last this long (multiplier x length + constant).
int WriteTotalMs(const TzCommTimeouts &timeouts, int length);
// The longest gap inside an answer; 0 when gaps do not end a read.
int ReadIntervalMs(const TzCommTimeouts &timeouts);

// Microseconds one character takes on the line: start bit, data bits, parity and stop bits.
double CharTimeUs(const TzPortDCB &dcb);
// Milliseconds this many characters take on the line, rounded up.
int WireTimeMs(const TzPortDCB &dcb, int characters);
// The silence that separates two Modbus frames: 3.5 characters, and 1.75 ms above 19200 bit/s.
int64_t InterFrameUs(const TzPortDCB &dcb);
