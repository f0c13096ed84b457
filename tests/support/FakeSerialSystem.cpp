// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/FakeSerialSystem.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace tarvex::test {

using namespace tarvex::link;

FakeSerialSystem::FakeSerialSystem(std::shared_ptr<Clock> clock) : m_clock(std::move(clock))
{
    m_eventFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

FakeSerialSystem::~FakeSerialSystem()
{
    close(m_eventFd);
}

int FakeSerialSystem::setEventMask(Handle, uint32_t mask)
{
    std::lock_guard lock(m_eventMutex);
    m_eventMask = mask;
    return 0;
}

uint32_t FakeSerialSystem::eventMask() const
{
    std::lock_guard lock(m_eventMutex);
    return m_eventMask;
}

void FakeSerialSystem::raiseEvents(uint32_t events)
{
    {
        std::lock_guard lock(m_eventMutex);
        m_pendingEvents |= events;
    }
    const uint64_t one = 1;
    (void)!::write(m_eventFd, &one, sizeof one);
}

bool FakeSerialSystem::waitUntilEventsTaken(int timeoutMs)
{
    std::unique_lock lock(m_eventMutex);
    return m_eventsTaken.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_pendingEvents == 0; });
}

int FakeSerialSystem::waitEvent(Handle, int stopFd, uint32_t &events)
{
    events = 0;
    for (;;) {
        pollfd fds[2] = {{stopFd, POLLIN, 0}, {m_eventFd, POLLIN, 0}};
        poll(fds, 2, -1);
        if (fds[0].revents & POLLIN)
            return 0;
        uint64_t count = 0;
        (void)!::read(m_eventFd, &count, sizeof count);
        std::lock_guard lock(m_eventMutex);
        events = m_pendingEvents & m_eventMask;
        m_pendingEvents = 0;
        m_eventsTaken.notify_all();
        if (events)
            return 0;
    }
}

void FakeSerialSystem::failOn(const QString &name, int error, int times)
{
    m_failures[name] = Failure{error, times};
}

int FakeSerialSystem::record(const QString &name, Handle handle, QByteArray bytes, std::vector<long long> args)
{
    std::lock_guard lock(m_callsMutex);
    m_calls.push_back(Call{m_clock->nowMs(), name, handle, std::move(bytes), std::move(args)});
    if (m_gone && name != QLatin1String("close") && name != QLatin1String("listPorts"))
        return name == QLatin1String("open") ? ENOENT : EIO;
    auto it = m_failures.find(name);
    if (it == m_failures.end() || it->times == 0)
        return 0;
    if (it->times > 0)
        --it->times;
    return it->error;
}

QStringList FakeSerialSystem::callNames() const
{
    QStringList names;
    for (const Call &c : m_calls)
        names << c.name;
    return names;
}

std::vector<FakeSerialSystem::Call> FakeSerialSystem::callsNamed(const QString &name) const
{
    std::vector<Call> out;
    for (const Call &c : m_calls)
        if (c.name == name)
            out.push_back(c);
    return out;
}

int FakeSerialSystem::open(const QString &device, Handle &handle)
{
    handle = kInvalidHandle;
    if (int error = record(QStringLiteral("open"), kInvalidHandle, device.toUtf8()))
        return error;
    if (int error = absent.contains(device) ? ENOENT : openErrors.value(device, 0))
        return error;
    handle = m_nextHandle++;
    m_open = true;
    return 0;
}

int FakeSerialSystem::close(Handle handle)
{
    const int error = record(QStringLiteral("close"), handle);
    m_open = false; // a descriptor is released even when close reports an error
    return error;
}

int FakeSerialSystem::setupBuffers(Handle handle, int inSize, int outSize)
{
    return record(QStringLiteral("setupBuffers"), handle, {}, {inSize, outSize});
}

int FakeSerialSystem::setLineSettings(Handle handle, const LineSettingsRecord &settings)
{
    QByteArray raw(reinterpret_cast<const char *>(&settings), sizeof settings);
    if (int error = record(QStringLiteral("setLineSettings"), handle, raw))
        return error;
    lineSettings = settings;
    dtr = settings.flags & lsfDtrEnable;
    rts = settings.flags & lsfRtsEnable;
    return 0;
}

int FakeSerialSystem::setTimeouts(Handle handle, const CommTimeouts &t)
{
    if (int error = record(QStringLiteral("setTimeouts"), handle, {},
                           {t.readInterval, t.readTotalMultiplier, t.readTotalConstant, t.writeTotalMultiplier,
                            t.writeTotalConstant}))
        return error;
    timeouts = t;
    return 0;
}

int FakeSerialSystem::purge(Handle handle, uint32_t flags)
{
    if (int error = record(QStringLiteral("purge"), handle, {}, {flags}))
        return error;
    if (flags & (kPurgeRxClear | kPurgeRxAbort))
        m_input.clear();
    return 0;
}

int FakeSerialSystem::write(Handle handle, const char *data, int count, int &written)
{
    written = 0;
    const int take = writeCapacity < 0 ? count : std::min(count, writeCapacity);
    if (int error = record(QStringLiteral("write"), handle, QByteArray(data, take), {count}))
        return error;
    m_written.append(data, take);
    written = take;
    if (answer)
        m_input += answer(QByteArray(data, take));
    return 0;
}

int FakeSerialSystem::read(Handle handle, char *data, int count, int &got)
{
    got = 0;
    const int take = std::min<int>(count, int(m_input.size()));
    if (int error = record(QStringLiteral("read"), handle, m_input.left(take), {count}))
        return error;
    std::memcpy(data, m_input.constData(), size_t(take));
    m_input.remove(0, take);
    got = take;
    return 0;
}

int FakeSerialSystem::clearError(Handle handle, uint32_t &errors, int &inQueue)
{
    errors = 0;
    inQueue = 0;
    if (int error = record(QStringLiteral("clearError"), handle))
        return error;
    errors = lineErrors;
    lineErrors = 0;
    inQueue = int(m_input.size());
    return 0;
}

int FakeSerialSystem::modemStatus(Handle handle, uint32_t &status)
{
    status = 0;
    if (int error = record(QStringLiteral("modemStatus"), handle))
        return error;
    status = modemLines;
    return 0;
}

int FakeSerialSystem::escape(Handle handle, EscapeFunction function)
{
    static const char *const kNames[] = {"setRts", "clearRts", "setDtr", "clearDtr"};
    if (int error = record(QString::fromLatin1(kNames[int(function)]), handle))
        return error;
    switch (function) {
    case EscapeFunction::SetRts: rts = true; break;
    case EscapeFunction::ClearRts: rts = false; break;
    case EscapeFunction::SetDtr: dtr = true; break;
    case EscapeFunction::ClearDtr: dtr = false; break;
    }
    return 0;
}

int FakeSerialSystem::listPorts(QStringList &names)
{
    names.clear();
    if (int error = record(QStringLiteral("listPorts"), kInvalidHandle))
        return error;
    names = ports;
    return 0;
}

bool FakeSerialSystem::devicePresent(const QString &device)
{
    return !m_gone && !absent.contains(device);
}

bool FakeSerialSystem::waitInput(Handle, int ms)
{
    if (!m_input.isEmpty() || m_gone)
        return true;
    m_clock->sleepMs(ms);
    return false;
}

QString FakeSerialSystem::stableDeviceName(const QString &device)
{
    return stableNames.value(device, device);
}

} // namespace tarvex::test
