// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/LogAnalysis.h"

#include <optional>
#include <vector>

namespace tarvex::monitor {

// What the analysis takes of one record: the lambda reading and, for the
// record as a working point, where the engine was and what it did. A value
// the record lacks is absent.
struct AnalysisSample {
    std::optional<int> lambda;
    std::optional<int> pos; // the cell from 1, as the ECU numbers it
    std::optional<int> coolantC;
    std::optional<int> throttle;
    std::optional<int> injection;
    std::optional<int> decel;
    std::optional<int> rpm;
    std::optional<int> load;
    // The fuel value the ECU held in the working point's cell then; absent
    // when it is not known.
    std::optional<int> inForce;
    // False while the window did not know the ECU's map at all (before the
    // log's map file began, after a restart until the maps were compared):
    // such a record says nothing about any value.
    bool mapKnown = true;
};

// `inForce` is the value of the record's own cell when it was taken.
AnalysisSample sampleOf(const LogRecord &record, std::optional<int> inForce);

// The per-cell analysis, record by record, as a log is read or as live data
// arrives: each reading is paired with the working point the lambda delay
// before it, filtered, and summed per cell in whole numbers.
class CellAccumulator {
public:
    CellAccumulator(SensorKind sensor, const AnalysisFilters &filters, const SuggestionSettings &settings);

    // The next record. One that is not `counted` (before the time range)
    // serves only as an earlier working point.
    void add(const AnalysisSample &sample, bool counted = true);
    // The records so far are no working points of the next ones: the data
    // had a gap, so the delay in records would pair the wrong ones.
    void breakChain() { m_chainStart = m_records; }
    // What these cells (0 to 255) got so far is left out: their values
    // changed, and the next suggestion must come from new records.
    void forget(const std::vector<int> &cells);
    int records() const { return m_records; }

    // The cells with their means, and with suggestions from `current` (the
    // map the ECU holds) where there are enough records.
    Analysis result(const std::optional<FuelMap> &current) const;

private:
    struct Sums {
        long long rpm = 0;
        long long load = 0;
        long long raw = 0;
        long long need = 0; // Σ value in force × (raw + 1060): each record's need × 106 × target ÷ 10
        int rich = 0;
        int needHits = 0;
    };
    const AnalysisSample *at(int record) const;

    SensorKind m_sensor;
    AnalysisFilters m_filters;
    SuggestionSettings m_settings;
    int m_delay = 0;
    Analysis m_counts; // the counters and per cell hits, left-out records and spans
    std::array<Sums, kCellCount> m_sums{};
    std::vector<AnalysisSample> m_recent; // the last delay + 2 records, by record number modulo its size
    int m_records = 0;
    int m_chainStart = 0;
};

// A log's records, each against the cell value in force when it was taken
// (from `base`, the map beside the log); the result needs the map the
// suggestion starts from.
CellAccumulator accumulateLog(const LogData &log, SensorKind sensor, const AnalysisFilters &filters,
                              const std::optional<LogMapTrack> &base, const SuggestionSettings &settings);

// A suggestion in whole numbers, halves away from zero: the mean need
// `needSum` × 10 ÷ (106 × target in tenths × records) from `current`,
// moved by at most `limitPerMille` ‰ of it.
int suggestedValue(int current, long long needSum, int records, int targetTenths, int limitPerMille);

} // namespace tarvex::monitor
