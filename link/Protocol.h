// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

// What every reader of the ECU's replies and of the program's files shares:
// the code page, whole numbers, tagged fields, temperatures and the locale of
// shown numbers.
namespace tarvex::link {

// Replies, frames and files are 8-bit text in code page 1251.
QString fromCp1251(const QByteArray &bytes);
QByteArray toCp1251(const QString &text);

// Whole-number conversion that fails the way the fitter's messages expect:
// "'%s' is not a valid integer value". Blanks before the number are skipped,
// a sign and a "$" or "0x" hex prefix are accepted.
int strToInt(const QString &text);
// The same conversion without the error: nothing when it fails.
std::optional<int> tryStrToInt(const QString &text);
// Bytes of a reply or a file, read as code page 1251 text.
int strToInt(const QByteArray &bytes);

// The value of a tagged field: the text between the first occurrence of the
// upper-case tag letter anywhere in the reply and the first occurrence of
// its lower-case letter; empty when the closing letter does not follow.
// A missing opening letter counts as position 0, so the text from the
// start of the reply up to the closing letter is the value.
QByteArray taggedField(const QByteArray &reply, char upperTag);

// Whether a reply carries both brackets, anywhere and in any order.
bool hasBrackets(const QByteArray &reply);

// A field read as a whole number; anything else counts as 0.
int fieldNumber(const QByteArray &value);
// A field read as a real number in the shown numbers' locale; anything else
// counts as 0.
double fieldReal(const QByteArray &value);

// Coolant, intake air and warm-up temperatures: a raw sensor value to whole
// degrees Celsius, (823 − raw) ÷ 6.8 cut toward zero; any 32-bit raw value.
int celsiusFromRaw(int raw);
QString celsiusText(int raw);

// The locale of every real number the window shows or reads: the user's
// decimal separator, never a group separator.
QLocale numberLocale();

} // namespace tarvex::link
