// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapScale.h"

#include <array>

namespace tarvex::maps {

namespace {
constexpr std::array<const char *, 16> kSpeeds = {"ХХ",   "900",  "1200", "1500", "1800", "2100", "2400", "2700",
                                                  "3000", "3400", "3800", "4200", "4600", "5000", "5600", "6500"};
constexpr std::array<int, 16> kRpm = {850,  900,  1200, 1500, 1800, 2100, 2400, 2700,
                                      3000, 3400, 3800, 4200, 4600, 5000, 5600, 6500};
} // namespace

QString speedCaption(int column)
{
    return column >= 0 && column < 16 ? QString::fromUtf8(kSpeeds[size_t(column)]) : QString();
}

int columnSpeed(int column)
{
    return column >= 0 && column < 16 ? kRpm[size_t(column)] : 0;
}

} // namespace tarvex::maps
