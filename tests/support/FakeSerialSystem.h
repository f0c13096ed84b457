// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/Clock.h"
#include "link/SerialSystem.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <memory>
#include <vector>

namespace tarvex::test {

// A serial system without a device: every call is recorded with its time and
// bytes, input is fed by the test, and any call can be told to fail.
class FakeSerialSystem final : public link::SerialSystem {
public:
    struct Call {
        double timeMs = 0;
        QString name;
        Handle handle = kInvalidHandle;
        QByteArray bytes;            // written, read or the device name
        std::vector<long long> args; // other arguments in their order
    };

    explicit FakeSerialSystem(std::shared_ptr<Clock> clock = std::make_shared<ManualClock>());
    ~FakeSerialSystem() override;

    int open(const QString &device, Handle &handle) override;
    int close(Handle handle) override;
    int setupBuffers(Handle handle, int inSize, int outSize) override;
    int setLineSettings(Handle handle, const link::LineSettingsRecord &settings) override;
    int setTimeouts(Handle handle, const link::CommTimeouts &timeouts) override;
    int purge(Handle handle, uint32_t flags) override;
    int write(Handle handle, const char *data, int count, int &written) override;
    int read(Handle handle, char *data, int count, int &got) override;
    int clearError(Handle handle, uint32_t &errors, int &inQueue) override;
    int modemStatus(Handle handle, uint32_t &status) override;
    int escape(Handle handle, link::EscapeFunction function) override;
    int listPorts(QStringList &names) override;
    bool devicePresent(const QString &device) override;
    QString stableDeviceName(const QString &device) override;
    // A stable name leads to its device.
    QString deviceNode(const QString &name) override { return stableNames.key(name, name); }
    // Input is there or it is not: without it the clock runs out the wait.
    bool waitInput(Handle handle, int ms) override;
    link::DeviceAccess deviceAccess(const QString &device) override { return access.value(device); }
    QList<link::DeviceHolder> deviceHolders(const QString &device) override { return holders.value(device); }

    // The adapter is pulled: every call on it fails with EIO and opening it
    // with ENOENT, until it comes back.
    void vanish() { m_gone = true; }
    void reappear() { m_gone = false; }
    int setEventMask(Handle handle, uint32_t mask) override;
    int waitEvent(Handle handle, int stopFd, uint32_t &events) override;

    // Line events the device reports next (any thread may raise them).
    void raiseEvents(uint32_t events);
    uint32_t eventMask() const;
    // Waits until the event thread has taken every raised event.
    bool waitUntilEventsTaken(int timeoutMs);

    // Makes the next `times` calls of `name` fail with `error` (-1: always).
    void failOn(const QString &name, int error, int times = -1);
    // What the device sends next.
    void feed(const QByteArray &bytes) { m_input += bytes; }

    const std::vector<Call> &calls() const { return m_calls; }
    QStringList callNames() const;
    std::vector<Call> callsNamed(const QString &name) const;
    QByteArray written() const { return m_written; }
    bool isOpen() const { return m_open; }

    QMap<QString, int> openErrors; // device name -> errno
    QStringList absent; // names that lead nowhere (a by-id name that did not come back)
    QMap<QString, QString> stableNames; // device -> the name that survives a replug
    QMap<QString, link::DeviceAccess> access;
    QMap<QString, QList<link::DeviceHolder>> holders;
    QStringList ports;
    uint32_t modemLines = 0;
    uint32_t lineErrors = 0; // reported once by the next clearError
    link::LineSettingsRecord lineSettings;
    link::CommTimeouts timeouts;
    bool dtr = false;
    bool rts = false;
    // The device takes at most this many bytes per write (-1: all).
    int writeCapacity = -1;
    // The device's answer to what was just written, queued as input.
    std::function<QByteArray(const QByteArray &written)> answer;

private:
    int record(const QString &name, Handle handle, QByteArray bytes = {}, std::vector<long long> args = {});

    std::shared_ptr<Clock> m_clock;
    std::recursive_mutex m_callsMutex; // the event thread records too
    std::vector<Call> m_calls;
    struct Failure {
        int error;
        int times;
    };
    QMap<QString, Failure> m_failures;
    QByteArray m_input;
    QByteArray m_written;
    bool m_open = false;
    std::atomic<bool> m_gone{false};
    mutable std::mutex m_eventMutex;
    std::condition_variable m_eventsTaken;
    uint32_t m_pendingEvents = 0;
    uint32_t m_eventMask = 0;
    int m_eventFd = -1;
    Handle m_nextHandle = 3;
};

} // namespace tarvex::test
