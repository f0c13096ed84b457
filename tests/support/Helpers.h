#pragma once

// Small helpers several test files share.
#include "link/ComPortMessages.h"

#include <QByteArray>

namespace tarvex::test {

// Runs f and returns the serial port message it raised ("" when none).
template <typename F>
QString raised(F &&f)
{
    try {
        f();
    } catch (const link::EComPort &e) {
        return e.message();
    }
    return QString();
}

// A map reply of 256 equal values, as the ECU sends it.
inline QByteArray mapReply(int value)
{
    QByteArray out = "[";
    for (int i = 0; i < 256; ++i)
        out += QByteArray::number(value) + ',';
    return out + ']';
}

} // namespace tarvex::test
