#include "simulator.h"

#include "line_check.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sys/select.h>
#include <unistd.h>

namespace {

constexpr int kRestartSilenceMs = 1000;

} // namespace

Simulator::Simulator(const SimOptions &options)
    : m_options(options), m_model(options), m_start(std::chrono::steady_clock::now()),
      m_baud(options.baud), m_format(options.format), m_silent(options.silent) {}

Simulator::~Simulator() = default;

bool Simulator::open(std::string &error) {
    if (!m_line.open(m_options.linkPath, error))
        return false;
    m_link = std::make_unique<SlaveLink>(m_line.slavePath(), m_baud, m_format, m_options.address,
                                         m_line.fd());
    if (!m_link->isValid()) {
        error = "cannot create the Modbus context";
        return false;
    }
    m_handler = std::make_unique<RequestHandler>(m_model, *m_link);
    m_handler->exceptionRules() = m_options.exceptions;
    return true;
}

int64_t Simulator::nowUs() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 m_start)
        .count();
}

void Simulator::run(int stopFd) {
    for (;;) {
        handleTimers(nowUs());
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(stopFd, &readable);
        FD_SET(m_line.fd(), &readable);
        const int maxFd = std::max(stopFd, m_line.fd());
        if (m_stdinOpen)
            FD_SET(STDIN_FILENO, &readable);
        const int64_t waitUs = usUntilNextEvent(nowUs());
        timeval tv = {time_t(waitUs / 1000000), suseconds_t(waitUs % 1000000)};
        const int n = select(maxFd + 1, &readable, nullptr, nullptr, &tv);
        if (n < 0 && errno != EINTR)
            return;
        if (n <= 0)
            continue;
        if (FD_ISSET(stopFd, &readable))
            return;
        if (m_stdinOpen && FD_ISSET(STDIN_FILENO, &readable))
            handleStdin();
        if (FD_ISSET(m_line.fd(), &readable))
            handleLine();
    }
}

int64_t Simulator::usUntilNextEvent(int64_t nowUs) const {
    const int64_t now = nowUs / 1000;
    int64_t nextUs = nowUs + 1000000;
    if (m_pending)
        nextUs = std::min(nextUs, m_pending->started() ? m_pending->nextDeliveryUs()
                                                       : m_pending->startUs());
    if (m_restartAtMs >= 0)
        nextUs = std::min(nextUs, m_restartAtMs * 1000);
    const int timeoutS = m_model.read(Space::Holding, kRegNetworkTimeout, now);
    if (timeoutS > 0 && !m_timedOut)
        nextUs = std::min(nextUs, (m_lastRequestMs + timeoutS * 1000) * 1000);
    return std::clamp<int64_t>(nextUs - nowUs, 0, 1000000);
}

void Simulator::handleTimers(int64_t nowUs) {
    const int64_t now = nowUs / 1000;
    if (m_pending)
        transmit(nowUs);
    if (m_restartAtMs >= 0 && now >= m_restartAtMs)
        restart();
    const int timeoutS = m_model.read(Space::Holding, kRegNetworkTimeout, now);
    if (timeoutS > 0 && !m_timedOut && now - m_lastRequestMs >= timeoutS * 1000) {
        m_model.switchToSafeStates(now);
        m_timedOut = true;
    }
}

void Simulator::handleLine() {
    if (m_pending) {
        handleCollision();
        return;
    }
    if (m_restartAtMs >= 0) {
        m_line.discardInput(); // restarting: deaf to the line
        return;
    }
    uint8_t frame[MODBUS_RTU_MAX_ADU_LENGTH];
    const int length = m_link->receive(frame);
    if (length < 0)
        m_line.discardInput(); // a broken frame: wait for the line to fall silent
    else if (length > 0)
        handleRequest(frame, length);
}

// On a half-duplex line the module does not hear the master while it answers; what the
// master sent meanwhile is lost and logged.
void Simulator::handleCollision() {
    const Bytes bytes = m_line.takeInput();
    if (!bytes.empty())
        logFrame("COLLISION", bytes);
}

