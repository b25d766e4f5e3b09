#include "modbus_write.h"

namespace {
constexpr uint8_t kWriteSingleCoil = 0x05;
constexpr uint8_t kWriteSingleRegister = 0x06;
constexpr uint8_t kWriteMultipleCoils = 0x0F;
constexpr uint8_t kWriteMultipleRegisters = 0x10;

// Address, function, register and the value or count: shorter is no request at all.
constexpr int kShortestRequest = 6;

bool IsMultipleWrite(uint8_t function) {
    return function == kWriteMultipleCoils || function == kWriteMultipleRegisters;
}
} // namespace

// Positions of TStringBytes are 1-based: 1 address, 2 function, 3..4 register, 5..6 count.
bool IsModbusWrite(const TStringBytes &frame) {
    if (frame.Size() < kShortestRequest)
        return false;
    const uint8_t function = frame.ByteAt(2);
    return function == kWriteSingleCoil || function == kWriteSingleRegister ||
           IsMultipleWrite(function);
}

bool WritesSameRegisters(const TStringBytes &earlier, const TStringBytes &later) {
    if (!IsModbusWrite(earlier) || !IsModbusWrite(later))
        return false;
    const int last = IsMultipleWrite(later.ByteAt(2)) ? 6 : 4;
    for (int i = 1; i <= last; ++i)
        if (earlier.ByteAt(i) != later.ByteAt(i))
            return false;
    return true;
}
