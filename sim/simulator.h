#pragma once

#include "answer_transmission.h"
#include "options.h"
#include "pty_line.h"
#include "register_model.h"
#include "request_handler.h"
#include "slave_link.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>

// One module on one pseudo-terminal: takes requests off the line one at a time, answers them
// as the options ask, and takes commands from standard input.
class Simulator {
public:
    explicit Simulator(const SimOptions &options);
    ~Simulator();

    bool open(std::string &error);
    std::string portPath() const { return m_line.portPath(); }

    // Serves until stopFd becomes readable.
    void run(int stopFd);

private:
    int64_t nowUs() const;
    int64_t nowMs() const { return nowUs() / 1000; }
    int64_t usUntilNextEvent(int64_t nowUs) const;
    void handleTimers(int64_t nowUs);
    void handleLine();
    void handleCollision(); // the master sends while an answer is on its way
    void handleRequest(const uint8_t *frame, int length);
    bool masterLineMatches() const;
    void queueAnswer(Bytes bytes, bool restart, int requestLength);
    void transmit(int64_t nowUs); // what of the answer is due by now
    void beginRestart();          // deaf to the line for a second, then restart()
    void restart();
    void logFrame(const char *direction, const Bytes &bytes);

    void handleStdin();
    void runCommand(const std::string &line); // in console_commands.cpp

    SimOptions m_options;
    PtyLine m_line;
    RegisterModel m_model;
    std::unique_ptr<SlaveLink> m_link;
    std::unique_ptr<RequestHandler> m_handler;
    std::chrono::steady_clock::time_point m_start;

    int m_baud; // the line settings in effect until the next restart
    LineFormat m_format;
    bool m_silent;
    int m_answerCount = 0;
    std::optional<AnswerTransmission> m_pending; // from the request taken to the answer's end
    bool m_restartAfterAnswer = false;
    int64_t m_restartAtMs = -1; // the silence after a restart command ends here
    int64_t m_lastRequestMs = 0;
    bool m_timedOut = false; // the network time-out has switched the outputs already

    bool m_stdinOpen = true;
    std::string m_stdinBuffer;
};
