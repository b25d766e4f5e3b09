#pragma once

#include "transport/answer_rule.h"
#include "transport/string_bytes.h"

#include <QByteArray>

// When a Modbus RTU answer to a request is whole: an exception answer has 5 bytes; an answer
// to functions 01..04 has 5 + the byte count in its third byte; functions 05, 06, 15 and 16
// answer with 8 bytes. Whole means that length reached with a matching CRC. A frame from
// another address, to another function or with a bad CRC is not recognised.
TzAnswerState ModbusRtuAnswerState(const TStringBytes &request, const QByteArray &received);

// The length of the normal answer to a request; 0 when the function is not one of the above.
int ModbusRtuAnswerLength(const TStringBytes &request);

// The rule the serial worker applies to the answer of this request.
TzAnswerRule ModbusRtuAnswerRule(const TStringBytes &request);
