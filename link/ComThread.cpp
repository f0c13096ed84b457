// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/ComThread.h"
#include "link/BCPort.h"

#include <sys/eventfd.h>
#include <unistd.h>

namespace tarvex::link {

TComThread::TComThread(TBComPort &port) : m_port(port)
{
    // Without a stop descriptor the wait looks at the stop flag every
    // 100 ms instead, so Close never waits for ever.
    m_stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    port.system().setEventMask(port.handle(), kEventAll);
    m_thread = std::thread([this] { Run(); });
}

TComThread::~TComThread()
{
    Stop();
    // A delivery under smThreadSync may be waiting for this very thread:
    // serve it while waiting, so that neither waits for the other.
    while (!m_finished) {
        m_port.ServeDeliveries();
        std::unique_lock lock(m_wake->mutex);
        m_wake->condition.wait_for(lock, std::chrono::milliseconds(1), [this] { return m_finished.load(); });
    }
    m_thread.join();
    if (m_stopFd >= 0)
        close(m_stopFd);
}

void TComThread::Stop()
{
    m_wake->stop = true;
    if (m_stopFd >= 0) {
        const uint64_t one = 1;
        (void)!::write(m_stopFd, &one, sizeof one);
    }
    m_wake->notify();
    std::this_thread::yield();
}

void TComThread::Run()
{
    SerialSystem &system = m_port.system();
    const SerialSystem::Handle handle = m_port.handle();
    while (!m_wake->stop) {
        uint32_t codes = 0;
        if (system.waitEvent(handle, m_stopFd, codes) != 0) {
            // A failed wait delivers nothing; do not spin on a broken device.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (m_wake->stop || codes == 0)
            continue;
        if (!m_port.DeliverLineEvents(lineEventsFromCodes(codes), *this))
            break;
    }
    system.setEventMask(handle, 0);
    system.purge(handle, kPurgeRxClear | kPurgeTxClear);
    {
        std::lock_guard lock(m_wake->mutex);
        m_finished = true;
    }
    m_wake->condition.notify_all();
}

} // namespace tarvex::link
