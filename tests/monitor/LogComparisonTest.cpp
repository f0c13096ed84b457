// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/LogComparison.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

using namespace tarvex::monitor;

namespace {

TEST(LogComparison, TheVerdictFollowsTheDistanceFromTheTarget)
{
    using std::nullopt;
    const struct {
        std::optional<double> before, after;
        SensorKind sensor;
        Verdict verdict;
    } rows[] = {
        {15, 2, SensorKind::WideBand, Verdict::Better},
        {2, 15, SensorKind::WideBand, Verdict::Worse},
        {-12, 4, SensorKind::WideBand, Verdict::Better},   // rich to slightly lean
        {5, -5, SensorKind::WideBand, Verdict::Same},      // overshot as far
        {5, -3.9, SensorKind::WideBand, Verdict::Better},  // 1.1 closer
        {5, 6, SensorKind::WideBand, Verdict::Same},       // 1 further: within
        {-5, -6.2, SensorKind::WideBand, Verdict::Worse},
        {20, 16, SensorKind::NarrowBand, Verdict::Same},   // a share's swing
        {20, 14, SensorKind::NarrowBand, Verdict::Better},
        {nullopt, 3, SensorKind::WideBand, Verdict::OnlyAfter},
        {3, nullopt, SensorKind::WideBand, Verdict::OnlyBefore},
        {nullopt, nullopt, SensorKind::WideBand, Verdict::Unvisited},
    };
    for (const auto &row : rows)
        EXPECT_EQ(LogComparison::verdictOf(row.before, row.after, row.sensor), row.verdict)
            << row.before.value_or(-99) << " → " << row.after.value_or(-99);
}

// Per cell of two analyses: its records, AFR and value at each drive's end.
struct Cell {
    int hits;
    double afr;
    std::optional<int> value;
};
Analysis analysisOf(const std::map<int, Cell> &cells, SensorKind sensor = SensorKind::WideBand)
{
    Analysis a;
    a.sensor = sensor;
    for (int i = 0; i < kCellCount; ++i)
        a.cells[size_t(i)].current = 100;
    for (const auto &[cell, c] : cells) {
        CellStats &s = a.cells[size_t(cell)];
        s.hits = c.hits;
        s.meanAfr = c.afr;
        s.richShare = c.afr; // narrow-band rows give the share here
        s.current = c.value;
    }
    return a;
}

TEST(LogComparison, EachCellGetsBothErrorsTheVerdictAndItsChange)
{
    SuggestionSettings targets;
    targets.targetMap.emplace();
    targets.targetMap->fill(147);
    (*targets.targetMap)[3] = 130;
    const LogComparison c(analysisOf({{0, {12, 16.17, 100}}, {1, {12, 14.7, 100}}, {2, {12, 15.0, 100}}, {3, {20, 13.0, 100}}}),
                          analysisOf({{0, {12, 14.7, 110}}, {1, {12, 13.23, 90}}, {2, {9, 14.7, 100}}, {3, {11, 13.26, 100}},
                                      {4, {15, 14.7, 100}}}),
                          targets, 10);
    const struct {
        int cell;
        QByteArray row;
    } rows[] = {
        {0, "1,1,1,12,12,10.0,0.0,-10.0,better,100,110,1"},
        {1, "2,1,2,12,12,0.0,-10.0,-10.0,worse,100,90,1"},
        {2, "3,1,3,12,9,2.0,,,only_before,100,100,0"}, // 9 records are too few
        {3, "4,1,4,20,11,0.0,2.0,2.0,worse,100,100,0"}, // its own target, 13.0
        {4, "5,1,5,0,15,,0.0,,only_after,100,100,0"},
        {5, "6,1,6,0,0,,,,unvisited,100,100,0"},
    };
    const QList<QByteArray> lines = c.csv().split('\n');
    ASSERT_EQ(lines.size(), 258) << "a header, 256 cells and the last line's end";
    EXPECT_EQ(lines[0], "cell,row,column,records_before,records_after,error_before,error_after,difference,verdict,"
                        "value_before,value_after,changed");
    for (const auto &row : rows)
        EXPECT_EQ(lines[row.cell + 1], row.row);
    EXPECT_EQ(std::tuple(c.count(Verdict::Better), c.count(Verdict::Worse), c.count(Verdict::OnlyBefore),
                         c.count(Verdict::OnlyAfter), c.changedCells()),
              std::tuple(1, 2, 1, 1, 2));
    EXPECT_TRUE(c.mapsKnown());
}

TEST(LogComparison, WithoutADrivesMapNoCellIsCalledChanged)
{
    Analysis after = analysisOf({{0, {12, 14.7, std::nullopt}}});
    for (CellStats &s : after.cells)
        s.current.reset();
    const LogComparison c(analysisOf({{0, {12, 16.17, 100}}}), after, {}, 10);
    EXPECT_FALSE(c.mapsKnown());
    EXPECT_EQ(c.changedCells(), 0);
    EXPECT_TRUE(c.csv().split('\n')[1].endsWith(",better,100,,0")) << c.csv().split('\n')[1].toStdString();

    // Narrow-band: 50 % minus the share of rich readings, plus where lean.
    const LogComparison narrow(analysisOf({{0, {12, 0.7, 100}}}, SensorKind::NarrowBand),
                               analysisOf({{0, {12, 0.45, 100}}}, SensorKind::NarrowBand), {}, 10);
    EXPECT_DOUBLE_EQ(*narrow.cell(0).errorBefore, -20);
    EXPECT_DOUBLE_EQ(*narrow.cell(0).errorAfter, 5);
    EXPECT_EQ(narrow.cell(0).verdict, Verdict::Better);
}

} // namespace
