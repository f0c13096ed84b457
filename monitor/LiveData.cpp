// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/LiveData.h"

#include <cmath>

namespace tarvex::monitor {

using link::fieldNumber;

double voltsFromRaw(int raw)
{
    return raw / 33.5;
}

QString voltageText(int raw, const QLocale &locale)
{
    return locale.toString(voltsFromRaw(raw), 'f', 1) + QStringLiteral(" V");
}

QString injectionTimeText(double value, const QLocale &locale)
{
    return locale.toString(value * 0.016, 'f', 2) + QStringLiteral(" Ms");
}

LambdaDisplay lambdaDisplay(const QByteArray &value, bool wideBand, const QLocale &locale)
{
    static const QColor red(255, 0, 0), green(0, 128, 0), blue(0, 0, 255);
    const int raw = link::fieldNumber(value);
    LambdaDisplay d;
    d.position = raw;
    if (wideBand) {
        d.indMaximum = 1023;
        d.scale = 1023;
        d.face = raw < 480 ? red : raw <= 520 ? green : blue;
        d.caption = locale.toString(raw / 106.0 + 10, 'f', 1);
    } else {
        d.indMaximum = 220;
        d.scale = 250;
        d.face = raw < 80 ? blue : raw <= 120 ? green : red;
        d.caption = link::fromCp1251(value);
    }
    return d;
}

WorkingPoint workingPoint(int value)
{
    WorkingPoint w;
    w.cell = (value >= 1 && value <= 256) ? value - 1 : value;
    // Negative numbers show as their 32-bit pattern.
    w.hex = QString::number(uint32_t(w.cell), 16).toUpper().rightJustified(2, QLatin1Char('0'));
    w.row = w.cell / 16;
    w.column = w.cell % 16;
    return w;
}

namespace {
// Russian, English.
const char *const kYes[2] = {"Да", "Yes"};
const char *const kNo[2] = {"Нет", "No"};
const char *const kTuneOn[2] = {"Автонастройка - Да", "Autotune - Yes"};
const char *const kTuneOff[2] = {"Автонастройка - Нет", "Autotune - No"};
const char *const kNoFault[2] = {"НЕТ", "No"};

bool known(int language)
{
    return language == 0 || language == 1;
}
} // namespace

std::optional<QString> yesNoText(const QByteArray &value, int language)
{
    if (!known(language))
        return std::nullopt;
    if (value == "1")
        return QString::fromUtf8(kYes[language]);
    if (value == "0")
        return QString::fromUtf8(kNo[language]);
    return std::nullopt;
}

std::optional<QString> autotuneText(const QByteArray &value, int language)
{
    if (!known(language))
        return std::nullopt;
    if (value == "1")
        return QString::fromUtf8(kTuneOn[language]);
    if (value == "0")
        return QString::fromUtf8(kTuneOff[language]);
    return std::nullopt;
}

QString faultCodeText(int code, int language)
{
    if (code == 0 && known(language))
        return QString::fromUtf8(kNoFault[language]);
    return QString::number(code);
}

} // namespace tarvex::monitor
