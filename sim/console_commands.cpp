#include "simulator.h"

#include <cstdio>
#include <sstream>

namespace {

void complain(const std::string &line, const char *why) {
    std::fprintf(stderr, "tarvex-sim: %s: %s\n", why, line.c_str());
}

bool parseSpace(const std::string &word, Space &space) {
    if (word == "input")
        space = Space::Input;
    else if (word == "holding")
        space = Space::Holding;
    else if (word == "coil")
        space = Space::Coil;
    else
        return false;
    return true;
}

} // namespace

// set input|holding|coil REG VALUE, silent on|off, exception REG CODE|off,
// exception REG CODE COUNT (for the next COUNT requests touching REG only)
void Simulator::runCommand(const std::string &line) {
    std::istringstream in(line);
    std::string verb, a, b, c, extra;
    in >> verb >> a >> b >> c >> extra;
    if (verb.empty())
        return;
    if (!extra.empty()) {
        complain(line, "unknown command");
        return;
    }
    long reg, value;
    if (verb == "set" && !c.empty()) {
        Space space;
        if (!parseSpace(a, space) || !parseNumber(b, 0, 65535, reg) ||
            !parseNumber(c, 0, 65535, value)) {
            complain(line, "unknown command");
            return;
        }
        if (space == Space::Holding && reg == kRegCommand) {
            if (value == kCommandReboot)
                beginRestart();
            return;
        }
        if (m_model.checkSet(space, int(reg), uint16_t(value)) != 0) {
            complain(line, "no such register or bad value");
            return;
        }
        m_model.write(space, int(reg), uint16_t(value), nowMs());
    } else if (verb == "silent" && b.empty() && (a == "on" || a == "off")) {
        m_silent = a == "on";
    } else if (verb == "exception" && c.empty() && parseNumber(a, 0, 65535, reg) && b == "off") {
        m_handler->exceptionRules().erase(int(reg));
        m_handler->exceptionCounts().erase(int(reg));
    } else if (verb == "exception" && c.empty() && parseNumber(a, 0, 65535, reg) &&
               parseNumber(b, 1, 255, value)) {
        m_handler->exceptionRules()[int(reg)] = int(value);
        m_handler->exceptionCounts().erase(int(reg));
    } else if (long count; verb == "exception" && parseNumber(a, 0, 65535, reg) &&
                           parseNumber(b, 1, 255, value) && parseNumber(c, 1, 1000000, count)) {
        m_handler->exceptionRules()[int(reg)] = int(value);
        m_handler->exceptionCounts()[int(reg)] = int(count);
    } else {
        complain(line, "unknown command");
    }
}
