#include "pty_peer.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

PtyPeer::PtyPeer() {
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        return;
    const char *name = nullptr;
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 || !(name = ptsname(m_master))) {
        closeMaster();
        return;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    termios tio{};
    if (m_slave < 0 || tcgetattr(m_slave, &tio) != 0) {
        closeMaster();
        return;
    }
    cfmakeraw(&tio);
    tcsetattr(m_slave, TCSANOW, &tio);
}

PtyPeer::~PtyPeer() {
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

bool PtyPeer::waitReadable(int ms) {
    pollfd pfd{m_master, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&pfd, 1, ms);
    } while (ready < 0 && errno == EINTR);
    return ready > 0 && (pfd.revents & POLLIN);
}

QByteArray PtyPeer::read(int firstByteMs, int gapMs) {
    QByteArray bytes;
    if (m_master < 0 || !waitReadable(firstByteMs))
        return bytes;
    do {
        char buffer[512];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        bytes.append(buffer, n);
    } while (waitReadable(gapMs));
    return bytes;
}

bool PtyPeer::write(const QByteArray &bytes) {
    qsizetype done = 0;
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return done == bytes.size();
}

void PtyPeer::closeMaster() {
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}
