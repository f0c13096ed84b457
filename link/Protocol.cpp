// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/Protocol.h"
#include "link/Exception.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <cmath>

namespace tarvex::link {

QString fromCp1251(const QByteArray &bytes)
{
    QStringDecoder decoder("windows-1251");
    return decoder.decode(bytes);
}

QByteArray toCp1251(const QString &text)
{
    QStringEncoder encoder("windows-1251");
    return encoder.encode(text);
}

std::optional<int> tryStrToInt(const QString &text)
{
    QStringView rest(text);
    while (!rest.isEmpty() && rest.front() == QLatin1Char(' '))
        rest = rest.mid(1);
    bool negative = false;
    if (!rest.isEmpty() && (rest.front() == QLatin1Char('-') || rest.front() == QLatin1Char('+'))) {
        negative = rest.front() == QLatin1Char('-');
        rest = rest.mid(1);
    }
    int base = 10;
    if (rest.startsWith(QLatin1Char('$'))) {
        base = 16;
        rest = rest.mid(1);
    } else if (rest.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        rest = rest.mid(2);
    }
    bool ok = !rest.isEmpty();
    for (QChar c : rest) {
        const int digit = c.isDigit() ? c.unicode() - '0'
                        : (base == 16 && c.isLetter()) ? QChar::toLower(c.unicode()) - 'a' + 10
                                                         : 99;
        if (digit < 0 || digit >= base)
            ok = false;
    }
    qint64 value = ok ? rest.toLongLong(&ok, base) : 0;
    if (negative)
        value = -value;
    if (!ok || value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

int strToInt(const QString &text)
{
    if (const std::optional<int> value = tryStrToInt(text))
        return *value;
    throw invalidInteger(text);
}

int strToInt(const QByteArray &bytes)
{
    return strToInt(fromCp1251(bytes));
}

QByteArray taggedField(const QByteArray &reply, char upperTag)
{
    const char lowerTag = char(upperTag + ('a' - 'A'));
    const qsizetype p = reply.indexOf(upperTag) + 1; // 1-based, 0 when missing
    const qsizetype q = reply.indexOf(lowerTag) + 1;
    const qsizetype length = q - p - 1;
    if (q == 0 || length <= 0)
        return QByteArray();
    return reply.mid(p, length);
}

bool hasBrackets(const QByteArray &reply)
{
    return reply.contains('[') && reply.contains(']');
}

int fieldNumber(const QByteArray &value)
{
    return tryStrToInt(QString::fromLatin1(value)).value_or(0);
}

double fieldReal(const QByteArray &value)
{
    bool ok = false;
    const double v = numberLocale().toDouble(QString::fromLatin1(value), &ok);
    return ok ? v : 0.0;
}

int celsiusFromRaw(int raw)
{
    // In 64 bits: a raw value of -2147483648 must not overflow 823 − raw.
    return int(std::trunc(double(823 - int64_t(raw)) / 6.8));
}

QString celsiusText(int raw)
{
    return QString::number(celsiusFromRaw(raw)) + QStringLiteral("°C");
}

QLocale numberLocale()
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

} // namespace tarvex::link
