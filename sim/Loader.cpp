// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/Loader.h"

namespace tarvex::sim {

namespace {
constexpr double kBlockGapMs = 1000; // a block stalled this long is dropped
}

std::string Loader::begin()
{
    m_active = true;
    m_block.clear();
    m_expected = 1;
    m_received = 0;
    m_accepted = 0;
    m_refused = 0;
    m_image.clear();
    return std::string{char(kHandshake), char(kNak)};
}

Loader::Answer Loader::push(unsigned char byte, double timeMs)
{
    if (!m_active)
        return {};
    if (!m_block.empty() && timeMs - m_blockStart > kBlockGapMs)
        m_block.clear();
    if (m_block.empty()) {
        if (byte == kEot) {
            m_active = false;
            return Answer{{}, true, timeMs, 1};
        }
        if (byte != kSoh)
            return {}; // late handshake bytes and noise between blocks
        m_blockStart = timeMs;
    }
    m_block.push_back(char(byte));
    if (m_block.size() < kBlockSize)
        return {};
    return judge(timeMs);
}

Loader::Answer Loader::judge(double)
{
    const auto *b = reinterpret_cast<const unsigned char *>(m_block.data());
    const int number = b[1];
    unsigned sum = 0;
    for (size_t i = 3; i < 131; ++i)
        sum += b[i];
    const bool sound = b[0] == kSoh && b[2] == 255 - number && (sum & 0xFF) == b[131];
    const int previous = m_expected == 1 ? 255 : m_expected - 1;
    ++m_received;
    bool ack = false;
    if (m_nakEvery > 0 && m_received % m_nakEvery == 0) {
        ack = false;
    } else if (sound && number == m_expected) {
        m_image.insert(m_image.end(), b + 3, b + 131);
        m_expected = m_expected == 255 ? 1 : m_expected + 1;
        ++m_accepted;
        ack = true;
    } else if (sound && number == previous && m_accepted > 0) {
        ack = true; // our ACK was lost and the block came again
    }
    if (!ack)
        ++m_refused;
    Answer a{std::string(1, char(ack ? kAck : kNak)), false, m_blockStart, kBlockSize};
    m_block.clear();
    return a;
}

} // namespace tarvex::sim
