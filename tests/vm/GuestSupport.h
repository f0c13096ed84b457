// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the checks inside the virtual machine stand on: the channel to the
// rig on the host, the kernel's word of a tty coming and going, the times
// the window's connect frames went out, and the report the rig reads.
#include "link/PosixSerialSystem.h"

#include <QString>
#include <QStringList>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace tarvex::vm {

// Milliseconds of the guest's monotonic clock, the kernel's event clock.
double monotonicMs();

// Runs the event loop until `done` or `ms` have passed; whether done.
bool runUntil(const std::function<bool()> &done, int ms);
void runFor(int ms);

// The lines the rig reads from the guest: a step with its time, a check's
// result, a figure.
class Report {
public:
    void step(const QString &what);
    void result(const char *check, const char *line, bool ok, const QString &detail);
    void figure(const char *name, const char *line, const QString &text);
    int failures() const { return m_failures; }

private:
    int m_failures = 0;
};

// Requests to the rig on the host, one line each over a virtio port: "ID
// request", answered "ID ok …" or "ID error …". Answers are read by a
// thread of their own so that the window's thread never blocks on them.
class RigChannel {
public:
    explicit RigChannel(int fd);
    ~RigChannel();
    int send(const QString &request);
    // The answer to request `id` without "ID ok ", or nothing after `ms`
    // (or when the rig refused it: the reason is in `error`).
    std::optional<QString> answer(int id, int ms, QString *error = nullptr);
    std::optional<QString> ask(const QString &request, int ms = 20000, QString *error = nullptr);

private:
    void readAnswers();

    int m_fd;
    int m_next = 1;
    std::mutex m_mutex;
    std::map<int, QString> m_answers;
    bool m_closed = false;
    std::thread m_reader;
};

// The kernel's tty devices that come and go (netlink uevents), with the
// time each was seen.
class KernelTtyEvents {
public:
    KernelTtyEvents();
    ~KernelTtyEvents();
    bool listening() const { return m_fd >= 0; }
    // The first "add" of a tty whose name starts with `prefix` after `afterMs`
    // (its name in `name`); negative when none.
    double addedAfter(double afterMs, const QString &prefix, QString *name = nullptr);

private:
    struct Event {
        double ms;
        QString action, name;
    };
    void listen();

    int m_fd = -1;
    int m_stop[2] = {-1, -1};
    std::mutex m_mutex;
    std::vector<Event> m_events;
    std::thread m_thread;
};

// The system's serial services, noting when each connect frame went out.
class TimedSerialSystem final : public link::PosixSerialSystem {
public:
    int write(Handle handle, const char *data, int count, int &written) override;
    // Times of the connect frames written after `afterMs`.
    std::vector<double> connectFramesAfter(double afterMs);

private:
    std::mutex m_mutex;
    std::vector<double> m_connectFrames;
};

} // namespace tarvex::vm
