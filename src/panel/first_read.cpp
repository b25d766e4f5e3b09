#include "first_read.h"

void TzFirstRead::Clear() {
    m_reads.clear();
}

void TzFirstRead::Add(TzTag *tag) {
    m_reads[tag] = Read{};
}

TzFirstRead::Outcome TzFirstRead::Answered(TzTag *tag, bool valueRead, bool moduleUnreachable) {
    const auto entry = m_reads.find(tag);
    if (entry == m_reads.end() || entry->second.due)
        return Outcome::NotTracked;
    if (valueRead) {
        m_reads.erase(entry);
        return Outcome::Settled;
    }
    if (!moduleUnreachable && ++entry->second.failures > kRetries) {
        m_reads.erase(entry);
        return Outcome::GivenUp;
    }
    entry->second.due = true;
    return Outcome::Retry;
}

std::vector<TzTag *> TzFirstRead::Due() const {
    std::vector<TzTag *> due;
    for (const auto &[tag, read] : m_reads)
        if (read.due)
            due.push_back(tag);
    return due;
}

void TzFirstRead::Asked(TzTag *tag) {
    const auto entry = m_reads.find(tag);
    if (entry != m_reads.end())
        entry->second.due = false;
}
