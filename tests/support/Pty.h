// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace tarvex::test {

// A pseudo-terminal pair for tests: the port under test opens the slave by
// its path, the test plays the device on the master.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    QString slavePath() const { return m_slavePath; }
    int master() const { return m_master; }

    void send(const QByteArray &bytes);
    // Reads what the port sent, waiting up to timeoutMs for `atLeast` bytes.
    QByteArray receive(int atLeast, int timeoutMs = 2000);
    // Everything readable now.
    QByteArray drain();
    // The other end of the cable goes away.
    void closeMaster();

private:
    int m_master = -1;
    int m_slaveKeep = -1;
    QString m_slavePath;
};

} // namespace tarvex::test
