// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvex::sim {

// The ECU's firmware loader: 132-byte blocks (SOH, number, its complement,
// 128 data bytes, sum of the data), answered with ACK or NAK, ended by EOT.
class Loader {
public:
    static constexpr unsigned char kSoh = 0x01;
    static constexpr unsigned char kEot = 0x04;
    static constexpr unsigned char kAck = 0x06;
    static constexpr unsigned char kNak = 0x15;
    static constexpr unsigned char kHandshake = 0x7B;
    static constexpr size_t kBlockSize = 132;

    explicit Loader(int nakEvery = 0) : m_nakEvery(nakEvery) {}

    // After the handshake: returns the bytes the loader answers with.
    std::string begin();
    bool active() const { return m_active; }

    struct Answer {
        std::string bytes;
        bool finished = false;   // EOT received
        double startMs = 0;      // arrival of the first byte of what is answered
        size_t lineBytes = 0;    // its length on the line
    };
    Answer push(unsigned char byte, double timeMs);

    const std::vector<uint8_t> &image() const { return m_image; }
    int accepted() const { return m_accepted; }
    int refused() const { return m_refused; }

private:
    Answer judge(double timeMs);

    int m_nakEvery;
    bool m_active = false;
    std::string m_block;
    double m_blockStart = 0;
    int m_expected = 1;
    int m_received = 0;
    int m_accepted = 0;
    int m_refused = 0;
    std::vector<uint8_t> m_image;
};

} // namespace tarvex::sim
