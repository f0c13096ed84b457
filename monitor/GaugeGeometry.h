// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>
#include <QString>
#include <vector>

namespace tarvex::monitor {

enum TStyle { leftstyle, rightstyle, centerstyle };

// Nearest whole number, halves to the even neighbour.
int roundHalfEven(double value);

// Where a dial's scale lies within a W × H face with margin M.
struct GaugeGeometry {
    double phi0 = 0;   // angle of value 0, degrees
    double cx = 0;     // centre for computed points (x may be a half)
    double cy = 0;
    int wholeCx = 0;   // centre of the needle, the disc and the arc square
    int wholeCy = 0;
    int radius = 0;
    int angle = 0;     // the sweep; left and right styles take at most 90
};

// forNeedle: the left style starts its needle at 90 degrees, its face at 91.
GaugeGeometry gaugeGeometry(TStyle style, int angle, int width, int height, int margin, bool forNeedle);

// The point at angle theta (0 left, 90 up, growing clockwise) and distance r.
QPoint pointAt(double cx, double cy, double thetaDegrees, double r);
QPoint pointAt(const GaugeGeometry &g, double thetaDegrees, double r);

// The angle of a scale value; products are formed in 64 bits.
double valueAngle(double value, int angle, int scale, double phi0);

// The numbers under the main ticks: i · scale div ticks for i = 0 … ticks.
std::vector<int> mainTickNumbers(int scale, int numberMainTicks);

// Top-left corner of a main tick's number of the given pixel width.
QPoint numberPosition(const GaugeGeometry &g, int index, int numberMainTicks, int lengthMainTicks, int textWidth);

// Top-left corner of the caption of the given pixel width.
QPoint captionPosition(const GaugeGeometry &g, int textWidth);

} // namespace tarvex::monitor
