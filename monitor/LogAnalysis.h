#pragma once

#include "monitor/LogReader.h"

#include <QByteArray>
#include <array>
#include <optional>

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

// Which records count.
struct AnalysisFilters {
    double minCoolantC = 70;        // colder records are warm-up enrichment
    double maxThrottlePerS = 150;   // faster throttle changes are acceleration enrichment (raw units a second)
    bool skipNoInjection = true;    // injection time 0: overrun cut-off
    int minRecords = 10;            // fewer in a cell: no suggestion
    int firstRecord = 0;            // the time range, records first to last
    int lastRecord = -1;            // -1: to the end
};

struct SuggestionSettings {
    double targetAfr = 14.7;
    // A target per cell instead (AFR), from a map file holding AFR × 10.
    std::optional<std::array<double, kCellCount>> targetMap;
    double maxChangePercent = 15;
    int lowest = 0;     // the fuel map's range
    int highest = 999;
};

struct CellStats {
    int hits = 0;
    double meanRpm = 0;
    double meanLoad = 0;
    double meanAfr = 0;    // wide-band
    double richShare = 0;  // narrow-band: share of records reading rich
    std::optional<int> current;   // the fuel map's value
    std::optional<int> suggested; // wide-band, enough records, a current value
};

struct Analysis {
    SensorKind sensor = SensorKind::WideBand;
    std::array<CellStats, kCellCount> cells{};
    int recordsUsed = 0;
    int coldRecords = 0;
    int throttleRecords = 0;
    int overrunRecords = 0;
    int otherRecords = 0; // no working point or no lambda
};

// Per cell of the fuel map, from each record's working point: how often the
// engine was there, at what speed and load, how rich; with a current map, a
// new value for each cell that has enough records (wide-band only):
// current × measured AFR ÷ target AFR, limited to the largest change, rounded
// and clamped to the map's range.
Analysis analyseLog(const LogData &log, SensorKind sensor, const AnalysisFilters &filters,
                    const std::optional<std::array<int, kCellCount>> &current, const SuggestionSettings &settings);

// The suggested map: every cell, the current value where there is no
// suggestion.
std::array<int, kCellCount> suggestedMap(const Analysis &analysis, const std::array<int, kCellCount> &current);

// The cell table as CSV: a header, then one line per cell.
QByteArray cellsCsv(const Analysis &analysis);

} // namespace tarvex::monitor
