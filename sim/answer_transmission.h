#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One answer on its way to the master. Its bytes leave at the wire rate from startUs on and
// reach the host either in one piece once the last byte is out, or, with a burst period, in
// chunks every period, the way a USB adapter hands over what it has received so far.
class AnswerTransmission {
public:
    // charUs 0: the answer takes no time on the wire. burstUs 0: no chunks.
    AnswerTransmission(std::vector<uint8_t> bytes, int64_t startUs, double charUs, int64_t burstUs);

    const std::vector<uint8_t> &bytes() const { return m_bytes; }
    int64_t startUs() const { return m_startUs; }
    bool started() const { return m_started; }
    void markStarted() { m_started = true; }

    // When the host gets its next bytes.
    int64_t nextDeliveryUs() const;
    // The bytes that reach the host at nextDeliveryUs(); moves on to the delivery after it.
    std::vector<uint8_t> deliver();
    bool delivered() const { return m_delivered == m_bytes.size(); }

private:
    int64_t endUs() const; // the last byte has left the wire

    std::vector<uint8_t> m_bytes;
    int64_t m_startUs;
    double m_charUs;
    int64_t m_burstUs;
    int64_t m_nextBurstUs;
    std::size_t m_delivered = 0;
    bool m_started = false;
};
