// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/SerialSystem.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <memory>
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
    bool stopping() const { return m_wake->stop; }

    // What a delivery waits on. Shared, so that a delivery served after the
    // thread was freed (a handler that closed the port) still has it.
    struct Wake {
        std::mutex mutex;
        std::condition_variable condition;
        std::atomic<bool> stop{false};
        void notify()
        {
            std::lock_guard lock(mutex);
            condition.notify_all();
        }
    };
    const std::shared_ptr<Wake> &wake() const { return m_wake; }

private:
    void Run();

    TBComPort &m_port;
    int m_stopFd = -1;
    std::shared_ptr<Wake> m_wake = std::make_shared<Wake>();
    std::atomic<bool> m_finished{false};
    std::thread m_thread;
};

} // namespace tarvex::link
