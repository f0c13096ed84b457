// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/SurfaceGeometry.h"

#include <algorithm>
#include <cmath>

namespace tarvex::maps {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kSide = 15.0;       // the base spans columns and rows 0 to 15
constexpr double kHeight = kSide / 2; // the highest value stands this high
} // namespace

Projected projectSurfacePoint(const SurfaceView &view, const SurfaceFrame &frame, double column, double row,
                              double value)
{
    // Model: x along the columns, y along the rows (toward the viewer), z up.
    const double span = frame.highest > frame.lowest ? frame.highest - frame.lowest : 1.0;
    const double x = column - kSide / 2;
    const double y = row - kSide / 2;
    const double z = (value - frame.lowest) / span * kHeight - kHeight / 2;
    const double yaw = view.yaw * kPi / 180;
    const double pitch = view.pitch * kPi / 180;
    // Turn about the vertical axis, then tilt about the horizontal one.
    const double xr = x * std::cos(yaw) - y * std::sin(yaw);
    const double yr = x * std::sin(yaw) + y * std::cos(yaw);
    const double up = z * std::cos(pitch) - yr * std::sin(pitch);
    const double depth = -(yr * std::cos(pitch) + z * std::sin(pitch));
    // The turned base's diagonal fits the picture at zoom 1.
    const double scale = view.zoom * std::min(frame.size.width(), frame.size.height()) / (kSide * 1.6);
    return Projected{QPointF(frame.size.width() / 2.0 + xr * scale, frame.size.height() / 2.0 - up * scale), depth};
}

SurfaceView draggedView(const SurfaceView &view, double dx, double dy)
{
    SurfaceView out = view;
    out.yaw = std::fmod(view.yaw + dx * 0.5, 360.0);
    out.pitch = std::clamp(view.pitch + dy * 0.5, 0.0, 90.0);
    return out;
}

SurfaceView zoomedView(const SurfaceView &view, double steps)
{
    SurfaceView out = view;
    out.zoom = std::clamp(view.zoom * std::pow(1.15, steps), 0.4, 4.0);
    return out;
}

} // namespace tarvex::maps
