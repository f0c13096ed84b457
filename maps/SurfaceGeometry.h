// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointF>
#include <QSize>

namespace tarvex::maps {

// How the surface is looked at: turned about the vertical axis (yaw), tilted
// towards the viewer (pitch), and magnified.
struct SurfaceView {
    double yaw = -30;   // degrees
    double pitch = 35;  // degrees, 0 looks from the side, 90 from above
    double zoom = 1.0;
};

// Where the map's values lie: their lowest and highest, and the picture.
struct SurfaceFrame {
    double lowest = 0;
    double highest = 1;
    QSize size{640, 480};
};

struct Projected {
    QPointF at;   // in the picture
    double depth; // larger is farther from the viewer
};

// A point of the map (column 0 to 15, row 0 to 15, a value) in the picture:
// an orthographic view of the 16 × 16 base, the values rising from it to a
// height of half its side, turned and tilted as the view says, centred.
Projected projectSurfacePoint(const SurfaceView &view, const SurfaceFrame &frame, double column, double row,
                              double value);

// The view after a mouse drag (dx, dy in pixels) or a wheel turn (steps of
// one notch, positive toward the screen); pitch and zoom stay in bounds.
SurfaceView draggedView(const SurfaceView &view, double dx, double dy);
SurfaceView zoomedView(const SurfaceView &view, double steps);

} // namespace tarvex::maps
