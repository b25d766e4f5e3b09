#include "link_state.h"

void TzLinkState::Reset(uint32_t now) {
    m_lastHeardMs = now;
    m_unanswered = 0;
    m_lost = false;
}

TzLinkState::Change TzLinkState::Heard(uint32_t now) {
    m_lastHeardMs = now;
    m_unanswered = 0;
    if (!m_lost)
        return Change::None;
    m_lost = false;
    return Change::Restored;
}

TzLinkState::Change TzLinkState::Unheard(uint32_t now) {
    ++m_unanswered;
    return Check(now);
}

TzLinkState::Change TzLinkState::Check(uint32_t now) {
    if (m_lost || m_unanswered < kUnansweredRequests || now - m_lastHeardMs < kSilenceMs)
        return Change::None;
    m_lost = true;
    return Change::Lost;
}
