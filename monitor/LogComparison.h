// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/LogAnalysis.h"

#include <QByteArray>
#include <array>
#include <optional>

namespace tarvex::monitor {

// How a cell fared from one drive to the next.
enum class Verdict { Better, Worse, Same, OnlyBefore, OnlyAfter, Unvisited };

struct CellComparison {
    int recordsBefore = 0;
    int recordsAfter = 0;
    // The lambda error of a drive that gave the cell enough records: with a
    // wide-band sensor the mean AFR's distance from the cell's target in %
    // of it, with a narrow-band one the share of rich readings from one
    // half in points; positive where the cell ran lean.
    std::optional<double> errorBefore;
    std::optional<double> errorAfter;
    Verdict verdict = Verdict::Unvisited;
    // The value the cell held at each drive's end; none when that drive's
    // map is not known.
    std::optional<int> valueBefore;
    std::optional<int> valueAfter;

    // After minus before, where both drives measured the cell.
    std::optional<double> difference() const;
    bool changed() const { return valueBefore && valueAfter && *valueBefore != *valueAfter; }
};

// Two drives compared cell by cell: the analysis of a drive before a change
// of the fuel map and of one after it, both made with the same filters,
// lambda delay and sensor; the targets are those of the suggestion.
class LogComparison {
public:
    LogComparison(const Analysis &before, const Analysis &after, const SuggestionSettings &targets, int minRecords);

    // Closer to the target or further from it when the distance moved by
    // more than this (in the error's units of that sensor); the same within.
    static double sameWithin(SensorKind sensor);
    // The rule, for errors of drives that measured the cell (none: did not).
    static Verdict verdictOf(std::optional<double> before, std::optional<double> after, SensorKind sensor);
    // A mean's error against a target AFR in tenths.
    static std::optional<double> errorOf(const CellStats &cell, SensorKind sensor, int targetTenths, int minRecords);

    SensorKind sensor() const { return m_sensor; }
    int minRecords() const { return m_minRecords; }
    const CellComparison &cell(int cell) const { return m_cells[size_t(cell)]; }
    int count(Verdict verdict) const;
    int changedCells() const;
    // Whether the maps of both drives are known, so that the changed cells are.
    bool mapsKnown() const { return m_mapsKnown; }

    // The per-cell table as CSV: a header, then one line per cell.
    QByteArray csv() const;

private:
    SensorKind m_sensor;
    int m_minRecords;
    bool m_mapsKnown = true;
    std::array<CellComparison, kCellCount> m_cells{};
};

// Two logs analysed alike over their whole length, each against the map it
// was taken with (none: not known), and compared.
LogComparison compareLogs(const LogData &before, const std::optional<LogMapTrack> &beforeBase, const LogData &after,
                          const std::optional<LogMapTrack> &afterBase, SensorKind sensor, AnalysisFilters filters,
                          const SuggestionSettings &settings);

} // namespace tarvex::monitor
