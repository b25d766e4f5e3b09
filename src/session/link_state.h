#pragma once

#include <cstdint>

// Whether the connected module still answers. The link is lost when no decodable answer has
// come for a while and several requests in a row went unanswered: one slow answer is no loss,
// and a panel that asked nothing has heard nothing. The first decodable answer restores it.
// Times are 32-bit millisecond ticks; their differences wrap around correctly.
class TzLinkState {
public:
    static constexpr uint32_t kSilenceMs = 2000;
    static constexpr int kUnansweredRequests = 3;

    enum class Change { None, Lost, Restored };

    void Reset(uint32_t now); // a new connection: heard just now, not lost
    Change Heard(uint32_t now);
    Change Unheard(uint32_t now); // an exchange that brought no decodable answer
    Change Check(uint32_t now);   // for a clock tick without an exchange
    bool Lost() const { return m_lost; }

private:
    uint32_t m_lastHeardMs = 0;
    int m_unanswered = 0;
    bool m_lost = false;
};
