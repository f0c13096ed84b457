// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Small helpers several test files share.
#include "link/ComPortMessages.h"

#include <QByteArray>
#include <QStringList>
#include <array>

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

// A map reply of these cells, as the ECU sends it.
inline QByteArray mapReply(const QStringList &cells)
{
    QByteArray out = "[";
    for (const QString &cell : cells)
        out += cell.toLatin1() + ',';
    return out + ']';
}

// Both maps of an ECU that takes cell writes ("<B[", "<E[") and answers map
// reads ("<A>", "<D>") with what it holds.
struct MapEcu {
    QStringList fuel = QStringList(256, QStringLiteral("40"));
    QStringList ignition = QStringList(256, QStringLiteral("20"));
    bool takesWrites = true;

    QByteArray answer(const QByteArray &frame)
    {
        if (frame == "<A>\r")
            return mapReply(fuel);
        if (frame == "<D>\r\r")
            return mapReply(ignition);
        const bool fuelWrite = frame.startsWith("<B[");
        if ((fuelWrite || frame.startsWith("<E[")) && takesWrites) {
            const QByteArray body = frame.mid(3, frame.indexOf(']') - 3).trimmed();
            const int slash = body.indexOf('/');
            const int cell = body.left(slash).toInt();
            if (cell >= 1 && cell <= 256)
                (fuelWrite ? fuel : ignition)[cell - 1] = QString::fromLatin1(body.mid(slash + 1));
        }
        return QByteArray();
    }
};

} // namespace tarvex::test
