// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/BCPort.h"
#include "link/Clock.h"
#include "link/CommandTable.h"
#include "link/Protocol.h"

#include <QByteArray>
#include <functional>

namespace tarvex::link {

// The one way every handler talks to the ECU: pause live data, wait, purge,
// write one frame, wait, read once what has arrived, resume live data.
// Waits block the calling thread, so nothing else runs in between.
class EcuExchange {
public:
    struct Hooks {
        // Switches the live-data timer off (false) or on (true).
        std::function<void(bool)> setLiveData;
        // The one wait that keeps the window running (the map store).
        std::function<void(int ms)> waitProcessingEvents;
    };

    EcuExchange(TBComPort &port, Clock &clock, Hooks hooks);

    // Runs the command's exchange; `frame` replaces the table's frame (cell
    // writes). Returns the reply, or nothing for a command without one.
    // A port error ends the exchange with live data left paused; so does
    // resume = false, for a caller with more to do first (the live-data tick).
    QByteArray run(CommandId id, const QByteArray &frame = QByteArray(), bool resume = true);

    TBComPort &port() { return m_port; }
    Clock &clock() { return m_clock; }

private:
    TBComPort &m_port;
    Clock &m_clock;
    Hooks m_hooks;
};

// The firmware text of the connect reply: what stands between the first "["
// and the first "]" after it; nothing when either is missing.
QByteArray connectReplyText(const QByteArray &reply);

} // namespace tarvex::link
