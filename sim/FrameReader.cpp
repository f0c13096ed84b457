// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/FrameReader.h"

namespace tarvex::sim {

std::optional<FrameReader::Frame> FrameReader::push(unsigned char byte, double timeMs)
{
    switch (m_state) {
    case State::Idle:
        if (byte == '<') {
            m_bytes.assign(1, '<');
            m_start = timeMs;
            m_state = State::Body;
        }
        return std::nullopt;
    case State::Body:
        if (byte == '<') { // a frame that never closed: start again
            m_bytes.assign(1, '<');
            m_start = timeMs;
            return std::nullopt;
        }
        m_bytes.push_back(char(byte));
        if (byte == '>')
            m_state = State::AwaitReturn;
        else if (m_bytes.size() > kMaxFrame)
            m_state = State::Idle;
        return std::nullopt;
    case State::AwaitReturn:
        m_state = State::Idle;
        if (byte == '\r')
            return Frame{m_bytes, m_start, m_bytes.size() + 1};
        // Not a frame after all; a new one may begin here.
        return push(byte, timeMs);
    }
    return std::nullopt;
}

} // namespace tarvex::sim
