// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapReply.h"
#include "link/Protocol.h"

namespace tarvex::maps {

std::optional<QStringList> parseMapReply(const QByteArray &reply)
{
    if (reply.size() <= 200)
        return std::nullopt;
    // Code page 1251 maps byte to character one for one, so one decoding
    // keeps every position.
    const QString text = link::fromCp1251(reply);
    QStringView rest(text);
    const qsizetype open = rest.indexOf(QLatin1Char('['));
    if (open >= 0)
        rest = rest.sliced(open + 1);
    QStringList cells;
    cells.reserve(kMapCells);
    for (int i = 0; i < kMapCells; ++i) {
        const qsizetype comma = rest.indexOf(QLatin1Char(','));
        const QStringView value = comma < 0 ? QStringView() : rest.first(comma);
        cells << (value.size() > 3 ? QStringLiteral("00") : value.toString());
        if (comma >= 0)
            rest = rest.sliced(comma + 1);
    }
    return cells;
}

bool isMapCellKey(QChar key)
{
    return key == QChar(8) || key == QChar(13) || (key >= QLatin1Char('0') && key <= QLatin1Char('9'));
}

} // namespace tarvex::maps
