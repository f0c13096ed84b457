// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/BCPort.h"
#include "link/ComThread.h"

#include <QCoreApplication>
#include <QEvent>
#include <condition_variable>
#include <thread>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace tarvex::link {

void TPersistent::Assign(const TPersistent &source)
{
    source.AssignTo(*this);
}

void TPersistent::AssignTo(TPersistent &dest) const
{
    throw EConvertError(QStringLiteral("Cannot assign a %1 to a %2").arg(ClassName(), dest.ClassName()));
}

void TComTimeouts::Assign(const TPersistent &source)
{
    if (const auto *other = dynamic_cast<const TComTimeouts *>(&source)) {
        std::copy(std::begin(other->m_values), std::end(other->m_values), std::begin(m_values));
        return;
    }
    TPersistent::Assign(source);
}

CommTimeouts TComTimeouts::toSystem() const
{
    return CommTimeouts{timeoutToSystem(m_values[0]), timeoutToSystem(m_values[1]), timeoutToSystem(m_values[2]),
                        timeoutToSystem(m_values[3]), timeoutToSystem(m_values[4])};
}

void TComTimeouts::set(int index, int32_t value)
{
    if (m_values[index] == value)
        return;
    m_values[index] = value;
    if (m_owner)
        m_owner->ApplyTimeouts();
}

TBComPort::TBComPort(QObject *owner, std::shared_ptr<SerialSystem> system)
    : QObject(owner), m_system(std::move(system))
{
}

TBComPort::~TBComPort()
{
    try {
        Close();
    } catch (const Exception &) {
        // Close has already let go of the device; nothing is left to report to.
    }
}

void TBComPort::SetBaudRate(TBaudRate value)
{
    if (value == m_baudRate)
        return;
    m_baudRate = value;
    ApplyLineSettings();
}

void TBComPort::SetByteSize(TByteSize value)
{
    if (value == m_byteSize)
        return;
    m_byteSize = value;
    ApplyLineSettings();
}

void TBComPort::SetParity(TParity value)
{
    if (value == m_parity)
        return;
    m_parity = value;
    ApplyLineSettings();
}

void TBComPort::SetStopBits(TStopBits value)
{
    if (value == m_stopBits)
        return;
    m_stopBits = value;
    ApplyLineSettings();
}

namespace {
// The drivers want even buffer sizes.
int evenBufferSize(int value)
{
    return (value > 0 && value % 2 != 0) ? value - 1 : value;
}
} // namespace

void TBComPort::SetInBufSize(int value)
{
    if (value == m_inBufSize)
        return;
    m_inBufSize = evenBufferSize(value);
    ApplyBufferSizes();
}

void TBComPort::SetOutBufSize(int value)
{
    if (value == m_outBufSize)
        return;
    m_outBufSize = evenBufferSize(value);
    ApplyBufferSizes();
}

void TBComPort::SetPort(const QString &value)
{
    if (m_connected)
        throw EComPort(cpePropertyWhileOpen);
    if (value != m_port)
        m_port = value;
}

void TBComPort::SetSyncMethod(TSyncMethod value)
{
    if (value == m_syncMethod)
        return;
    if (m_connected)
        throw EComPort(cpePropertyWhileOpen);
    m_syncMethod = value;
}

void TBComPort::SetTimeouts(const TComTimeouts &value)
{
    m_timeouts.Assign(value);
    ApplyTimeouts();
}

void TBComPort::ApplyBufferSizes()
{
    if (!m_connected)
        return;
    if (!handleValid() || m_system->setupBuffers(m_handle, m_inBufSize, m_outBufSize) != 0)
        throw EComPort(cpeSetup);
}

void TBComPort::ApplyLineSettings()
{
    if (!m_connected)
        return;
    const LineSettingsRecord record = buildLineSettings(m_baudRate, m_byteSize, m_parity, m_stopBits);
    if (!handleValid() || m_system->setLineSettings(m_handle, record) != 0)
        throw EComPort(cpeSetState);
}

void TBComPort::ApplyTimeouts()
{
    if (!m_connected)
        return;
    if (!handleValid() || m_system->setTimeouts(m_handle, m_timeouts.toSystem()) != 0)
        throw EComPort(cpeSetTimeouts);
}

void TBComPort::ApplySettings()
{
    ApplyBufferSizes();
    ApplyLineSettings();
    ApplyTimeouts();
}

