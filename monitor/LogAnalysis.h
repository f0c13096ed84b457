// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/LogMapTrack.h"
#include "monitor/LogReader.h"

#include <QByteArray>
#include <array>
#include <optional>
#include <utility>
#include <vector>

namespace tarvex::monitor {

constexpr int kCellCount = 256;
// Records a log holds per second: a pair of live ticks each.
constexpr double kRecordsPerSecond = 5.0;

// Which lambda sensor the log was recorded with; the log does not say.
enum class SensorKind { WideBand, NarrowBand };
// Wide-band readings sit around 480 to 520 near the stoichiometric ratio,
// narrow-band ones swing around 100: the median tells them apart.
SensorKind guessSensor(const LogData &log);

// The air-fuel ratio of a wide-band reading, as the window shows it.
double airFuelRatio(double raw);
// A narrow-band reading is rich above this, as the window's gauge colours it.
constexpr int kNarrowRichAbove = 120;
// The readings a sensor gives: above these it is not ready (or not
// connected); a wide-band one at its top is pegged, beyond what it measures.
constexpr int kWideHighest = 1023;
constexpr int kWidePegged = 1020; // a few counts of noise below the top
constexpr int kNarrowHighest = 255;
constexpr int kMaxLambdaDelayMs = 2000;

// Which records count.
struct AnalysisFilters {
    double minCoolantC = 70;        // colder records are warm-up enrichment
    double maxThrottlePerS = 150;   // faster throttle changes are acceleration enrichment (raw units a second)
    bool skipNoInjection = true;    // fuel cut: injection time 0 or the deceleration flag set
    int minRecords = 10;            // fewer in a cell: no suggestion
    int firstRecord = 0;            // the time range, records first to last
    int lastRecord = -1;            // -1: to the end
    // The exhaust reaches the sensor late: each reading belongs to the
    // working point this long before it (0 to 2000 ms).
    int lambdaDelayMs = 0;
};

// In whole numbers, so that a suggestion is exact: a ratio in tenths, a
// change in tenths of a percent.
struct SuggestionSettings {
    int targetAfrTenths = 147;
    // A target per cell instead, as a map file holds it: AFR × 10.
    std::optional<std::array<int, kCellCount>> targetMap;
    int maxChangePerMille = 150;
    int lowest = 0;     // the fuel map's range
    int highest = 999;
    std::array<bool, kCellCount> locked{}; // cells the fitter keeps as they are
};

struct CellStats {
    int hits = 0;
    double meanRpm = 0;
    double meanLoad = 0;
    double meanAfr = 0;    // wide-band
    double richShare = 0;  // narrow-band: share of records reading rich
    double meanNeed = 0;   // wide-band: the value each record asked for, on average
    int leftOut = 0;       // records here the filters left out
    bool locked = false;
    // The records used, as spans of record numbers from 0, first to last.
    std::vector<std::pair<int, int>> spans;
    std::optional<int> current;   // the fuel map's value at the log's end (the base)
    std::optional<int> suggested; // wide-band, enough records, a base, not locked
};

struct Analysis {
    SensorKind sensor = SensorKind::WideBand;
    std::array<CellStats, kCellCount> cells{};
    int recordsUsed = 0;
    int coldRecords = 0;
    int throttleRecords = 0;
    int overrunRecords = 0;  // fuel cut: no injection or the deceleration flag
    int peggedRecords = 0;   // the sensor at its limit
    int notReadyRecords = 0; // the sensor reading zero or beyond its range
    int otherRecords = 0;    // no working point or no lambda
    int noMapRecords = 0;    // taken while the window did not know the fuel map
    int delayRecords = 0;    // the lambda delay in records
};

// Records a delay spans: each reading is paired with the working point of
// the record this many before it.
int delayInRecords(int delayMs);

// Per cell of the fuel map, from each reading and the working point the
// lambda delay before it: how often the engine was there, at what speed and
// load, how rich. With a base (the maps the log was taken with), what each
// record asked for: the value in force then × measured AFR ÷ target AFR;
// and for each cell with enough records (wide-band only) a new value from
// the map at the log's end toward their mean, limited to the largest
// change, rounded halves away from zero and clamped to the map's range.
Analysis analyseLog(const LogData &log, SensorKind sensor, const AnalysisFilters &filters,
                    const std::optional<LogMapTrack> &base, const SuggestionSettings &settings);
// The same against one map for the whole log.
Analysis analyseLog(const LogData &log, SensorKind sensor, const AnalysisFilters &filters,
                    const std::optional<std::array<int, kCellCount>> &current, const SuggestionSettings &settings);

// The suggested map: every cell, the current value where there is no
// suggestion.
std::array<int, kCellCount> suggestedMap(const Analysis &analysis, const std::array<int, kCellCount> &current);

// How far a suggestion moves a cell, in the steps the cell view colours:
// 0 within 1 %, then 1 to 4 from 1, 3, 6 and 10 %; positive for more fuel
// (the cell ran lean), negative for less.
int changeStep(int current, int suggested);

// The cell table as CSV: a header, then one line per cell.
QByteArray cellsCsv(const Analysis &analysis);

// What the fitter sets once for his engine, kept for the log viewer and the
// window's live analysis alike.
struct KeptAnalysis {
    int lambdaDelayMs = 0;
    std::array<bool, kCellCount> locked{};
};
// tarvex-logview.ini in the user's configuration folder.
QString keptAnalysisPath();
KeptAnalysis readKeptAnalysis(const QString &path);
void writeKeptAnalysis(const QString &path, const KeptAnalysis &kept);

} // namespace tarvex::monitor
