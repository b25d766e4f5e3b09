#include "modbus_frames.h"

#include "device.h"
#include "tag.h"
#include "transport/utils.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

namespace {

constexpr int kBlockValType = 24;
constexpr uint8_t kExceptionBit = 0x80;

uint8_t HighByte(int v) {
    return uint8_t((v >> 8) & 0xFF);
}
uint8_t LowByte(int v) {
    return uint8_t(v & 0xFF);
}

void PutCrc(TStringBytes &frame) {
    const int n = frame.Size();
    const uint16_t crc = ModbusCRC16(frame, n - 2);
    frame.SetByteAt(n - 1, LowByte(crc));
    frame.SetByteAt(n, HighByte(crc));
}

// The low 32 bits of v truncated toward zero, in two's complement, for any magnitude.
uint32_t TruncatedLow32(double v) {
    constexpr double kTwo32 = 4294967296.0;
    double r = std::fmod(std::trunc(v), kTwo32); // exact; NaN and infinities give NaN
    if (std::isnan(r)) {
        return 0;
    }
    if (r < 0) {
        r += kTwo32;
    }
    return uint32_t(r);
}

// How a register value of each ValType is written: the OrderMas length it needs, the frame
// length and the largest position digit that stays clear of the CRC.
struct RegisterLayout {
    int orderLength = 0;
    int frameLength = 0;
    int maxDigit = 0;
};

bool WriteLayout(int valType, RegisterLayout &layout) {
    static constexpr RegisterLayout kLayouts[] = {{4, 10, 4}, {4, 14, 8}, {2, 8, 2},
                                                  {4, 10, 4}, {2, 8, 2},  {4, 10, 4}};
    if (valType < 0 || valType > 5) {
        return false;
    }
    layout = kLayouts[valType];
    return true;
}

// v converted for ValType 0..5 as a bit pattern (bytes least significant first) and as sent.
uint64_t ConvertForWrite(int valType, double v, double &sent) {
    const uint32_t low32 = TruncatedLow32(v);
    switch (valType) {
    case 0: {
        const float f = float(v);
        sent = f;
        return std::bit_cast<uint32_t>(f);
    }
    case 1:
        sent = v;
        return std::bit_cast<uint64_t>(v);
    case 2:
        sent = uint16_t(low32);
        return uint16_t(low32);
    case 3:
        sent = low32;
        return low32;
    case 4:
        sent = int16_t(uint16_t(low32));
        return uint16_t(low32);
    default:
        sent = int32_t(low32);
        return low32;
    }
}

// The number of ValType 0..5 whose bytes, least significant first, are given.
double ValueFromBytes(int valType, const uint8_t *bytes, int count) {
    uint64_t bits = 0;
    for (int i = 0; i < count; ++i) {
        bits |= uint64_t(bytes[i]) << (8 * i);
    }
    switch (valType) {
    case 0:
        return std::bit_cast<float>(uint32_t(bits));
    case 1:
        return std::bit_cast<double>(bits);
    case 2:
        return uint16_t(bits);
    case 3:
        return uint32_t(bits);
    case 4:
        return int16_t(uint16_t(bits));
    default:
        return int32_t(uint32_t(bits));
    }
}

bool BuildRegisterWrite(const TzTag &tag, double v, TStringBytes &frame, double &sentValue) {
    RegisterLayout layout;
    if (!WriteLayout(tag.ValType, layout) || tag.OrderMas.size() != layout.orderLength) {
        return false;
    }
    double sent = 0;
    const uint64_t bits = ConvertForWrite(tag.ValType, v, sent);
    TStringBytes f;
    f.setSize(layout.frameLength);
    for (int i = 0; i < layout.orderLength; ++i) {
        const int digit = uint8_t(tag.OrderMas.at(i));
        if (digit > layout.maxDigit) {
            return false;
        }
        f.SetByteAt(4 + digit, uint8_t(bits >> (8 * i)));
    }
    f.SetByteAt(1, LowByte(tag.Device->DevAddr));
    f.SetByteAt(2, uint8_t(tag.WriteCmd));
    f.SetByteAt(3, HighByte(tag.Reg));
    f.SetByteAt(4, LowByte(tag.Reg));
    PutCrc(f);
    frame = f;
    sentValue = sent;
    return true;
}

void TakeException(const TStringBytes &answer, TzTag &tag) {
    tag.ModbusError = true;
    if (answer.Size() >= 5) { // the code lies before the CRC
        const int code = answer.ByteAt(3);
        tag.ModbusErrorCode = code;
        tag.ModbusErrorCodeStr = QString::number(code, 16).toUpper().rightJustified(2, '0') + "h";
    }
}

// A write is confirmed by its echo: the tag takes the value the request carried.
bool ConfirmWrite(const TStringBytes &request, TzTag &tag) {
    if (request.ByteAt(2) == 5) {
        if (request.Size() != 8) {
            return false;
        }
        const int state = (request.ByteAt(5) << 8) | request.ByteAt(6);
        if (state != 0xFF00 && state != 0x0000) {
            return false;
        }
        tag.SetValue(state == 0xFF00 ? 1 : 0);
        return true;
    }
    RegisterLayout layout;
    if (!WriteLayout(tag.ValType, layout) || tag.OrderMas.size() != layout.orderLength ||
        request.Size() != layout.frameLength) {
        return false;
    }
    if (tag.ValType == 1) { // only half of the double went out; the value set on sending stands
        tag.SetValue(tag.Value());
        return true;
    }
    uint8_t bytes[8] = {};
    for (int i = 0; i < layout.orderLength; ++i) {
        const int digit = uint8_t(tag.OrderMas.at(i));
        if (digit > layout.maxDigit) {
            return false;
        }
        bytes[i] = request.ByteAt(4 + digit);
    }
    tag.SetValue(ValueFromBytes(tag.ValType, bytes, layout.orderLength));
    return true;
}

// Every block is kept with each group of OrderMas-length bytes most significant byte first,
// which is how an Order "21" block arrives; other orders are rearranged group by group.
bool ArrangeBlock(QByteArray &data, const QByteArray &orderMas) {
    const int k = orderMas.size();
    if (k == 0 || data.size() % k != 0) {
        return false;
    }
    QByteArray arranged(data.size(), '\0');
    for (int g = 0; g < data.size(); g += k) {
        for (int i = 0; i < k; ++i) {
            const int digit = uint8_t(orderMas.at(i));
            if (digit < 1 || digit > k) {
                return false;
            }
            arranged[g + k - 1 - i] = data.at(g + digit - 1);
        }
    }
    data = arranged;
    return true;
}

bool TakeBlock(const TStringBytes &answer, TzTag &tag) {
    const int count = answer.ByteAt(3);
    if (count == 0) {
        return false;
    }
    const int last = std::min(3 + count, answer.Size() - 2);
    QByteArray data;
    for (int pos = 4; pos <= last; ++pos) {
        data.append(char(answer.ByteAt(pos)));
    }
    if (tag.Order != "21" && !ArrangeBlock(data, tag.OrderMas)) {
        return false;
    }
    tag.Data = data;
    return true;
}

bool TakeBit(const TStringBytes &answer, TzTag &tag) {
    if (answer.Size() != 6 || answer.ByteAt(3) != 1) {
        return false;
    }
    tag.SetValue(answer.ByteAt(4) & 1);
    return true;
}

bool TakeRegister(const TStringBytes &answer, TzTag &tag) {
    const int count = answer.ByteAt(3);
    // The data bytes must end where the CRC begins.
    if (count == 0 || answer.Size() != count + 5) {
        return false;
    }
    auto data = [&answer](int p) { return answer.ByteAt(3 + p); }; // p 0 is the byte count
    double value = 0;
    if (tag.ValType >= 0 && tag.ValType <= 5) {
        static constexpr int kLength[] = {4, 8, 2, 4, 2, 4};
        const int length = kLength[tag.ValType];
        if (count != length || tag.OrderMas.size() != length) {
            return false;
        }
        uint8_t bytes[8] = {};
        for (int i = 0; i < length; ++i) {
            const int digit = uint8_t(tag.OrderMas.at(i));
            if (digit > count) {
                return false;
            }
            bytes[i] = data(digit);
        }
        value = ValueFromBytes(tag.ValType, bytes, length);
    } else if (tag.ValType == 6 || tag.ValType == 7) {
        if (count != 2) {
            return false;
        }
        value = tag.ValType == 6 ? data(2) : data(1);
    } else {
        if (tag.BitPos < 0) {
            return true;
        }
        if (count != 2) {
            return false;
        }
        // A signed 16-bit number, low byte first: bits above 15 repeat bit 15.
        const int word = data(1) | (data(2) << 8);
        value = (word >> std::min(tag.BitPos, 15)) & 1;
    }
    tag.SetValue(value);
    return true;
}

} // namespace

