#include "modbus_answer_rule.h"

#include "modbus_frames.h"

namespace {
constexpr uint8_t kExceptionBit = 0x80;
constexpr int kExceptionLength = 5;
constexpr int kReadHeader = 5; // address, function, byte count and the CRC
constexpr int kWriteAnswerLength = 8;

bool IsRead(uint8_t function) {
    return function >= 1 && function <= 4;
}

bool IsWrite(uint8_t function) {
    return function == 5 || function == 6 || function == 15 || function == 16;
}

} // namespace

TzAnswerState ModbusRtuAnswerState(const TStringBytes &request, const QByteArray &received) {
    if (request.Size() < 2)
        return TzAnswerState::Unknown;
    const uint8_t address = request.ByteAt(1);
    const uint8_t function = request.ByteAt(2);
    const int size = int(received.size());
    if (size == 0)
        return TzAnswerState::Incomplete;
    if (uint8_t(received[0]) != address)
        return TzAnswerState::Unknown;
    if (size < 2)
        return TzAnswerState::Incomplete;

    int length = 0;
    const uint8_t answered = uint8_t(received[1]);
    if (answered == (function | kExceptionBit)) {
        length = kExceptionLength;
    } else if (answered != function) {
        return TzAnswerState::Unknown;
    } else if (IsRead(function)) {
        if (size < 3)
            return TzAnswerState::Incomplete;
        length = kReadHeader + uint8_t(received[2]);
    } else if (IsWrite(function)) {
        length = kWriteAnswerLength;
    } else {
        return TzAnswerState::Unknown;
    }
    if (size < length)
        return TzAnswerState::Incomplete;
    if (size > length || !CrcMatches(TStringBytes::FromBytes(received)))
        return TzAnswerState::Unknown;
    return TzAnswerState::Complete;
}

int ModbusRtuAnswerLength(const TStringBytes &request) {
    if (request.Size() < 6)
        return 0;
    const uint8_t function = request.ByteAt(2);
    const int quantity = (request.ByteAt(5) << 8) | request.ByteAt(6);
    if (function == 1 || function == 2)
        return kReadHeader + (quantity + 7) / 8;
    if (function == 3 || function == 4)
        return kReadHeader + 2 * quantity;
    return IsWrite(function) ? kWriteAnswerLength : 0;
}

TzAnswerRule ModbusRtuAnswerRule(const TStringBytes &request) {
    return {&ModbusRtuAnswerState, ModbusRtuAnswerLength(request)};
}
