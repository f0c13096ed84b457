// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/EditHistory.h"
#include "maps/MapOperations.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace tarvex::maps;

namespace {

MapValues filled(int value)
{
    MapValues v;
    v.fill(value);
    return v;
}

int cellAt(const MapValues &v, int column, int row)
{
    return v[size_t(row * 16 + column)];
}

TEST(MapOperations, SetAddAndScaleChangeOnlyTheSelection)
{
    const CellRange r{1, 2, 3, 4};
    const MapValues base = filled(100);
    const struct {
        const char *name;
        MapValues result;
        int inside;
    } cases[] = {
        {"set", setTo(base, r, 7), 7},
        {"add", addTo(base, r, -30), 70},
        {"scale up", scaleBy(base, r, 50), 105},
        {"scale down", scaleBy(base, r, -125), 88}, // 87.5 rounds away from zero
    };
    for (const auto &c : cases) {
        EXPECT_EQ(cellAt(c.result, 1, 2), c.inside) << c.name;
        EXPECT_EQ(cellAt(c.result, 3, 4), c.inside) << c.name;
        EXPECT_EQ(cellAt(c.result, 0, 2), 100) << c.name;
        EXPECT_EQ(cellAt(c.result, 1, 5), 100) << c.name;
    }
    EXPECT_EQ(roundHalfAway(2.5), 3);
    EXPECT_EQ(roundHalfAway(-2.5), -3);
}

// Exact halves, which binary floating point rounds the wrong way.
TEST(MapOperations, HalvesRoundAwayFromZeroExactly)
{
    const CellRange row{0, 0, 2, 0};
    const CellRange block{0, 0, 2, 2};
    auto with = [](std::initializer_list<std::pair<int, int>> cells) {
        MapValues v = filled(0);
        for (const auto &[cell, value] : cells)
            v[size_t(cell)] = value;
        return v;
    };
    const struct {
        const char *name;
        int got;
        int want;
    } cases[] = {
        {"100 + 2.5 %", cellAt(scaleBy(filled(100), row, 25), 0, 0), 103},
        {"-30 + 5 %", cellAt(scaleBy(filled(-30), row, 50), 0, 0), -32},
        {"10 + 0.5 %", cellAt(scaleBy(filled(10), row, 5), 0, 0), 10},
        {"halfway between 0 and 5", cellAt(interpolate(with({{2, 5}}), row, Interpolation::Rows), 1, 0), 3},
        {"halfway between 0 and -5", cellAt(interpolate(with({{2, -5}}), row, Interpolation::Rows), 1, 0), -3},
        {"corners 1, 2, 2, 5", cellAt(interpolate(with({{0, 1}, {2, 2}, {32, 2}, {34, 5}}), block,
                                                  Interpolation::Both), 1, 1), 3},
        {"smoothing 2, 0, 0", cellAt(smooth(with({{0, 2}}), row), 1, 0), 1},
        {"5 ÷ 2", int(divideRounded(5, 2)), 3},
        {"-5 ÷ 2", int(divideRounded(-5, 2)), -3},
        {"7 ÷ -2", int(divideRounded(7, -2)), -4},
        {"3 ÷ 4", int(divideRounded(3, 4)), 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.got, c.want) << c.name;
}

TEST(MapOperations, InterpolationIsExactOnTheCornersAndLinearBetween)
{
    MapValues v = filled(0);
    const CellRange r{0, 0, 4, 2};
    v[0] = 10;          // (0, 0)
    v[4] = 50;          // (4, 0)
    v[32] = 30;         // (0, 2)
    v[36] = 70;         // (4, 2)
    const MapValues both = interpolate(v, r, Interpolation::Both);
    EXPECT_EQ(cellAt(both, 0, 0), 10);
    EXPECT_EQ(cellAt(both, 4, 2), 70);
    EXPECT_EQ(cellAt(both, 2, 0), 30);
    EXPECT_EQ(cellAt(both, 0, 1), 20);
    EXPECT_EQ(cellAt(both, 2, 1), 40);
    EXPECT_EQ(cellAt(both, 1, 2), 40);
    EXPECT_EQ(cellAt(both, 5, 1), 0) << "outside the selection";

    // Rows between their own ends; columns between their own top and bottom.
    v[16] = 0;
    v[20] = 8; // row 1 ends
    const MapValues rows = interpolate(v, r, Interpolation::Rows);
    EXPECT_EQ(cellAt(rows, 1, 1), 2);
    EXPECT_EQ(cellAt(rows, 3, 0), 40);
    const MapValues columns = interpolate(v, r, Interpolation::Columns);
    EXPECT_EQ(cellAt(columns, 0, 1), 20);
    EXPECT_EQ(cellAt(columns, 2, 1), 0) << "column 2 runs from 0 to 0";
    EXPECT_EQ(cellAt(interpolate(v, CellRange{3, 3, 3, 3}, Interpolation::Both), 3, 3), 0) << "one cell stays";
}

TEST(MapOperations, SmoothingKeepsAConstantMapAndSoftensASpike)
{
    const CellRange all{0, 0, 15, 15};
    EXPECT_EQ(smooth(filled(42), all), filled(42));
    MapValues spike = filled(0);
    spike[size_t(5 * 16 + 5)] = 160;
    const MapValues s = smooth(spike, all);
    EXPECT_EQ(cellAt(s, 5, 5), 40);  // 4 × 160 ÷ 16
    EXPECT_EQ(cellAt(s, 6, 5), 20);  // 2 × 160 ÷ 16
    EXPECT_EQ(cellAt(s, 6, 6), 10);
    // Neighbours outside the selection do not count.
    EXPECT_EQ(cellAt(smooth(spike, CellRange{6, 5, 7, 6}), 6, 5), 0);
}

TEST(MapOperations, RangeCheckNamesTheFirstCellOutside)
{
    MapValues v = filled(500);
    v[size_t(3 * 16 + 2)] = 1000;
    v[size_t(4 * 16 + 1)] = -1;
    EXPECT_EQ(firstOutOfRange(v, CellRange{0, 0, 15, 15}, kFuelRange), 3 * 16 + 2);
    EXPECT_EQ(firstOutOfRange(v, CellRange{0, 4, 15, 4}, kFuelRange), 4 * 16 + 1);
    EXPECT_EQ(firstOutOfRange(v, CellRange{0, 4, 15, 4}, kIgnitionRange), std::nullopt);
    EXPECT_EQ(firstOutOfRange(v, CellRange{0, 0, 1, 1}, kFuelRange), std::nullopt);
}

TEST(MapOperations, CellsThatHoldNoNumberAreNamed)
{
    QStringList cells(256, QStringLiteral("12"));
    cells[20] = QString();
    EXPECT_EQ(std::get<int>(valuesOf(cells, CellRange{0, 1, 15, 1})), 20);
    EXPECT_EQ(cellAt(std::get<MapValues>(valuesOf(cells, CellRange{0, 0, 3, 0})), 3, 0), 12)
        << "outside the selection an empty cell does not matter";
}

TEST(MapOperations, CopyGivesSpreadsheetText)
{
    QStringList cells;
    for (int i = 0; i < 256; ++i)
        cells << QString::number(i);
    EXPECT_EQ(copyText(cells, CellRange{1, 0, 2, 1}), QStringLiteral("1\t2\n17\t18\n"));
}

struct PasteCase {
    const char *text;
    int rows, columns, first;   // the parsed shape and first value
    int line, column;           // or where it is refused (0: accepted)
    friend void PrintTo(const PasteCase &c, std::ostream *os) { PrintBytes(c.text, os); }
};

class Paste : public ::testing::TestWithParam<PasteCase> {};

TEST_P(Paste, TakesWholeNumbersByTabsOrSemicolons)
{
    const PasteCase c = GetParam();
    const auto parsed = parsePaste(QString::fromUtf8(c.text));
    if (c.line == 0) {
        ASSERT_TRUE(std::holds_alternative<PasteRows>(parsed)) << c.text;
        const PasteRows &rows = std::get<PasteRows>(parsed);
        EXPECT_EQ(int(rows.size()), c.rows);
        EXPECT_EQ(int(rows[0].size()), c.columns);
        EXPECT_EQ(rows[0][0], c.first);
    } else {
        ASSERT_TRUE(std::holds_alternative<PasteError>(parsed)) << c.text;
        EXPECT_EQ(std::get<PasteError>(parsed).line, c.line) << c.text;
        EXPECT_EQ(std::get<PasteError>(parsed).column, c.column) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Text, Paste,
    ::testing::Values(PasteCase{"12\t13\n14\t15\n", 2, 2, 12, 0, 0},       // LibreOffice, last line break
                      PasteCase{"12;13\r\n14;15", 2, 2, 12, 0, 0},        // semicolons, CR LF
                      PasteCase{"-5\t 7 \n", 1, 2, -5, 0, 0},              // signs and blanks
                      PasteCase{"7", 1, 1, 7, 0, 0},
                      PasteCase{"12\t13\n14\t1.5\n", 0, 0, 0, 2, 2},      // not whole
                      PasteCase{"12\t\t13", 0, 0, 0, 1, 2},               // empty field
                      PasteCase{"12\nabc", 0, 0, 0, 2, 1},
                      PasteCase{"1\t2\n3\n", 0, 0, 0, 2, 2},                // a cell short
                      PasteCase{"1\n3\t4\n", 0, 0, 0, 2, 2},                // a cell more
                      PasteCase{"", 0, 0, 0, 1, 1},
                      PasteCase{"99999999999", 0, 0, 0, 1, 1}));

TEST(EditHistory, UndoAndRedoMoveWholeSteps)
{
    EditHistory h;
    EXPECT_FALSE(h.canUndo());
    h.record({{1, "10", "11"}, {2, "20", "21"}});
    h.record({});
    ASSERT_TRUE(h.canUndo());
    EXPECT_EQ(h.undoWrites(), (EditStep{{2, "21", "20"}, {1, "11", "10"}})) << "the last write is undone first";
    h.undone(2);
    EXPECT_FALSE(h.canUndo());
    EXPECT_EQ(h.redoWrites(), (EditStep{{1, "10", "11"}, {2, "20", "21"}}));
    h.redone(2);
    EXPECT_TRUE(h.canUndo());
    EXPECT_FALSE(h.canRedo());
    h.undone(2);
    h.record({{3, "1", "2"}});
    EXPECT_FALSE(h.canRedo()) << "a new edit forgets what could be redone";
}

TEST(EditHistory, ACutUndoSplitsItsStep)
{
    EditHistory h;
    h.record({{1, "a", "A"}, {2, "b", "B"}, {3, "c", "C"}});
    h.undone(1); // cell 3 went back, then the line failed
    EXPECT_EQ(h.undoWrites(), (EditStep{{2, "B", "b"}, {1, "A", "a"}}));
    EXPECT_EQ(h.redoWrites(), (EditStep{{3, "c", "C"}}));
    h.redone(0);
    EXPECT_EQ(h.redoWrites(), (EditStep{{3, "c", "C"}})) << "nothing written, nothing moves";
    h.undone(2);
    EXPECT_FALSE(h.canUndo());
    EXPECT_EQ(h.redoWrites(), (EditStep{{1, "a", "A"}, {2, "b", "B"}}));
    h.redone(1);
    EXPECT_EQ(h.undoWrites(), (EditStep{{1, "A", "a"}}));
    h.clear();
    EXPECT_FALSE(h.canUndo() || h.canRedo());
}

} // namespace
