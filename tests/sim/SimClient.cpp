// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/sim/SimClient.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace tarvex::test {

SimClient::SimClient(const std::string &path)
{
    m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return;
    termios t {};
    tcgetattr(m_fd, &t);
    cfmakeraw(&t);
    tcsetattr(m_fd, TCSANOW, &t);
}

SimClient::~SimClient()
{
    if (m_fd >= 0)
        close(m_fd);
}

void SimClient::send(const std::string &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += size_t(n);
        } else {
            pollfd p{m_fd, POLLOUT, 0};
            if (poll(&p, 1, 100) < 0 || (p.revents & (POLLHUP | POLLERR)))
                return;
        }
    }
}

std::string SimClient::readFor(int ms)
{
    return readUntil(std::string(1, '\0') + "never", ms);
}

std::string SimClient::readUntil(const std::string &end, int timeoutMs, size_t minBytes)
{
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[4096];
    while (std::chrono::steady_clock::now() < deadline) {
        if (out.find(end) != std::string::npos && out.size() >= minBytes)
            break;
        pollfd p{m_fd, POLLIN, 0};
        poll(&p, 1, 2);
        if (p.revents & POLLIN) {
            const ssize_t n = read(m_fd, buffer, sizeof buffer);
            if (n > 0)
                out.append(buffer, size_t(n));
        } else if (p.revents & (POLLHUP | POLLERR)) {
            break;
        }
    }
    return out;
}

std::string SimClient::ask(const std::string &frame, const std::string &end, int timeoutMs)
{
    tcflush(m_fd, TCIFLUSH);
    send(frame);
    return readUntil(end, timeoutMs);
}

std::string field(const std::string &reply, char tag)
{
    const size_t p = reply.find(tag);
    const size_t q = reply.find(char(tag + ('a' - 'A')));
    if (p == std::string::npos || q == std::string::npos || q <= p + 1)
        return {};
    return reply.substr(p + 1, q - p - 1);
}

} // namespace tarvex::test
