#include "answer_transmission.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

AnswerTransmission::AnswerTransmission(std::vector<uint8_t> bytes, int64_t startUs, double charUs,
                                       int64_t burstUs)
    : m_bytes(std::move(bytes)), m_startUs(startUs), m_charUs(charUs), m_burstUs(burstUs),
      m_nextBurstUs(startUs + burstUs) {}

int64_t AnswerTransmission::endUs() const {
    return m_startUs + int64_t(std::ceil(double(m_bytes.size()) * m_charUs));
}

int64_t AnswerTransmission::nextDeliveryUs() const {
    return m_burstUs > 0 ? m_nextBurstUs : endUs();
}

std::vector<uint8_t> AnswerTransmission::deliver() {
    const int64_t at = nextDeliveryUs();
    std::size_t due = m_bytes.size();
    if (at < endUs())
        due = std::min(due, std::size_t(double(at - m_startUs) / m_charUs));
    std::vector<uint8_t> chunk(m_bytes.begin() + std::ptrdiff_t(m_delivered),
                               m_bytes.begin() + std::ptrdiff_t(due));
    m_delivered = due;
    m_nextBurstUs += m_burstUs;
    return chunk;
}
