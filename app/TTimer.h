// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

namespace tarvex::app {

// A timer that behaves as the window's handlers expect: switching it on
// while it runs leaves its period running; off then on restarts it.
class TTimer : public QObject {
public:
    explicit TTimer(QObject *parent, int intervalMs, bool enabled);

    bool Enabled() const { return m_timer.isActive(); }
    void SetEnabled(bool on);
    int Interval() const { return m_timer.interval(); }
    // A new interval restarts a running timer.
    void SetInterval(int ms);

    std::function<void()> OnTimer;

private:
    QTimer m_timer;
};

} // namespace tarvex::app
