// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/LogReader.h"
#include "widgets/LogPlot.h"

#include <QColor>
#include <QRect>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QFont;
class QPainter;

namespace tarvex::widgets {

// One plotted channel of a log: its unit, its decimals, its colour and how
// it is taken from a record; its name is the plot texts' of the same place.
struct LogChannel {
    enum class Unit { None, Rpm, Celsius, Ms, Degrees };
    Unit unit;
    int decimals;
    QColor color;
    std::function<std::optional<double>(const monitor::LogRecord &)> value;
};

// Speed, coolant, throttle, load, lambda, injection, advance: the order of
// PlotTexts::channels.
const std::vector<LogChannel> &logChannels();
QString unitText(LogChannel::Unit unit, const PlotTexts &texts);

// What the plots of logs share. The horizontal axis: what is in view, from
// `start` to `end` (records or seconds), over the plots' area.
struct PlotAxis {
    QRect area;
    double start;
    double end;
    double valueAt(int x) const;
    int xOf(double value) const;
    // The view a wheel turn at `x` leaves, closer in when `in`, the value
    // there staying where it is; how far a drag by `pixels` moves the view.
    std::pair<double, double> zoomedAt(int x, bool in) const;
    double dragged(int pixels) const;
};
// A channel's row: its frame, its name at the left in its colour, and the
// scale of the values in view, `lo` to `hi` (widened when flat); false, with
// no scale, when none is in view.
bool paintChannelRow(QPainter &p, const QRect &row, int labelWidth, const QString &label, const QColor &color, double &lo,
                     double &hi);
// The readout box beside the cursor at `x`, inside the area.
void paintReadout(QPainter &p, const QFont &font, int x, const QRect &area, const QStringList &lines);

} // namespace tarvex::widgets
