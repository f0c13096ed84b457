// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/Exception.h"

namespace tarvex::link {

// The serial port's error texts, by their code 1 to 15.
enum ComPortError {
    cpeOpenMissing = 1,
    cpeOpenBusy = 2,
    cpeWrite = 3,
    cpeRead = 4,
    cpeAsyncParam = 5,
    cpePurge = 6,
    cpeAsyncStatus = 7,
    cpeSetState = 8,
    cpeSetTimeouts = 9,
    cpeSetup = 10,
    cpeClearError = 11,
    cpeModemStatus = 12,
    cpeEscape = 13,
    cpePropertyWhileOpen = 14,
    cpeRegistry = 15,
};

QString comPortMessage(int code);

// Carries only its message; no code is kept.
class EComPort : public Exception {
public:
    using Exception::Exception;
    explicit EComPort(ComPortError code) : Exception(comPortMessage(code)) {}
};

} // namespace tarvex::link
