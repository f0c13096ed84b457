// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

namespace tarvex::sim {

// Cuts the received byte stream into command frames: "<", command, payload,
// ">" and a carriage return. Bytes outside a frame (extra carriage returns,
// line noise) are skipped.
class FrameReader {
public:
    struct Frame {
        std::string bytes;   // "<" to ">"
        double firstByteMs;  // arrival of the "<"
        size_t lineBytes;    // bytes on the line up to the closing carriage return
    };

    std::optional<Frame> push(unsigned char byte, double timeMs);
    bool inFrame() const { return m_state != State::Idle; }

private:
    enum class State { Idle, Body, AwaitReturn };
    static constexpr size_t kMaxFrame = 64;

    State m_state = State::Idle;
    std::string m_bytes;
    double m_start = 0;
};

} // namespace tarvex::sim
