// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

class QWidget;

namespace tarvex::widgets {

class TAnalogGauge;

// The six dial gauges of live data, in the order the window places them.
enum class LiveGauge { Rpm, Voltage, Temperature, Throttle, Lambda, Load };
constexpr int kLiveGauges = 6;

// A gauge set up as the window's: 113 × 65, its scale, ticks, zones and
// caption, the face in the window's button colour, numbers 8 pixels high.
TAnalogGauge *makeLiveGauge(QWidget *parent, LiveGauge which);

// Shows a value of live data (its field's raw text) as the live tick does:
// the needle, the value as the caption of the throttle and the load, and
// the lambda gauge's scale, face and caption by the sensor.
void showLiveValue(TAnalogGauge *gauge, LiveGauge which, const QByteArray &value, bool wideBand);

} // namespace tarvex::widgets
