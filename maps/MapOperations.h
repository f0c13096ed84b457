// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <variant>
#include <vector>

namespace tarvex::maps {

constexpr int kMapSide = 16;

// A map's cell texts as whole numbers, row by row (cell number − 1).
using MapValues = std::array<int, kMapSide * kMapSide>;

// A rectangle of cells, both corners included.
struct CellRange {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool contains(int column, int row) const { return column >= left && column <= right && row >= top && row <= bottom; }
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};

// The values a map may hold: fuel 0 to 999 (the Enter rule), ignition −999
// to 999 (what a map file may hold).
struct ValueRange {
    int lowest;
    int highest;
};
constexpr ValueRange kFuelRange{0, 999};
constexpr ValueRange kIgnitionRange{-999, 999};

// The cells as numbers; the first cell (0-based) that holds none when one
// inside `range` does not.
std::variant<MapValues, int> valuesOf(const QStringList &cells, const CellRange &range);

// Rounds halves away from zero, as fitters expect of +5 %: for what a
// fitter types. The operations themselves reckon in whole numbers.
int roundHalfAway(double value);
// numerator ÷ denominator, halves away from zero, exactly.
long long divideRounded(long long numerator, long long denominator);

// The operations on a selection; cells outside it keep their values.
MapValues setTo(const MapValues &values, const CellRange &range, int value);
MapValues addTo(const MapValues &values, const CellRange &range, int delta);
// Each cell × (1000 + tenths) ÷ 1000, rounded: +2.5 % is 25 tenths.
MapValues scaleBy(const MapValues &values, const CellRange &range, int tenthsOfPercent);

enum class Interpolation { Rows, Columns, Both };
// Fills the selection linearly between its edges: each row between its
// first and last cell, each column between its top and bottom cell, or
// bilinearly between the four corners. The corners keep their values.
MapValues interpolate(const MapValues &values, const CellRange &range, Interpolation how);

// Each cell becomes the weighted mean of itself (4), its side neighbours (2)
// and its corner neighbours (1) that lie inside the selection.
MapValues smooth(const MapValues &values, const CellRange &range);

// The first cell inside the selection whose value lies outside the range.
std::optional<int> firstOutOfRange(const MapValues &values, const CellRange &range, const ValueRange &allowed);

// The selection as spreadsheet text: tab between cells, a line per row.
QString copyText(const QStringList &cells, const CellRange &range);

// Spreadsheet text: rows by lines, cells by tabs or semicolons, every line
// as long as the first; a last line break (and CR LF line ends) as
// LibreOffice writes them.
struct PasteError {
    int line = 0;   // 1-based
    int column = 0; // 1-based
    QString text;   // what stood there
};
using PasteRows = std::vector<std::vector<int>>;
std::variant<PasteRows, PasteError> parsePaste(const QString &text);

} // namespace tarvex::maps
