// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The least time the protocol needs on a line of 57600 baud: its waits,
// and the bytes' time on the line only where no wait covers it (a frame
// written goes out while the wait after it runs). Each part is named, so
// that a floor states its sum.
#include "link/CommandTable.h"

#include <QString>
#include <QStringList>
#include <algorithm>
#include <vector>

namespace tarvex::bench {

// 8N1: ten bits a byte.
inline double lineMs(double bytes)
{
    return bytes * 10000.0 / 57600.0;
}

class ProtocolFloor {
public:
    // `times` parts of `ms` each, named `what`.
    void add(double ms, const QString &what, int times = 1)
    {
        m_ms += ms * times;
        m_parts << (times == 1 ? QStringLiteral("(%1)").arg(what) : QStringLiteral("%1 × (%2)").arg(times).arg(what));
    }

    // Exchanges of the command table, one a frame of the sizes given: the
    // wait before each frame, then the waits after it, the frame on the line
    // meanwhile (and a reply of `replyBytes`, which is read when they end).
    void addExchanges(link::CommandId id, const QString &name, const std::vector<qsizetype> &frameBytes,
                      qsizetype replyBytes = 0)
    {
        const link::Command &c = link::command(id);
        const int after = c.connectedWait + c.replyWait;
        const auto [shortest, longest] = std::minmax_element(frameBytes.begin(), frameBytes.end());
        double ms = 0;
        for (qsizetype bytes : frameBytes)
            ms += c.preWait + std::max(double(after), lineMs(double(bytes)));
        const QString line = *shortest == *longest
            ? QString::number(lineMs(double(*shortest)), 'f', 1)
            : QStringLiteral("%1–%2").arg(lineMs(double(*shortest)), 0, 'f', 1).arg(lineMs(double(*longest)), 0, 'f', 1);
        QStringList waits;
        for (int wait : {c.preWait, c.connectedWait, c.replyWait})
            if (wait > 0)
                waits << QString::number(wait);
        QString what = QStringLiteral("%1: %2 ms, the frame's %3 ms").arg(name, waits.join(QStringLiteral(" + ")), line);
        if (replyBytes > 0)
            what += QStringLiteral(" and the reply's %1 ms").arg(lineMs(double(replyBytes)), 0, 'f', 1);
        what += lineMs(double(*longest + replyBytes)) <= after ? QStringLiteral(" on the line within")
                                                               : QStringLiteral(" on the line, longer than the waits after it");
        m_ms += ms;
        m_parts << (frameBytes.size() == 1 ? QStringLiteral("(%1)").arg(what)
                                           : QStringLiteral("%1 × (%2)").arg(frameBytes.size()).arg(what));
    }

    double seconds() const { return m_ms / 1000.0; }
    // "FLOOR s = part + part + …"
    QString sum() const
    {
        return QStringLiteral("%1 s = %2").arg(seconds(), 0, 'f', 2).arg(m_parts.join(QStringLiteral(" + ")));
    }

private:
    double m_ms = 0;
    QStringList m_parts;
};

} // namespace tarvex::bench
