#include "wait_breaker.h"

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>
#endif

TzWaitBreaker::TzWaitBreaker() {
#ifdef Q_OS_LINUX
    m_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
#endif
}

TzWaitBreaker::~TzWaitBreaker() {
#ifdef Q_OS_LINUX
    if (m_fd >= 0)
        close(m_fd);
#endif
}

void TzWaitBreaker::Break() {
    m_broken = true;
#ifdef Q_OS_LINUX
    if (m_fd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = write(m_fd, &one, sizeof one); // stays readable
    }
#endif
}

void TzWaitBreaker::Reset() {
    m_broken = false;
#ifdef Q_OS_LINUX
    if (m_fd >= 0) {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = read(m_fd, &count, sizeof count); // readable no more
    }
#endif
}