bool CrcMatches(const TStringBytes &frame) {
    const int n = frame.Size();
    const uint16_t crc = ModbusCRC16(frame, n - 2);
    return frame.ByteAt(n - 1) == LowByte(crc) && frame.ByteAt(n) == HighByte(crc);
}

TStringBytes BuildReadRequest(const TzTag &tag) {
    if (!tag.Device || tag.ReadCmd < 1 || tag.ReadCmd > 4) {
        return TStringBytes::FromBytes(QByteArray());
    }
    TStringBytes frame = TStringBytes::FromBytes(
        {LowByte(tag.Device->DevAddr), uint8_t(tag.ReadCmd), HighByte(tag.Reg), LowByte(tag.Reg),
         HighByte(tag.SegSize), LowByte(tag.SegSize), 0, 0});
    PutCrc(frame);
    return frame;
}

bool BuildWriteRequest(const TzTag &tag, double v, TStringBytes &frame, double &sentValue) {
    if (!tag.Device) {
        return false;
    }
    if (tag.WriteCmd == 6 || tag.WriteCmd == 16) {
        return BuildRegisterWrite(tag, v, frame, sentValue);
    }
    if (tag.WriteCmd != 5) {
        return false;
    }
    const bool on = (TruncatedLow32(v) & 0xFFFF) != 0;
    frame = TStringBytes::FromBytes({LowByte(tag.Device->DevAddr), 5, HighByte(tag.Reg),
                                     LowByte(tag.Reg), uint8_t(on ? 0xFF : 0), 0, 0, 0});
    PutCrc(frame);
    sentValue = on ? 1 : 0;
    return true;
}

