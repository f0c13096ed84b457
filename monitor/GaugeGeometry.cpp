// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/GaugeGeometry.h"

#include <cfenv>
#include <cmath>

namespace tarvex::monitor {

namespace {
constexpr double kDegree = 3.14159265358979323846 / 180.0;
}

int roundHalfEven(double value)
{
    // nearbyint follows the current rounding mode, to nearest-even by default.
    return int(std::nearbyint(value));
}

GaugeGeometry gaugeGeometry(TStyle style, int angle, int width, int height, int margin, bool forNeedle)
{
    GaugeGeometry g;
    g.angle = angle;
    const int W = width;
    const int H = height;
    const int M = margin;
    switch (style) {
    case leftstyle:
    case rightstyle:
        if (g.angle > 90)
            g.angle = 90;
        g.phi0 = style == rightstyle ? 0 : (forNeedle ? 90 : 91);
        g.cx = style == rightstyle ? W - M : M;
        g.cy = H - M;
        g.radius = W - 2 * M;
        g.wholeCx = int(g.cx);
        g.wholeCy = int(g.cy);
        break;
    case centerstyle:
        g.phi0 = (180.0 - angle) / 2.0;
        g.cx = W / 2.0;
        g.wholeCx = W / 2;
        if (angle < 180) {
            g.radius = roundHalfEven(((W - 2 * M) / 2.0) / std::cos(g.phi0 * kDegree));
            if (g.radius > H - 2 * M)
                g.radius = H - 2 * M;
            g.wholeCy = (H - g.radius) / 2 + g.radius;
        } else {
            g.radius = (W - 2 * M) / 2;
            g.wholeCy = H / 2;
        }
        g.cy = g.wholeCy;
        break;
    }
    return g;
}

QPoint pointAt(double cx, double cy, double thetaDegrees, double r)
{
    const double t = thetaDegrees * kDegree;
    return QPoint(roundHalfEven(cx - r * std::cos(t)), roundHalfEven(cy - r * std::sin(t)));
}

QPoint pointAt(const GaugeGeometry &g, double thetaDegrees, double r)
{
    return pointAt(g.cx, g.cy, thetaDegrees, r);
}

double valueAngle(double value, int angle, int scale, double phi0)
{
    return value * double(int64_t(angle)) / double(scale) + phi0;
}

std::vector<int> mainTickNumbers(int scale, int numberMainTicks)
{
    std::vector<int> numbers;
    if (numberMainTicks <= 0)
        return numbers;
    for (int i = 0; i <= numberMainTicks; ++i)
        numbers.push_back(int(int64_t(i) * scale / numberMainTicks));
    return numbers;
}

QPoint numberPosition(const GaugeGeometry &g, int index, int numberMainTicks, int lengthMainTicks, int textWidth)
{
    const double theta = (double(int64_t(index) * g.angle) / numberMainTicks + g.phi0) * kDegree;
    // The horizontal distance shrinks by a pixel per label; the vertical does not.
    const int x = roundHalfEven(g.cx - std::cos(theta) * (g.radius - lengthMainTicks - 5 - index)) - textWidth / 2;
    const int y = roundHalfEven(g.cy - std::sin(theta) * (g.radius - lengthMainTicks - 5));
    return QPoint(x, y);
}

QPoint captionPosition(const GaugeGeometry &g, int textWidth)
{
    const QPoint p = pointAt(g, g.phi0 + g.angle / 2.0, g.radius / 2.0);
    return QPoint(p.x() - textWidth / 2, p.y());
}

} // namespace tarvex::monitor
