#include "first_read.h"

void TzFirstRead::Clear() {
    m_failures.clear();
}

void TzFirstRead::Add(TzTag *tag) {
    m_failures[tag] = 0;
}

TzFirstRead::Outcome TzFirstRead::Answered(TzTag *tag, bool valueRead, bool moduleUnreachable) {
    const auto entry = m_failures.find(tag);
    if (entry == m_failures.end())
        return Outcome::NotTracked;
    if (valueRead) {
        m_failures.erase(entry);
        return Outcome::Settled;
    }
    if (!moduleUnreachable && ++entry->second > kRetries) {
        m_failures.erase(entry);
        return Outcome::GivenUp;
    }
    return Outcome::Retry;
}

TzFirstRead::Outcome TzFirstRead::GiveUp(TzTag *tag) {
    return m_failures.erase(tag) ? Outcome::GivenUp : Outcome::NotTracked;
}
