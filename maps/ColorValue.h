// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPalette>
#include <cstdint>

namespace tarvex::maps {

// A colour value 0x00BBGGRR; a top byte of 0xFF names a system colour,
// taken from the palette.
QColor colorFromValue(int32_t value, const QPalette &palette);
int32_t valueFromColor(const QColor &color);


} // namespace tarvex::maps
