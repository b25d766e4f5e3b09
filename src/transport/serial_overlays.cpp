#include "serial_overlays.h"

void TzDCB::Clear() {
    fXonChar = fXoffChar = fErrorChar = fEofChar = fEvtChar = 0;
    BaudRate = Flags = wReserved = XonLim = XoffLim = ByteSize = Parity = StopBits = kNotSet;
    bXonChar = bXoffChar = bErrorChar = bEofChar = bEvtChar = false;
    OnlyMyFlags = false;
}

void TzTimeouts::Clear() {
    ReadIntervalTimeout = ReadTotalTimeoutMultiplier = ReadTotalTimeoutConstant = kNotSet;
    WriteTotalTimeoutMultiplier = WriteTotalTimeoutConstant = kNotSet;
}
