#pragma once

#include <atomic>

// Lets the owner's thread cut short the worker's waits on its port. Once broken, every wait
// ends at once until the worker resets it.
class TzWaitBreaker {
public:
    TzWaitBreaker();
    ~TzWaitBreaker();
    TzWaitBreaker(const TzWaitBreaker &) = delete;
    TzWaitBreaker &operator=(const TzWaitBreaker &) = delete;

    void Break(); // any thread
    void Reset(); // the worker, once it has dealt with what broke the wait
    bool IsBroken() const { return m_broken; }
    // Readable while broken, to be waited on beside the port; -1 where the system has none.
    int Handle() const { return m_fd; }

private:
    std::atomic<bool> m_broken = false;
    int m_fd = -1;
};
