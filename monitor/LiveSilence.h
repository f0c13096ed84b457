// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace tarvex::monitor {

// Ticks in a row without live data. A few lost replies mean nothing; a
// stretch of them followed by data means the ECU may have restarted (its
// ignition cycled behind a plugged cable: at power-up it is silent for a few
// hundred milliseconds at least) and lost what it had not stored; a long
// one means the ECU is silent.
class LiveSilence {
public:
    // Ticks without data after which returning data may be a restart.
    static constexpr int kRestartTicks = 3;
    // Ticks without data after which the gauges say there is none: two
    // seconds, so that a few lost replies never grey them.
    static constexpr int kSilentTicks = 20;

    // One tick's reply, whether it carried data; true when the data comes
    // after a stretch long enough for a restart.
    bool tick(bool data);
    bool silent() const { return m_quiet >= kSilentTicks; }
    // Quiet long enough that the ECU may be restarting right now.
    bool mayBeRestarting() const { return m_quiet >= kRestartTicks; }
    // A new connection: nothing heard yet is no silence.
    void reset() { m_quiet = 0; }

private:
    int m_quiet = 0;
};

} // namespace tarvex::monitor
