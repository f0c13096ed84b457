// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/Protocol.h"

#include <QByteArray>
#include <QColor>
#include <QLocale>
#include <QString>
#include <optional>

namespace tarvex::monitor {

double voltsFromRaw(int raw);
QString voltageText(int raw, const QLocale &locale = link::numberLocale());

// Final injection time: the value in ms with two decimals and " Ms".
QString injectionTimeText(double value, const QLocale &locale = link::numberLocale());

struct LambdaDisplay {
    int indMaximum = 0;
    int scale = 0;
    QColor face;
    double position = 0;
    QString caption;
};
// Wide band: 0 to 1023, caption in air-fuel ratio; narrow band: 0 to 250,
// caption the raw text.
LambdaDisplay lambdaDisplay(const QByteArray &value, bool wideBand, const QLocale &locale = link::numberLocale());

struct WorkingPoint {
    int cell = 0;   // 0-based cell, or the raw value when out of 1 … 256
    QString hex;    // at least two upper-case digits
    int row = 0;
    int column = 0;
};
WorkingPoint workingPoint(int value);

// Texts the live data writes by language: 0 Russian, 1 English.
std::optional<QString> yesNoText(const QByteArray &value, int language);
std::optional<QString> autotuneText(const QByteArray &value, int language);
QString faultCodeText(int code, int language);

} // namespace tarvex::monitor
