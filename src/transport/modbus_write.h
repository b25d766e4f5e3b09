#pragma once

#include "string_bytes.h"

#include <cstring>

// What a Modbus RTU write changes, as the queue sees it: a request frame starts with the device
// address, the function and the first register; single writes (05, 06) change that one
// register, the multiple writes (15, 16) the count that follows it. Once a later write to the
// same target is sent, an earlier one changes nothing the later one does not set again.
class TzWriteTarget {
public:
    // Refers to the frame, which must outlive it.
    explicit TzWriteTarget(const TStringBytes &frame);

    bool IsWrite() const { return m_size > 0; }
    // The frame writes with the same address, function and registers. Runs for every waiting
    // request while the queue is locked: a compare of a few leading bytes.
    bool SameAs(const TStringBytes &frame) const {
        return IsWrite() && frame.Size() >= kShortestRequest &&
               std::memcmp(frame.Data(), m_frame.Data(), m_size) == 0;
    }

    // Address, function, register and the value or count: shorter is no request at all.
    static constexpr int kShortestRequest = 6;

private:
    const TStringBytes &m_frame;
    size_t m_size = 0; // the leading bytes that name the target; 0: no write
};