void Simulator::handleRequest(const uint8_t *frame, int length) {
    const int64_t now = nowMs();
    logFrame("RX", Bytes(frame, frame + length));
    if (m_silent)
        return;
    if (m_options.checkLine && !masterLineMatches()) {
        // Heard at another speed or format, a request is noise, and so is the answer.
        Bytes garbage(frame, frame + length);
        for (uint8_t &byte : garbage)
            byte = uint8_t(~byte);
        queueAnswer(std::move(garbage), false, length);
        return;
    }
    m_lastRequestMs = now;
    m_timedOut = false;

    Reply reply = m_handler->handle(frame, length, now);
    if (reply.bytes.empty()) {
        if (reply.restart)
            beginRestart();
        return;
    }
    ++m_answerCount;
    if (m_options.corruptEvery > 0 && m_answerCount % m_options.corruptEvery == 0) {
        reply.bytes[reply.bytes.size() - 1] ^= 0xFF;
        reply.bytes[reply.bytes.size() - 2] ^= 0xFF;
    }
    queueAnswer(std::move(reply.bytes), reply.restart, length);
}

bool Simulator::masterLineMatches() const {
    MasterLine line;
    return readMasterLine(m_line.slaveFd(), line) && lineMatches(line, m_baud, m_format);
}

// With a wire delay the answer starts once the request has crossed the wire; bursts pace the
// answer's own bytes at the wire rate.
void Simulator::queueAnswer(Bytes bytes, bool restart, int requestLength) {
    const int bits = m_format.bitsPerChar();
    const double charUs = 1000.0 * wireTimeMs(1, m_baud, bits);
    int64_t startUs = nowUs();
    if (m_options.wireDelay)
        startUs += int64_t(1000.0 * wireTimeMs(requestLength, m_baud, bits) + 0.5);
    const bool paced = m_options.wireDelay || m_options.burstMs > 0;
    m_pending.emplace(std::move(bytes), startUs, paced ? charUs : 0.0,
                      int64_t(m_options.burstMs) * 1000);
    m_restartAfterAnswer = restart;
    transmit(nowUs());
}

// "TX" when the answer's first byte goes on the wire, "TX-END" once its last byte reached
// the host.
void Simulator::transmit(int64_t nowUs) {
    while (m_pending) {
        if (!m_pending->started()) {
            if (nowUs < m_pending->startUs())
                return;
            logFrame("TX", m_pending->bytes());
            m_pending->markStarted();
        }
        if (nowUs < m_pending->nextDeliveryUs())
            return;
        m_line.send(m_pending->deliver());
        if (!m_pending->delivered())
            continue;
        logFrame("TX-END", {});
        m_pending.reset();
        if (m_restartAfterAnswer)
            beginRestart();
    }
}

void Simulator::beginRestart() {
    m_restartAtMs = nowMs() + kRestartSilenceMs;
}

// The module comes back with the RS-485 settings last written to it.
void Simulator::restart() {
    const int64_t now = nowMs();
    m_baud = baudFromCode(m_model.read(Space::Holding, kRegBaudCode, now));
    formatFromCode(m_model.read(Space::Holding, kRegFormatCode, now), m_format);
    m_link->setAddress(m_model.read(Space::Holding, kRegAddress, now));
    m_model.restart();
    m_line.discardInput();
    m_restartAtMs = -1;
    m_lastRequestMs = now;
    m_timedOut = false;
}

void Simulator::logFrame(const char *direction, const Bytes &bytes) {
    if (!m_options.logFrames)
        return;
    std::string line = std::string(direction) + ' ' + std::to_string(nowMs());
    char hex[4];
    for (uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, " %02X", b);
        line += hex;
    }
    line += '\n';
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
}

void Simulator::handleStdin() {
    char chunk[512];
    const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        m_stdinOpen = false; // tests may close it; the module goes on
        return;
    }
    m_stdinBuffer.append(chunk, size_t(n));
    size_t end;
    while ((end = m_stdinBuffer.find('\n')) != std::string::npos) {
        const std::string line = m_stdinBuffer.substr(0, end);
        m_stdinBuffer.erase(0, end + 1);
        runCommand(line);
    }
}