void TBComPort::Open()
{
    if (m_connected)
        return;
    m_lastError = 0;
    SerialSystem::Handle handle = SerialSystem::kInvalidHandle;
    const int error = m_system->open(deviceNameForPort(m_port), handle);
    if (error != 0) {
        m_lastError = error;
        if (isMissingDeviceError(error))
            throw EComPort(cpeOpenMissing);
        if (isBusyDeviceError(error))
            throw EComPort(cpeOpenBusy);
        // Any other failure leaves the handle invalid; the first apply step
        // reports it.
        handle = SerialSystem::kInvalidHandle;
    }
    m_handle = handle;
    m_connected = true;
    try {
        ApplySettings();
    } catch (...) {
        if (handleValid())
            m_system->close(m_handle);
        m_handle = SerialSystem::kInvalidHandle;
        m_connected = false;
        throw;
    }
    CreateEventThread();
}

void TBComPort::Close()
{
    if (!m_connected)
        return;
    // Close always lets go of the device, so that a pulled adapter can be
    // closed and opened again. Errors that only say the device is gone are
    // not worth a message; any other is raised once the port is released.
    int firstCode = 0;
    auto note = [&firstCode](int error, ComPortError code) {
        if (error != 0 && !isDeviceGoneError(error) && firstCode == 0)
            firstCode = code;
    };
    if (handleValid()) {
        note(escape(EscapeFunction::ClearDtr), cpeEscape);
        note(escape(EscapeFunction::ClearRts), cpeEscape);
        note(purge(kPurgeTxAbort | kPurgeRxAbort), cpePurge);
    }
    FreeEventThread();
    if (handleValid())
        m_system->close(m_handle);
    // A closed marker rather than the old number: the number is soon reused
    // by the next file the program opens.
    m_handle = SerialSystem::kInvalidHandle;
    m_connected = false;
    if (firstCode != 0)
        throw EComPort(ComPortError(firstCode));
}

namespace {

constexpr uint32_t kEventCodes[] = {kEventRxChar, kEventTxEmpty, kEventRing, kEventCts,
                                    kEventDsr,    kEventRlsd,    kEventError, kEventRx80Full};
// Delivery order of the handler work.
constexpr TLineEvent kDeliveryOrder[] = {leError, leRxChar, leTxEmpty, leRing, leCTS, leDSR, leRLSD, leRx80Full};

// The event window's message: number 1025, the event code as parameter.
constexpr int kLineEventMessage = 1025;
const QEvent::Type kLineEventType = QEvent::Type(QEvent::User + kLineEventMessage - 1024);

struct Receipt {
    std::mutex mutex;
    std::condition_variable condition;
    bool received = false;
};

class LineEventMessage final : public QEvent {
public:
    LineEventMessage(uint32_t code, std::shared_ptr<Receipt> receipt)
        : QEvent(kLineEventType), code(code), receipt(std::move(receipt))
    {
    }
    uint32_t code;
    std::shared_ptr<Receipt> receipt;
};

std::function<void(const QString &)> &applicationExceptionHandler()
{
    static std::function<void(const QString &)> handler;
    return handler;
}

// The hidden window that carries smWindowSync deliveries to the window's
// thread: it releases the sender at once, then works only while open.
class EventWindow final : public QObject {
public:
    explicit EventWindow(TBComPort &port) : m_port(port) {}

    bool event(QEvent *e) override
    {
        if (e->type() != kLineEventType)
            return QObject::event(e);
        auto *message = static_cast<LineEventMessage *>(e);
        {
            std::lock_guard lock(message->receipt->mutex);
            message->receipt->received = true;
        }
        message->receipt->condition.notify_all();
        if (m_port.Connected()) {
            try {
                m_port.HandleLineEvent(message->code);
            } catch (const Exception &error) {
                report(error.message());
            } catch (const std::exception &error) {
                report(QString::fromLocal8Bit(error.what()));
            }
        }
        return true;
    }

private:
    static void report(const QString &message)
    {
        if (applicationExceptionHandler())
            applicationExceptionHandler()(message);
    }

    TBComPort &m_port;
};

} // namespace

struct TBComPort::Delivery {
    TLineEvents events;
    std::shared_ptr<TComThread::Wake> wake;
    std::atomic<bool> done{false};
    std::atomic<bool> failed{false};
};

TLineEvents lineEventsFromCodes(uint32_t codes)
{
    TLineEvents events;
    for (int e = leRxChar; e <= leRx80Full; ++e)
        if (codes & kEventCodes[e])
            events.insert(TLineEvent(e));
    return events;
}

