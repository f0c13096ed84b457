// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/vm/GuestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarvex::vm {

double monotonicMs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

bool runUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

void runFor(int ms)
{
    runUntil([] { return false; }, ms);
}

void Report::step(const QString &what)
{
    std::printf("STEP %.3f %s\n", monotonicMs() / 1000.0, qPrintable(what));
    std::fflush(stdout);
}

void Report::result(const char *check, const char *line, bool ok, const QString &detail)
{
    QString oneLine = detail;
    oneLine.replace(QLatin1Char('\n'), QLatin1String(" / "));
    std::printf("RESULT %s %s %s %s\n", check, line, ok ? "PASS" : "FAIL", qPrintable(oneLine));
    std::fflush(stdout);
    m_failures += ok ? 0 : 1;
}

void Report::figure(const char *name, const char *line, const QString &text)
{
    std::printf("FIGURE %s %s %s\n", name, line, qPrintable(text));
    std::fflush(stdout);
}

RigChannel::RigChannel(int fd) : m_fd(fd), m_reader([this] { readAnswers(); }) {}

RigChannel::~RigChannel()
{
    // A read on a virtio port does not end when it is closed: the reader
    // goes with the process.
    m_reader.detach();
}

int RigChannel::send(const QString &request)
{
    const int id = m_next++;
    const QByteArray line = QByteArray::number(id) + ' ' + request.toUtf8() + '\n';
    for (qsizetype done = 0; done < line.size();) {
        const ssize_t n = ::write(m_fd, line.constData() + done, size_t(line.size() - done));
        if (n < 0 && errno != EINTR)
            break;
        done += n > 0 ? n : 0;
    }
    return id;
}

std::optional<QString> RigChannel::answer(int id, int ms, QString *error)
{
    std::optional<QString> found;
    runUntil(
        [&] {
            std::lock_guard lock(m_mutex);
            auto it = m_answers.find(id);
            if (it == m_answers.end())
                return m_closed;
            found = it->second;
            m_answers.erase(it);
            return true;
        },
        ms);
    if (!found)
        return std::nullopt;
    if (found->startsWith(QLatin1String("ok")))
        return found->mid(3);
    if (error)
        *error = *found;
    return std::nullopt;
}

std::optional<QString> RigChannel::ask(const QString &request, int ms, QString *error)
{
    return answer(send(request), ms, error);
}

void RigChannel::readAnswers()
{
    QByteArray pending;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        pending.append(buffer, n);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
            const QString line = QString::fromUtf8(pending.left(end));
            pending.remove(0, end + 1);
            const qsizetype space = line.indexOf(QLatin1Char(' '));
            bool number = false;
            const int id = line.left(space).toInt(&number);
            if (number && space > 0) {
                std::lock_guard lock(m_mutex);
                m_answers[id] = line.mid(space + 1);
            }
        }
    }
    std::lock_guard lock(m_mutex);
    m_closed = true;
}

KernelTtyEvents::KernelTtyEvents()
{
    m_fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    sockaddr_nl address {};
    address.nl_family = AF_NETLINK;
    address.nl_groups = 1; // the kernel's own events
    if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_fd >= 0 && pipe2(m_stop, O_CLOEXEC) == 0)
        m_thread = std::thread([this] { listen(); });
}

KernelTtyEvents::~KernelTtyEvents()
{
    if (m_thread.joinable()) {
        (void)!::write(m_stop[1], "x", 1);
        m_thread.join();
    }
    for (int fd : {m_fd, m_stop[0], m_stop[1]})
        if (fd >= 0)
            ::close(fd);
}

void KernelTtyEvents::listen()
{
    char buffer[8192];
    for (;;) {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents)
            return;
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        const double now = monotonicMs();
        if (n <= 0)
            continue;
        // "add@/devices/…\0ACTION=add\0SUBSYSTEM=tty\0DEVNAME=ttyUSB0\0…"
        QString action, name, subsystem;
        for (const QByteArray &field : QByteArray(buffer, int(n)).split('\0')) {
            if (field.startsWith("ACTION="))
                action = QString::fromLatin1(field.mid(7));
            else if (field.startsWith("SUBSYSTEM="))
                subsystem = QString::fromLatin1(field.mid(10));
            else if (field.startsWith("DEVNAME="))
                name = QString::fromLatin1(field.mid(8));
        }
        if (subsystem == QLatin1String("tty") && !name.isEmpty()) {
            std::lock_guard lock(m_mutex);
            m_events.push_back(Event{now, action, name});
        }
    }
}

double KernelTtyEvents::addedAfter(double afterMs, const QString &prefix, QString *name)
{
    std::lock_guard lock(m_mutex);
    for (const Event &e : m_events)
        if (e.ms > afterMs && e.action == QLatin1String("add") && e.name.startsWith(prefix)) {
            if (name)
                *name = e.name;
            return e.ms;
        }
    return -1;
}

int TimedSerialSystem::write(Handle handle, const char *data, int count, int &written)
{
    if (count >= 4 && QByteArray::fromRawData(data, 4) == "<E>\r") {
        std::lock_guard lock(m_mutex);
        m_connectFrames.push_back(monotonicMs());
    }
    return PosixSerialSystem::write(handle, data, count, written);
}

std::vector<double> TimedSerialSystem::connectFramesAfter(double afterMs)
{
    std::lock_guard lock(m_mutex);
    std::vector<double> out;
    for (double t : m_connectFrames)
        if (t > afterMs)
            out.push_back(t);
    return out;
}

} // namespace tarvex::vm
