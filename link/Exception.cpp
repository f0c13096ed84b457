#include "link/Exception.h"

namespace tarvex {

EConvertError invalidInteger(const QString &text)
{
    return EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

std::optional<int> tryStrToInt(const QString &text)
{
    // Blanks before the number are skipped, blanks after it are not part of
    // it; a sign and a "$" or "0x" hex prefix are accepted.
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

} // namespace tarvex
