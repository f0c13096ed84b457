// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tarvex::test {

// A bare client of the simulator's port: writes frames, reads replies.
class SimClient {
public:
    explicit SimClient(const std::string &path);
    ~SimClient();
    SimClient(const SimClient &) = delete;
    SimClient &operator=(const SimClient &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    void send(const std::string &bytes);
    // Everything that arrives within ms.
    std::string readFor(int ms);
    // Reads until the text holds `end` (at least `minBytes` bytes) or time runs out.
    std::string readUntil(const std::string &end, int timeoutMs = 2000, size_t minBytes = 0);
    std::string ask(const std::string &frame, const std::string &end = "]", int timeoutMs = 2000);
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
};

// The value between the first upper-case and the first lower-case tag letter.
std::string field(const std::string &reply, char tag);

} // namespace tarvex::test
