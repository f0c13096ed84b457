#include "link/ComThread.h"
#include "link/BCPort.h"

#include <sys/eventfd.h>
#include <unistd.h>

namespace tarvex::link {

TComThread::TComThread(TBComPort &port) : m_port(port)
{
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
        std::unique_lock lock(m_mutex);
        m_condition.wait_for(lock, std::chrono::milliseconds(1), [this] { return m_finished.load(); });
    }
    m_thread.join();
    close(m_stopFd);
}

void TComThread::Stop()
{
    m_stop = true;
    const uint64_t one = 1;
    (void)!::write(m_stopFd, &one, sizeof one);
    notify();
    std::this_thread::yield();
}

void TComThread::notify()
{
    std::lock_guard lock(m_mutex);
    m_condition.notify_all();
}

void TComThread::Run()
{
    SerialSystem &system = m_port.system();
    const SerialSystem::Handle handle = m_port.handle();
    while (!m_stop) {
        uint32_t codes = 0;
        if (system.waitEvent(handle, m_stopFd, codes) != 0) {
            // A failed wait delivers nothing; do not spin on a broken device.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (m_stop || codes == 0)
            continue;
        if (!m_port.DeliverLineEvents(lineEventsFromCodes(codes), *this))
            break;
    }
    system.setEventMask(handle, 0);
    system.purge(handle, kPurgeRxClear | kPurgeTxClear);
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
    }
    m_condition.notify_all();
}

} // namespace tarvex::link
