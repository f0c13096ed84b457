// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TTimer.h"

namespace tarvex::app {

TTimer::TTimer(QObject *parent, int intervalMs, bool enabled) : QObject(parent)
{
    m_timer.setInterval(intervalMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (OnTimer)
            OnTimer();
    });
    if (enabled)
        m_timer.start();
}

void TTimer::SetEnabled(bool on)
{
    if (on && !m_timer.isActive())
        m_timer.start();
    else if (!on)
        m_timer.stop();
}

void TTimer::SetInterval(int ms)
{
    if (ms == m_timer.interval())
        return;
    m_timer.setInterval(ms);
    if (m_timer.isActive())
        m_timer.start();
}

} // namespace tarvex::app
