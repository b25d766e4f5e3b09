#pragma once

#include "transport/string_bytes.h"

class TzTag;

// The 8-byte read request of a tag, or an empty frame when its ReadCmd is not 1..4.
TStringBytes BuildReadRequest(const TzTag &tag);

// The write request of a tag: function 5 (coil) or 6/16 (register, laid out by ValType and
// OrderMas). sentValue is the value as it goes on the line (1/0 for a coil, the low bits of an
// integer). False when the frame cannot be built.
bool BuildWriteRequest(const TzTag &tag, double v, TStringBytes &frame, double &sentValue);

// The frame's last two bytes are the Modbus CRC of the bytes before them.
bool CrcMatches(const TStringBytes &frame);

// Takes an answer into the tag. A frame whose CRC does not match is refused. When the request
// is given, an answer from another slave address or to another function (bit 7 aside) is
// refused too, and an answer equal to a write request confirms the write: the tag takes the
// value written. Every function byte with bit 7 set is an exception answer: ModbusError,
// ModbusErrorCode and ModbusErrorCodeStr are set and the result is false.
bool DecodeModbusAnswer(const TStringBytes &answer, TzTag &tag,
                        const TStringBytes &request = TStringBytes());
