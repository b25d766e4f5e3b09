#pragma once

#include <cstdint>

// A field holding this value is "not set": the port keeps what it has.
inline constexpr int kNotSet = 2147483647;

// Line settings to impose when the port opens. Codes follow the platform's serial record:
// Parity 0 none, 1 odd, 2 even, 3 mark, 4 space; StopBits 0 one, 1 one and a half, 2 two.
struct TzDCB {
    char fXonChar = 0, fXoffChar = 0, fErrorChar = 0, fEofChar = 0, fEvtChar = 0;
    int BaudRate, Flags, wReserved, XonLim, XoffLim, ByteSize, Parity, StopBits;
    bool bXonChar, bXoffChar, bErrorChar, bEofChar, bEvtChar;
    bool OnlyMyFlags; // zero the flag word before Flags is ORed in

    TzDCB() { Clear(); }
    void Clear();

    char XonChar() const { return fXonChar; }
    char XoffChar() const { return fXoffChar; }
    char ErrorChar() const { return fErrorChar; }
    char EofChar() const { return fEofChar; }
    char EvtChar() const { return fEvtChar; }
    void SetXonChar(char c) { fXonChar = c, bXonChar = true; }
    void SetXoffChar(char c) { fXoffChar = c, bXoffChar = true; }
    void SetErrorChar(char c) { fErrorChar = c, bErrorChar = true; }
    void SetEofChar(char c) { fEofChar = c, bEofChar = true; }
    void SetEvtChar(char c) { fEvtChar = c, bEvtChar = true; }
};

// Flag bits of the serial record that the port maps onto flow control and error handling.
namespace DcbFlags {
inline constexpr int fParity = 0x2;
inline constexpr int fOutxCtsFlow = 0x4;
inline constexpr int fOutX = 0x100;
inline constexpr int fInX = 0x200;
inline constexpr int fRtsControlHandshake = 0x2000;
inline constexpr int fAbortOnError = 0x4000;
} // namespace DcbFlags

// Read and write timeouts in milliseconds (multipliers in milliseconds per byte).
// A read ends at the first gap longer than ReadIntervalTimeout after the first byte, or when
// ReadTotalTimeoutMultiplier x 255 + ReadTotalTimeoutConstant has passed, or at 255 bytes.
struct TzTimeouts {
    int ReadIntervalTimeout, ReadTotalTimeoutMultiplier, ReadTotalTimeoutConstant;
    int WriteTotalTimeoutMultiplier, WriteTotalTimeoutConstant;

    TzTimeouts() { Clear(); }
    void Clear();
};