bool DecodeModbusAnswer(const TStringBytes &answer, TzTag &tag, const TStringBytes &request) {
    if (!tag.Device) {
        return false;
    }
    // Address, function and CRC at the least.
    if (answer.Size() < 4 || !CrcMatches(answer)) {
        return false;
    }
    const bool haveRequest = request.IsInitialized() && request.Size() >= 2;
    if (haveRequest &&
        (answer.ByteAt(1) != request.ByteAt(1) ||
         (answer.ByteAt(2) & ~kExceptionBit) != (request.ByteAt(2) & ~kExceptionBit))) {
        return false;
    }
    if (answer.ByteAt(2) & kExceptionBit) {
        TakeException(answer, tag);
        return false;
    }
    tag.ModbusError = false;
    // A write is answered by its echo and by nothing else.
    if (haveRequest && (request.ByteAt(2) == 5 || request.ByteAt(2) == 6)) {
        return answer == request && ConfirmWrite(request, tag);
    }
    if (tag.ValType == kBlockValType) {
        return TakeBlock(answer, tag);
    }
    if (tag.ReadCmd == 1 || tag.ReadCmd == 2) {
        return TakeBit(answer, tag);
    }
    if (tag.ReadCmd < 1 || tag.ReadCmd > 4) {
        return true;
    }
    return TakeRegister(answer, tag);
}
