// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/CellColors.h"
#include "link/Protocol.h"

#include <array>

namespace tarvex::maps {

int paintValue(const QString &cellText)
{
    return link::tryStrToInt(cellText).value_or(0);
}

std::optional<int> fuelBand(int value)
{
    if (value <= 0)
        return std::nullopt;
    if (value < 20 || value >= 600)
        return 1;
    if (value >= 400)
        return 21;
    return 1 + value / 20;
}

std::optional<int32_t> ignitionColor(int value)
{
    // Greys, then yellows and greens in steps of two from 20 up.
    static constexpr std::array<int32_t, 20> kSingles = {
        16777215, 13684944, 12632256, 11579568, 10526880, 9474192, 8421504, 7368816, 6316128, 16777104,
        15658624, 14540144, 13421664, 12303184, 11184704, 10066224, 9502719, 8449774, 7396829, 6343884};
    static constexpr std::array<int32_t, 15> kPairs = {4237994, 3182736, 2130048, 1077360, 65280,
                                                       60928,   56576,   52224,   47872,   43520,
                                                       39168,   4259839, 3206894, 2153949, 1101004};
    if (value < 0)
        return std::nullopt;
    if (value < 20)
        return kSingles[size_t(value)];
    if (value < 50)
        return kPairs[size_t((value - 20) / 2)];
    return 16777215;
}

} // namespace tarvex::maps
