#include "modbus_write.h"

namespace {
constexpr uint8_t kWriteSingleCoil = 0x05;
constexpr uint8_t kWriteSingleRegister = 0x06;
constexpr uint8_t kWriteMultipleCoils = 0x0F;
constexpr uint8_t kWriteMultipleRegisters = 0x10;
} // namespace

TzWriteTarget::TzWriteTarget(const TStringBytes &frame) : m_frame(frame) {
    if (frame.Size() < kShortestRequest)
        return;
    switch (frame.Data()[1]) {
    case kWriteSingleCoil:
    case kWriteSingleRegister:
        m_size = 4; // address, function, register
        break;
    case kWriteMultipleCoils:
    case kWriteMultipleRegisters:
        m_size = 6; // and the count
        break;
    default:
        break;
    }
}
