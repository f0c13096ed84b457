#pragma once

#include "app/SettingsFile.h"
#include "maps/MapSession.h"

#include <QColor>
#include <QPalette>
#include <cstdint>
#include <functional>

namespace tarvex::maps {
class TMapGrid;
}

namespace tarvex::app {

// A colour value 0x00BBGGRR; a top byte of 0xFF names a system colour,
// taken from the palette.
QColor colorFromValue(int32_t value, const QPalette &palette);
int32_t valueFromColor(const QColor &color);

// How a map's grid paints its cells: the fuel map in red on its bands'
// colours as `bands` gives them at the time, the ignition map in the
// window's text colour on its fixed colours.
void paintMapGrid(maps::TMapGrid *grid, maps::MapPage kind, std::function<BandColors()> bands);

} // namespace tarvex::app
