#pragma once

#include "link/SerialSystem.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tarvex::link {

class TBComPort;

// Watches the open port's line events and hands them to the port's
// handlers: on the window's thread and waiting for them (smThreadSync),
// through the port's event window (smWindowSync), or on itself (smNone).
// It never transfers data.
class TComThread {
public:
    explicit TComThread(TBComPort &port);
    // Stops the thread and waits until it has ended; meanwhile it keeps
    // serving the deliveries the thread waits for.
    ~TComThread();
    TComThread(const TComThread &) = delete;
    TComThread &operator=(const TComThread &) = delete;

    void Stop();
    bool stopping() const { return m_stop; }
    // Wakes a delivery wait (a delivery was served, or the thread stops).
    void notify();
    std::mutex &mutex() { return m_mutex; }
    std::condition_variable &condition() { return m_condition; }

private:
    void Run();

    TBComPort &m_port;
    int m_stopFd = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    std::mutex m_mutex;
    std::condition_variable m_condition;
    std::thread m_thread;
};

} // namespace tarvex::link
