// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>

namespace tarvex {

// The one seam for time: the exchange sleeps and the fake serial device
// stamps its records through it, so tests run on a fake clock.
class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic milliseconds since an arbitrary start.
    virtual double nowMs() const = 0;
    // A blocking sleep of the calling thread; no events are processed.
    virtual void sleepMs(int ms) = 0;
};

class SystemClock final : public Clock {
public:
    double nowMs() const override;
    void sleepMs(int ms) override;
};

// Time that moves only when somebody sleeps or advances it.
class ManualClock final : public Clock {
public:
    double nowMs() const override { return m_now; }
    void sleepMs(int ms) override { if (ms > 0) m_now += ms; }
    void advance(double ms) { m_now += ms; }

private:
    double m_now = 0;
};

std::shared_ptr<Clock> systemClock();

} // namespace tarvex
