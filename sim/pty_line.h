#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The module's end of the serial line: the master side of a pseudo-terminal. The simulator
// keeps the slave side open too, so the master never sees a hang-up when a client closes it.
class PtyLine {
public:
    PtyLine() = default;
    ~PtyLine();
    PtyLine(const PtyLine &) = delete;
    PtyLine &operator=(const PtyLine &) = delete;

    // Opens the pair in raw mode; with a link path, also links that name to the slave.
    bool open(const std::string &linkPath, std::string &error);

    int fd() const { return m_master; }
    int slaveFd() const { return m_slave; } // the terminal the master's settings are made on
    std::string slavePath() const { return m_slavePath; }
    std::string portPath() const { return m_linkPath.empty() ? m_slavePath : m_linkPath; }

    bool send(const std::vector<uint8_t> &bytes);
    void discardInput();              // drops whatever the client has sent and was not read yet
    std::vector<uint8_t> takeInput(); // whatever the client has sent and was not read yet

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    std::string m_linkPath;
};

// Milliseconds that this many characters take on the wire.
double wireTimeMs(int characters, int baud, int bitsPerChar);
