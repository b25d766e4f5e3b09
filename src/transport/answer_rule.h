#pragma once

#include "string_bytes.h"

#include <QByteArray>

// What the bytes received so far make of an answer.
enum class TzAnswerState {
    Incomplete, // more is to come: gaps do not end the read
    Complete,   // the answer is whole: the read ends at once
    Unknown,    // not an answer the caller recognises: the first long gap ends the read
};

// The caller's judgement of an answer, given its request. The worker knows no protocol's
// answers: the code that builds a request brings the rule for its answer.
using TzAnswerCheck = TzAnswerState (*)(const TStringBytes &request, const QByteArray &received);

struct TzAnswerRule {
    TzAnswerCheck Check = nullptr; // none: the answer ends at the first long gap
    int ExpectedLength = 0;        // bytes of the answer the request normally gets; 0 unknown
};