uint32_t lineEventCode(TLineEvent event)
{
    return kEventCodes[event];
}

void TBComPort::SetApplicationExceptionHandler(std::function<void(const QString &)> handler)
{
    applicationExceptionHandler() = std::move(handler);
}

TLineEvents TBComPort::LastEvents() const
{
    TLineEvents events;
    for (int e = leRxChar; e <= leRx80Full; ++e)
        if (m_lastEvents & (1u << e))
            events.insert(TLineEvent(e));
    return events;
}

void TBComPort::CreateEventThread()
{
    if (m_syncMethod == smWindowSync)
        m_eventWindow = std::make_unique<EventWindow>(*this);
    m_thread = std::make_unique<TComThread>(*this);
}

void TBComPort::FreeEventThread()
{
    m_thread.reset();
    m_eventWindow.reset();
    std::lock_guard lock(m_deliveryMutex);
    m_deliveries.clear();
}

uint32_t TBComPort::ClearErrorState()
{
    uint32_t errors = 0;
    int queued = 0;
    if (!handleValid() || m_system->clearError(m_handle, errors, queued) != 0)
        throw EComPort(cpeClearError);
    return errors;
}

void TBComPort::HandleLineEvent(uint32_t code)
{
    switch (code) {
    case kEventError: {
        const uint32_t flags = ClearErrorState();
        TComErrors errors;
        if (flags & kCommFrame)
            errors.insert(ceFrame);
        if ((flags & kCommRxParity) && m_parity != paNone)
            errors.insert(ceRxParity);
        if (flags & kCommOverrun)
            errors.insert(ceOverrun);
        if (flags & kCommRxOver)
            errors.insert(ceRxOver);
        if (flags & kCommTxFull)
            errors.insert(ceTxFull);
        if (flags & kCommBreak)
            errors.insert(ceBreak);
        if (flags & kCommIO)
            errors.insert(ceIO);
        if (flags & kCommMode)
            errors.insert(ceMode);
        if (!errors.empty() && OnError)
            OnError(this, errors);
        break;
    }
    case kEventRxChar: {
        const int count = PendingInput();
        if (count > 0 && OnRxChar)
            OnRxChar(this, count);
        break;
    }
    case kEventTxEmpty:
        if (OnTxEmpty)
            OnTxEmpty(this);
        break;
    case kEventRing:
        if (OnRing)
            OnRing(this);
        break;
    case kEventCts:
        if (OnCTSChange)
            OnCTSChange(this, LineSignals().contains(lsCTS));
        break;
    case kEventDsr:
        if (OnDSRChange)
            OnDSRChange(this, LineSignals().contains(lsDSR));
        break;
    case kEventRlsd:
        if (OnRLSDChange)
            OnRLSDChange(this, LineSignals().contains(lsRLSD));
        break;
    case kEventRx80Full:
        if (OnRx80Full)
            OnRx80Full(this);
        break;
    default:
        break;
    }
}

void TBComPort::HandleLineEvents(TLineEvents events)
{
    for (TLineEvent e : kDeliveryOrder)
        if (events.contains(e))
            HandleLineEvent(lineEventCode(e));
}

bool TBComPort::DeliverLineEvents(TLineEvents events, TComThread &thread)
{
    m_lastEvents = events.bits();
    switch (m_syncMethod) {
    case smNone:
        try {
            HandleLineEvents(events);
        } catch (...) {
            return false;
        }
        return true;
    case smWindowSync:
        for (TLineEvent e : kDeliveryOrder) {
            if (!events.contains(e))
                continue;
            auto receipt = std::make_shared<Receipt>();
            QCoreApplication::postEvent(m_eventWindow.get(), new LineEventMessage(lineEventCode(e), receipt));
            std::unique_lock lock(receipt->mutex);
            while (!receipt->received && !thread.stopping())
                receipt->condition.wait_for(lock, std::chrono::milliseconds(5));
            if (thread.stopping())
                return true;
        }
        return true;
    case smThreadSync: {
        auto delivery = std::make_shared<Delivery>();
        delivery->events = events;
        delivery->wake = thread.wake();
        {
            std::lock_guard lock(m_deliveryMutex);
            m_deliveries.push_back(delivery);
        }
        QMetaObject::invokeMethod(this, [this] { ServeDeliveries(); }, Qt::QueuedConnection);
        std::unique_lock lock(delivery->wake->mutex);
        delivery->wake->condition.wait(lock, [&] { return delivery->done.load() || thread.stopping(); });
        return !delivery->failed;
    }
    }
    return true;
}

