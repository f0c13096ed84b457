// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace tarvex::maps {

// The engine speed of each map column, as the scale under the grids reads
// (ХХ is idle).
QString speedCaption(int column);
// Engine speed in rpm at a column; idle counts as 850.
int columnSpeed(int column);

} // namespace tarvex::maps
