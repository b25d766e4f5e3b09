#pragma once

#include "register_model.h"
#include "slave_link.h"

#include <map>

struct Reply {
    Bytes bytes;          // empty: nothing to send (a broadcast)
    bool restart = false; // the command register was given the restart command
};

// Decides the answer to one valid request and applies its writes to the module.
class RequestHandler {
public:
    RequestHandler(RegisterModel &model, SlaveLink &link) : m_model(model), m_link(link) {}

    // Requests touching a register in this map answer its exception code.
    std::map<int, int> &exceptionRules() { return m_rules; }
    // A rule listed here holds for this many more requests only, then lapses.
    std::map<int, int> &exceptionCounts() { return m_counts; }

    Reply handle(const uint8_t *frame, int length, int64_t nowMs);

private:
    struct Request {
        const uint8_t *frame;
        int length;
        int function;
        int start;
        int count;
        std::vector<uint16_t> values; // values to write: 0/1 for coils
    };

    static bool parse(const uint8_t *frame, int length, Request &request);
    int ruleException(const Request &request);
    Bytes answerRead(const Request &request, int64_t nowMs);
    Bytes answerWrite(const Request &request, int64_t nowMs);

    RegisterModel &m_model;
    SlaveLink &m_link;
    std::map<int, int> m_rules;
    std::map<int, int> m_counts;
};
