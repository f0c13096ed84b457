// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/Pty.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace tarvex::test {

Pty::Pty()
{
    char name[256] = {};
    int slave = -1;
    termios raw {};
    cfmakeraw(&raw);
    if (openpty(&m_master, &slave, name, &raw, nullptr) != 0) {
        ADD_FAILURE() << "openpty failed";
        return;
    }
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    // Held open so that the master does not see a hang-up between opens.
    m_slaveKeep = slave;
    m_slavePath = QString::fromLocal8Bit(name);
}

Pty::~Pty()
{
    closeMaster();
    if (m_slaveKeep >= 0)
        ::close(m_slaveKeep);
}

void Pty::send(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else {
            pollfd p{m_master, POLLOUT, 0};
            poll(&p, 1, 10);
        }
    }
    tcdrain(m_master);
}

QByteArray Pty::receive(int atLeast, int timeoutMs)
{
    QByteArray out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < atLeast && std::chrono::steady_clock::now() < deadline) {
        pollfd p{m_master, POLLIN, 0};
        poll(&p, 1, 5);
        out += drain();
    }
    return out;
}

QByteArray Pty::drain()
{
    QByteArray out;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, n);
    }
    return out;
}

void Pty::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

} // namespace tarvex::test
