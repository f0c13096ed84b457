#pragma once

#include <QByteArray>
#include <QColor>
#include <QLocale>
#include <QString>
#include <optional>

namespace tarvex::monitor {

// The value of a tagged field: the text between the first occurrence of the
// upper-case tag letter anywhere in the reply and the first occurrence of
// its lower-case letter; empty when the closing letter does not follow.
// A missing opening letter counts as position 0, so the text from the
// start of the reply up to the closing letter is the value.
QByteArray taggedField(const QByteArray &reply, char upperTag);

// A field read as a whole number; anything else counts as 0.
int fieldNumber(const QByteArray &value);
// A field read as a real number; anything else counts as 0.
double fieldReal(const QByteArray &value);

// Coolant and intake air: raw sensor value to whole degrees Celsius.
int celsiusFromRaw(int raw);
QString celsiusText(int raw);

double voltsFromRaw(int raw);
QString voltageText(int raw, const QLocale &locale = QLocale());

// Final injection time: the value in ms with two decimals and " Ms".
QString injectionTimeText(double value, const QLocale &locale = QLocale());

struct LambdaDisplay {
    int indMaximum = 0;
    int scale = 0;
    QColor face;
    double position = 0;
    QString caption;
};
// Wide band: 0 to 1023, caption in air-fuel ratio; narrow band: 0 to 250,
// caption the raw text.
LambdaDisplay lambdaDisplay(const QByteArray &value, bool wideBand, const QLocale &locale = QLocale());

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
