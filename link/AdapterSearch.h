// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace tarvex::link {

// Which device to try while a pulled adapter is waited for. Its remembered
// name first. An adapter whose by-id name follows its USB socket (a serial
// number made from the socket) comes back under another name when it is
// plugged into another socket: when the remembered name stays away, the one
// serial port that has appeared since the wait began is tried, if exactly
// one has. The caller takes it only if the ECU behind it is the one of the
// first connect, and refuses it otherwise.
class AdapterSearch {
public:
    // The adapter went away: `remembered` is its lasting name, `lostNode`
    // the device it was open as, `ports` the serial ports listed now.
    void begin(const QString &remembered, const QString &lostNode, const QStringList &ports);
    // The device to open at a look; empty when there is none to try.
    QString choose(bool rememberedPresent, const QStringList &ports);
    // Another ECU answered on `device`: not tried again until it has gone.
    void refuse(const QString &device) { m_refused = device; }

private:
    QString m_remembered;
    QStringList m_before; // listed when the wait began, the lost device not among them
    QString m_refused;
};

} // namespace tarvex::link
