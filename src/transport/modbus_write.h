#pragma once

#include "string_bytes.h"

// Modbus RTU writes as the queue sees them: a request frame starts with the device address,
// the function and the first register; single writes (05, 06) change that one register, the
// multiple writes (15, 16) the count that follows it.
bool IsModbusWrite(const TStringBytes &frame);
// Both frames are writes with the same device address, function and register range: once the
// later one is sent, the earlier one changes nothing the later one does not set again.
bool WritesSameRegisters(const TStringBytes &earlier, const TStringBytes &later);