void TBComPort::ServeDeliveries()
{
    for (;;) {
        std::shared_ptr<Delivery> delivery;
        {
            std::lock_guard lock(m_deliveryMutex);
            if (m_deliveries.empty())
                return;
            delivery = m_deliveries.front();
            m_deliveries.pop_front();
        }
        try {
            HandleLineEvents(delivery->events);
        } catch (...) {
            // The error ends the thread's run; it is not the window's.
            delivery->failed = true;
        }
        delivery->done = true;
        delivery->wake->notify();
    }
}

bool TBComPort::DeliveryPending()
{
    std::lock_guard lock(m_deliveryMutex);
    return !m_deliveries.empty();
}

int TBComPort::escape(EscapeFunction function)
{
    return handleValid() ? m_system->escape(m_handle, function) : EBADF;
}

int TBComPort::purge(uint32_t flags)
{
    return handleValid() ? m_system->purge(m_handle, flags) : EBADF;
}

void TBComPort::ClearBuffer(bool input, bool output)
{
    uint32_t flags = 0;
    if (input)
        flags |= kPurgeRxClear;
    if (output)
        flags |= kPurgeTxClear;
    if (const int error = purge(flags)) {
        m_lastError = error;
        throw EComPort(cpePurge);
    }
}

void TBComPort::AbortTransfers()
{
    if (const int error = purge(kPurgeTxAbort | kPurgeRxAbort)) {
        m_lastError = error;
        throw EComPort(cpePurge);
    }
}

int TBComPort::WriteStr(const QByteArray &str)
{
    if (str.isEmpty())
        return 0;
    return Write(str.constData(), int(str.size()));
}

int TBComPort::Write(const void *buffer, int count)
{
    int written = 0;
    const int error = handleValid() ? m_system->write(m_handle, static_cast<const char *>(buffer), count, written) : EBADF;
    if (error != 0) {
        m_lastError = error;
        throw EComPort(cpeWrite);
    }
    return written;
}

int TBComPort::ReadStr(QByteArray &str, int count)
{
    str.clear();
    if (count <= 0)
        return 0;
    str.resize(count);
    int got = 0;
    const int error = handleValid() ? m_system->read(m_handle, str.data(), count, got) : EBADF;
    if (error != 0) {
        str.clear();
        m_lastError = error;
        throw EComPort(cpeRead);
    }
    str.truncate(got);
    return got;
}

bool TBComPort::WaitForInput(int ms)
{
    return handleValid() && m_system->waitInput(m_handle, ms);
}

int TBComPort::Read(void *buffer, int count)
{
    if (count <= 0)
        return 0;
    // Bytes beyond what arrived stay as the caller left them.
    std::vector<char> scratch(static_cast<size_t>(count));
    int got = 0;
    const int error = handleValid() ? m_system->read(m_handle, scratch.data(), count, got) : EBADF;
    if (error != 0) {
        m_lastError = error;
        throw EComPort(cpeRead);
    }
    std::memcpy(buffer, scratch.data(), size_t(got));
    return got;
}

void TBComPort::SetDTRLine(bool state)
{
    if (escape(state ? EscapeFunction::SetDtr : EscapeFunction::ClearDtr) != 0)
        throw EComPort(cpeEscape);
}

void TBComPort::SetRTSLine(bool state)
{
    if (escape(state ? EscapeFunction::SetRts : EscapeFunction::ClearRts) != 0)
        throw EComPort(cpeEscape);
}

int TBComPort::PendingInput()
{
    uint32_t errors = 0;
    int queued = 0;
    if (!handleValid() || m_system->clearError(m_handle, errors, queued) != 0)
        throw EComPort(cpeClearError);
    return queued;
}


TLineSignals TBComPort::LineSignals()
{
    uint32_t status = 0;
    if (!handleValid() || m_system->modemStatus(m_handle, status) != 0)
        throw EComPort(cpeModemStatus);
    TLineSignals lines;
    if (status & kModemCtsOn)
        lines.insert(lsCTS);
    if (status & kModemDsrOn)
        lines.insert(lsDSR);
    if (status & kModemRingOn)
        lines.insert(lsRing);
    if (status & kModemRlsdOn)
        lines.insert(lsRLSD);
    return lines;
}

void ListSerialPorts(QStringList &strings, SerialSystem &system)
{
    QStringList names;
    if (system.listPorts(names) != 0)
        throw EComPort(cpeRegistry);
    std::stable_sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    strings = names;
}

} // namespace tarvex::link
