// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace tarvex::maps {

// A cell's value for painting: its integer, or 0 when empty or no number.
int paintValue(const QString &cellText);

// The colour band (1 to 21) that paints a fuel value, or none for 0 and
// below. Band k takes its colour from the k-th band label.
std::optional<int> fuelBand(int value);

// The fixed colour (0x00BBGGRR) of an ignition value, or none below 0.
std::optional<int32_t> ignitionColor(int value);

} // namespace tarvex::maps
