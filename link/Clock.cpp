// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/Clock.h"

#include <chrono>
#include <thread>

namespace tarvex {

double SystemClock::nowMs() const
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void SystemClock::sleepMs(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::shared_ptr<Clock> systemClock()
{
    static const auto clock = std::make_shared<SystemClock>();
    return clock;
}

} // namespace tarvex
