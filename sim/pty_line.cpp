#include "pty_line.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

PtyLine::~PtyLine() {
    if (!m_linkPath.empty()) {
        char target[4096];
        const ssize_t n = readlink(m_linkPath.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, size_t(n)) == m_slavePath)
            unlink(m_linkPath.c_str());
    }
    if (m_slave >= 0)
        close(m_slave);
    if (m_master >= 0)
        close(m_master);
}

bool PtyLine::open(const std::string &linkPath, std::string &error) {
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        error = std::string("pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    m_slavePath = ptsname(m_master);
    m_slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slave < 0) {
        error = m_slavePath + ": " + std::strerror(errno);
        return false;
    }
    termios tio;
    tcgetattr(m_slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_slave, TCSANOW, &tio);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);

    if (!linkPath.empty()) {
        struct stat st;
        if (lstat(linkPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            unlink(linkPath.c_str()); // left behind by a simulator that was killed
        if (symlink(m_slavePath.c_str(), linkPath.c_str()) != 0) {
            error = linkPath + ": " + std::strerror(errno);
            return false;
        }
        m_linkPath = linkPath;
    }
    return true;
}

bool PtyLine::send(const std::vector<uint8_t> &bytes) {
    size_t done = 0;
    bool flushed = false;
    while (done < bytes.size()) {
        const ssize_t n = write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return false;
        pollfd p = {m_master, POLLOUT, 0};
        if (poll(&p, 1, 200) > 0)
            continue;
        if (flushed)
            return false;
        // Nobody reads the port: drop the old answers that fill it.
        tcflush(m_slave, TCIFLUSH);
        flushed = true;
    }
    return true;
}

void PtyLine::discardInput() {
    uint8_t chunk[256];
    while (read(m_master, chunk, sizeof chunk) > 0) {
    }
}

std::vector<uint8_t> PtyLine::takeInput() {
    std::vector<uint8_t> bytes;
    uint8_t chunk[256];
    ssize_t n;
    while ((n = read(m_master, chunk, sizeof chunk)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + n);
    return bytes;
}

double wireTimeMs(int characters, int baud, int bitsPerChar) {
    return 1000.0 * characters * bitsPerChar / baud;
}
