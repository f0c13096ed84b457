// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/LogAnalysis.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace tarvex::monitor;

namespace {

// A record as the window writes it: the sensor items, the state items up
// to Tune, then Fuel on a line of its own.
struct Rec {
    int pos = 67;
    int lambda = 498; // AFR 14.7
    int temp = 211;   // 90 °C
    int tps = 35;
    int ms = 250;
    int rpm = 850;
    int load = 300;
    int decel = 0;
};

QByteArray logOf(const std::vector<Rec> &records)
{
    QByteArray out = "[FW 5.2]\r\n";
    for (const Rec &r : records)
        out += "RPM " + QByteArray::number(r.rpm) + " Volt 470 Temp " + QByteArray::number(r.temp) + " TPS "
            + QByteArray::number(r.tps) + " MAP " + QByteArray::number(r.load) + " Lambda "
            + QByteArray::number(r.lambda) + " IAT 520 POS " + QByteArray::number(r.pos)
            + " DWELL 15 BaseIgn 120 CLTcorr 100 VoltCorr 100 LambdaCorr 100 Ms " + QByteArray::number(r.ms)
            + " BaseAir 40 CurrAir 42 Idle 1 AC 0 Decel " + QByteArray::number(r.decel) + " Tune 0\r\n Fuel 1\r\n";
    return out;
}

std::array<int, kCellCount> flatMap(int value)
{
    std::array<int, kCellCount> m;
    m.fill(value);
    return m;
}

// The raw wide-band reading of an air-fuel ratio.
int rawOf(double afr)
{
    return int(std::lround((afr - 10) * 106));
}

Analysis analyse(const std::vector<Rec> &records, const AnalysisFilters &filters = {},
                 const SuggestionSettings &settings = {}, int current = 100,
                 SensorKind sensor = SensorKind::WideBand)
{
    const LogData log = readLog(logOf(records));
    EXPECT_TRUE(log.error.isEmpty()) << qPrintable(log.error.text(1));
    return analyseLog(log, sensor, filters, flatMap(current), settings);
}

TEST(LogAnalysis, ALeanCellGetsTheMatchingSuggestion)
{
    const Analysis a = analyse(std::vector<Rec>(12, Rec{67, rawOf(14.7 * 1.1)}));
    const CellStats &c = a.cells[66];
    EXPECT_EQ(c.hits, 12);
    EXPECT_NEAR(c.meanAfr, 16.17, 0.01);
    EXPECT_DOUBLE_EQ(c.meanRpm, 850);
    EXPECT_EQ(c.current, 100);
    EXPECT_EQ(c.suggested, 110);
    EXPECT_EQ(a.cells[67].suggested, std::nullopt) << "a cell the engine never visited";
    EXPECT_EQ(suggestedMap(a, flatMap(100))[66], 110);
    EXPECT_EQ(suggestedMap(a, flatMap(100))[67], 100) << "unchanged cells keep the current value";
}

TEST(LogAnalysis, FiltersExcludeWarmUpThrottleChangesOverrunAndTheTimeOutside)
{
    std::vector<Rec> records(10, Rec{});
    records.push_back(Rec{67, 498, 483}); // 50 °C
    records.push_back(Rec{67, 498, 211, 400}); // the throttle opens by 365 in a record
    records.push_back(Rec{67, 498, 211, 400, 0}); // overrun
    records.push_back(Rec{0});                  // no working point
    const Analysis a = analyse(records);
    EXPECT_EQ(a.cells[66].hits, 10);
    EXPECT_EQ(a.coldRecords, 1);
    EXPECT_EQ(a.throttleRecords, 1);
    EXPECT_EQ(a.overrunRecords, 1);
    EXPECT_EQ(a.otherRecords, 1);
    AnalysisFilters warmEnough;
    warmEnough.minCoolantC = 40;
    warmEnough.skipNoInjection = false;
    warmEnough.maxThrottlePerS = 5000;
    EXPECT_EQ(analyse(records, warmEnough).cells[66].hits, 13);
    AnalysisFilters range;
    range.firstRecord = 2;
    range.lastRecord = 5;
    EXPECT_EQ(analyse(records, range).cells[66].hits, 4);
}

TEST(LogAnalysis, TooFewRecordsOrANarrowBandSensorGiveNoSuggestion)
{
    EXPECT_EQ(analyse(std::vector<Rec>(9, Rec{67, rawOf(16)})).cells[66].suggested, std::nullopt);
    std::vector<Rec> narrow;
    for (int lambda : {40, 90, 130, 200, 150, 60, 100, 125, 30, 180})
        narrow.push_back(Rec{67, lambda});
    const Analysis a = analyse(narrow, {}, {}, 100, SensorKind::NarrowBand);
    EXPECT_EQ(a.cells[66].hits, 10);
    EXPECT_DOUBLE_EQ(a.cells[66].richShare, 0.5) << "above 120 reads rich";
    EXPECT_EQ(a.cells[66].suggested, std::nullopt) << "a narrow-band sensor cannot measure the ratio";
}

TEST(LogAnalysis, TheChangeIsLimitedAndClampedToTheMapsRange)
{
    const std::vector<Rec> veryLean(12, Rec{67, rawOf(14.7 * 1.3)}); // AFR 19.1, within the sensor's range
    EXPECT_EQ(analyse(veryLean).cells[66].suggested, 115) << "15 % a pass";
    SuggestionSettings wider;
    wider.maxChangePerMille = 600;
    EXPECT_EQ(analyse(veryLean, {}, wider).cells[66].suggested, 130);
    EXPECT_EQ(analyse(veryLean, {}, {}, 990).cells[66].suggested, 999);
    EXPECT_EQ(analyse(std::vector<Rec>(12, Rec{67, rawOf(14.7 * 0.9)})).cells[66].suggested, 90) << "rich: less fuel";
    SuggestionSettings perCell;
    perCell.targetMap = std::array<int, kCellCount>{};
    perCell.targetMap->fill(147);
    (*perCell.targetMap)[66] = 135; // a richer target here
    EXPECT_EQ(analyse(std::vector<Rec>(12, Rec{67, rawOf(14.7)}), {}, perCell).cells[66].suggested, 109);
}

// In whole numbers: a need or a limit that lands on a half, which floating
// point put just below it, rounds away from zero.
TEST(LogAnalysis, SuggestionsAreExactAndHalvesRoundAwayFromZero)
{
    const struct { int current, raw, targetTenths, suggested; } rows[] = {
        {54, 318, 120, 59},   // 54 × 13.0 ÷ 12.0 = 58.5
        {106, 302, 120, 114}, // 106 × 12.85 ÷ 12.0 = 113.5
        {50, 965, 147, 58},   // very lean: the 15 % limit, 57.5
        {90, 965, 147, 104},  // 103.5
    };
    for (const auto &row : rows) {
        SuggestionSettings settings;
        settings.targetAfrTenths = row.targetTenths;
        EXPECT_EQ(analyse(std::vector<Rec>(12, Rec{67, row.raw}), {}, settings, row.current).cells[66].suggested,
                  row.suggested)
            << row.current << " at reading " << row.raw;
    }
}

// Seen on the simulator: a right cell with decelerations at the sensor's
// limit among its records was made richer.
TEST(LogAnalysis, FuelCutAndReadingsThatAreNotMixtureAreLeftOutAndCounted)
{
    std::vector<Rec> records(12, Rec{67, rawOf(14.7)});
    for (const Rec &r : {Rec{67, 1023, 211, 35, 250, 1600, 300, 1}, Rec{67, 1023}, Rec{67, 1021}, Rec{67, 0},
                         Rec{67, 1100}}) // deceleration flag, pegged twice, not ready twice (zero, beyond its range)
        records.insert(records.end(), 3, r);
    const Analysis a = analyse(records);
    EXPECT_EQ(std::tuple(a.overrunRecords, a.peggedRecords, a.notReadyRecords), std::tuple(3, 6, 6));
    EXPECT_EQ(std::tuple(a.cells[66].hits, a.cells[66].leftOut), std::tuple(12, 15));
    EXPECT_EQ(a.cells[66].suggested, 100) << "a right cell stays";
    EXPECT_EQ(a.cells[66].spans, (std::vector<std::pair<int, int>>{{0, 11}}));
}

TEST(LogAnalysis, TheLambdaDelayPairsEachReadingWithAnEarlierWorkingPoint)
{
    for (const auto &[ms, records] : {std::pair{99, 0}, {100, 1}, {2000, 10}, {5000, 10}})
        EXPECT_EQ(delayInRecords(ms), records) << ms << " ms";
    // The engine moves from cell 67 to 68 at record 12; the sensor reads
    // each cell's mixture two records late.
    std::vector<Rec> records;
    for (int i = 0; i < 26; ++i)
        records.push_back(Rec{i < 12 ? 67 : 68, rawOf(i < 14 ? 14.7 : 16.17)});
    const Analysis paired = analyse(records, {.lambdaDelayMs = 400});
    EXPECT_NEAR(paired.cells[66].meanAfr, 14.7, 0.01);
    EXPECT_NEAR(paired.cells[67].meanAfr, 16.17, 0.01);
    EXPECT_LT(analyse(records).cells[67].meanAfr, 16.0) << "without the delay cell 68 takes readings of 67";
}

// Pass 1's suggestion was loaded while logging: the records before it were
// taken with the old value, those after with the new one, and the
// suggestion starts from the map at the log's end.
TEST(LogAnalysis, EachRecordCountsAgainstTheValueInForce)
{
    std::vector<Rec> records(12, Rec{67, rawOf(14.7 * 1.1)});
    records.insert(records.end(), 12, Rec{67, rawOf(14.7)});
    LogMapTrack track(flatMap(100));
    track.change(12, 66, 110);
    const LogData log = readLog(logOf(records));
    const Analysis a = analyseLog(log, SensorKind::WideBand, {}, track, {});
    EXPECT_NEAR(a.cells[66].meanNeed, 110, 0.1);
    EXPECT_EQ(std::pair(a.cells[66].current, a.cells[66].suggested), std::pair(std::optional(110), std::optional(110)))
        << "pass 1 is not undone";
    EXPECT_EQ(analyseLog(log, SensorKind::WideBand, {}, flatMap(100), {}).cells[66].suggested, 105)
        << "against the start map for the whole log, the change is half undone";
}

TEST(LogAnalysis, TheChangeStepsOfTheCellColours)
{
    for (const auto &[current, suggested, step] : {std::tuple{100, 100, 0}, {100, 101, 1}, {100, 99, -1},
                                                   {100, 103, 2}, {100, 106, 3}, {100, 90, -4}, {200, 201, 0}})
        EXPECT_EQ(changeStep(current, suggested), step) << current << " → " << suggested;
}

TEST(LogAnalysis, TheSensorIsGuessedFromTheReadings)
{
    EXPECT_EQ(guessSensor(readLog(logOf(std::vector<Rec>(5, Rec{67, 505})))), SensorKind::WideBand);
    std::vector<Rec> narrow;
    for (int lambda : {20, 180, 100, 60, 150})
        narrow.push_back(Rec{67, lambda});
    EXPECT_EQ(guessSensor(readLog(logOf(narrow))), SensorKind::NarrowBand);
}

TEST(LogAnalysis, TheCellTableAsCsv)
{
    const QByteArray csv = cellsCsv(analyse(std::vector<Rec>(12, Rec{67, rawOf(14.7 * 1.1)})));
    const QList<QByteArray> lines = csv.split('\n');
    EXPECT_EQ(lines.size(), 258); // header, 256 cells, the last line break
    EXPECT_EQ(lines[0], "cell,row,column,records,mean_rpm,mean_load,mean_afr,rich_share,current,suggested");
    EXPECT_EQ(lines[67], "67,5,3,12,850,300,16.17,,100,110");
    EXPECT_EQ(lines[1], "1,1,1,0,,,,,100,");
}

} // namespace
