#pragma once

#include <map>

class TzTag;

// The reads of the first full read still waiting for a value. A register read only once must
// not stay unknown for one bad answer: a read that brought no value is asked again at once, at
// most kRetries times, and then given up. A failure while the module is known to be
// unreachable uses up no retry: the read waits for the module to come back.
class TzFirstRead {
public:
    static constexpr int kRetries = 3;

    enum class Outcome {
        NotTracked, // no read of the first full read, or one already settled
        Settled,    // the value arrived
        Retry,      // to be asked again; it stays tracked
        GivenUp,    // no value after the last retry
    };

    void Clear();
    void Add(TzTag *tag);
    Outcome Answered(TzTag *tag, bool valueRead, bool moduleUnreachable);
    Outcome GiveUp(TzTag *tag); // its retry could not be queued
    bool Waiting() const { return !m_failures.empty(); }

private:
    std::map<TzTag *, int> m_failures;
};
