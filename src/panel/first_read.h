#pragma once

#include <map>
#include <vector>

class TzTag;

// The reads of the first full read still waiting for a value. A register read only once must
// not stay unknown for one bad answer: a read that brought no value is due to be asked again,
// at most kRetries times, and then given up. A failure while the module is known to be
// unreachable uses up no retry: the read waits for the module to come back.
class TzFirstRead {
public:
    static constexpr int kRetries = 3;

    enum class Outcome {
        NotTracked, // no read of the first full read, or one already settled
        Settled,    // the value arrived
        Retry,      // due to be asked again
        GivenUp,    // no value after the last retry
    };

    void Clear();
    void Add(TzTag *tag);
    Outcome Answered(TzTag *tag, bool valueRead, bool moduleUnreachable);
    std::vector<TzTag *> Due() const;
    void Asked(TzTag *tag); // a retry is on its way
    bool Waiting() const { return !m_reads.empty(); }

private:
    struct Read {
        int failures = 0;
        bool due = false;
    };
    std::map<TzTag *, Read> m_reads;
};
