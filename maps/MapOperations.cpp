// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapOperations.h"
#include "link/Protocol.h"

#include <QRegularExpression>
#include <cmath>

namespace tarvex::maps {

namespace {
int at(int column, int row)
{
    return row * kMapSide + column;
}

template <typename F>
MapValues eachCell(const MapValues &values, const CellRange &range, F f)
{
    MapValues out = values;
    for (int row = range.top; row <= range.bottom; ++row)
        for (int column = range.left; column <= range.right; ++column)
            out[size_t(at(column, row))] = f(column, row, values[size_t(at(column, row))]);
    return out;
}

// Integer weights of the two ends at `index` between `first` and `last`;
// a single cell weighs all on its own value.
struct Weights {
    long long near = 1, far = 0, total = 1;
};
Weights weights(int index, int first, int last)
{
    if (last == first)
        return {};
    return {last - index, index - first, last - first};
}

int clampToInt(long long v)
{
    return int(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}
} // namespace

std::variant<MapValues, int> valuesOf(const QStringList &cells, const CellRange &range)
{
    MapValues values{};
    for (int cell = 0; cell < kMapSide * kMapSide; ++cell) {
        const std::optional<int> v = link::tryStrToInt(cells.value(cell));
        if (v)
            values[size_t(cell)] = *v;
        else if (range.contains(cell % kMapSide, cell / kMapSide))
            return cell;
    }
    return values;
}

int roundHalfAway(double value)
{
    return int(std::clamp<double>(std::round(value), INT32_MIN, INT32_MAX));
}

long long divideRounded(long long numerator, long long denominator)
{
    if (denominator < 0) {
        numerator = -numerator;
        denominator = -denominator;
    }
    const long long magnitude = numerator < 0 ? -numerator : numerator;
    const long long q = (2 * magnitude + denominator) / (2 * denominator);
    return numerator < 0 ? -q : q;
}

MapValues setTo(const MapValues &values, const CellRange &range, int value)
{
    return eachCell(values, range, [value](int, int, int) { return value; });
}

MapValues addTo(const MapValues &values, const CellRange &range, int delta)
{
    return eachCell(values, range, [delta](int, int, int v) { return int(std::clamp<long long>(
                                                                 (long long)v + delta, INT32_MIN, INT32_MAX)); });
}

MapValues scaleBy(const MapValues &values, const CellRange &range, int tenthsOfPercent)
{
    const long long perMille = 1000 + (long long)tenthsOfPercent;
    return eachCell(values, range,
                    [perMille](int, int, int v) { return clampToInt(divideRounded(v * perMille, 1000)); });
}

MapValues interpolate(const MapValues &values, const CellRange &r, Interpolation how)
{
    auto value = [&values](int column, int row) { return (long long)values[size_t(at(column, row))]; };
    return eachCell(values, r, [&](int column, int row, int) {
        const Weights x = weights(column, r.left, r.right);
        const Weights y = weights(row, r.top, r.bottom);
        switch (how) {
        case Interpolation::Rows:
            return clampToInt(divideRounded(value(r.left, row) * x.near + value(r.right, row) * x.far, x.total));
        case Interpolation::Columns:
            return clampToInt(divideRounded(value(column, r.top) * y.near + value(column, r.bottom) * y.far, y.total));
        case Interpolation::Both:
            break;
        }
        const long long top = value(r.left, r.top) * x.near + value(r.right, r.top) * x.far;
        const long long bottom = value(r.left, r.bottom) * x.near + value(r.right, r.bottom) * x.far;
        return clampToInt(divideRounded(top * y.near + bottom * y.far, x.total * y.total));
    });
}

MapValues smooth(const MapValues &values, const CellRange &r)
{
    return eachCell(values, r, [&](int column, int row, int) {
        long long sum = 0;
        long long total = 0;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (!r.contains(column + dx, row + dy))
                    continue;
                const long long w = dx == 0 && dy == 0 ? 4 : (dx == 0 || dy == 0) ? 2 : 1;
                sum += w * values[size_t(at(column + dx, row + dy))];
                total += w;
            }
        }
        return clampToInt(divideRounded(sum, total));
    });
}

std::optional<int> firstOutOfRange(const MapValues &values, const CellRange &r, const ValueRange &allowed)
{
    for (int row = r.top; row <= r.bottom; ++row)
        for (int column = r.left; column <= r.right; ++column) {
            const int v = values[size_t(at(column, row))];
            if (v < allowed.lowest || v > allowed.highest)
                return at(column, row);
        }
    return std::nullopt;
}

QString copyText(const QStringList &cells, const CellRange &r)
{
    QString out;
    for (int row = r.top; row <= r.bottom; ++row) {
        QStringList line;
        for (int column = r.left; column <= r.right; ++column)
            line << cells.value(at(column, row));
        out += line.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return out;
}

std::variant<PasteRows, PasteError> parsePaste(const QString &text)
{
    QString all = text;
    all.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (all.endsWith(QLatin1Char('\n')))
        all.chop(1);
    static const QRegularExpression wholeNumber(QStringLiteral("^-?[0-9]+$"));
    static const QRegularExpression separator(QStringLiteral("[\t;]"));
    PasteRows rows;
    const QStringList lines = all.split(QLatin1Char('\n'));
    for (int l = 0; l < lines.size(); ++l) {
        std::vector<int> row;
        const QStringList fields = lines[l].split(separator);
        for (int f = 0; f < fields.size(); ++f) {
            const QString field = fields[f].trimmed();
            const std::optional<int> v =
                wholeNumber.match(field).hasMatch() ? link::tryStrToInt(field) : std::optional<int>();
            if (!v)
                return PasteError{l + 1, f + 1, fields[f]};
            row.push_back(*v);
        }
        // A table: every line as long as the first, the missing cell named.
        if (!rows.empty() && row.size() != rows.front().size()) {
            const size_t at = std::min(row.size(), rows.front().size());
            return PasteError{l + 1, int(at) + 1, fields.value(int(at))};
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace tarvex::maps
