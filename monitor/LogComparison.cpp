// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/LogComparison.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace tarvex::monitor {

namespace {
// Noise moves a wide-band mean by a fraction of a percent; a narrow-band
// share swings by a few points between drives of the same map.
constexpr double kSameWithinWide = 1.0;
constexpr double kSameWithinNarrow = 5.0;

const char *const kVerdictWords[] = {"better", "worse", "same", "only_before", "only_after", "unvisited"};
} // namespace

std::optional<double> CellComparison::difference() const
{
    if (!errorBefore || !errorAfter)
        return std::nullopt;
    return *errorAfter - *errorBefore;
}

double LogComparison::sameWithin(SensorKind sensor)
{
    return sensor == SensorKind::WideBand ? kSameWithinWide : kSameWithinNarrow;
}

Verdict LogComparison::verdictOf(std::optional<double> before, std::optional<double> after, SensorKind sensor)
{
    if (!before || !after)
        return before ? Verdict::OnlyBefore : after ? Verdict::OnlyAfter : Verdict::Unvisited;
    const double moved = std::abs(*after) - std::abs(*before);
    if (moved < -sameWithin(sensor))
        return Verdict::Better;
    if (moved > sameWithin(sensor))
        return Verdict::Worse;
    return Verdict::Same;
}

std::optional<double> LogComparison::errorOf(const CellStats &cell, SensorKind sensor, int targetTenths, int minRecords)
{
    if (cell.hits < std::max(1, minRecords))
        return std::nullopt;
    if (sensor == SensorKind::NarrowBand)
        return (0.5 - cell.richShare) * 100;
    if (targetTenths <= 0)
        return std::nullopt;
    return (cell.meanAfr * 10 - targetTenths) * 100 / targetTenths;
}

LogComparison::LogComparison(const Analysis &before, const Analysis &after, const SuggestionSettings &targets,
                             int minRecords)
    : m_sensor(before.sensor), m_minRecords(minRecords)
{
    for (int i = 0; i < kCellCount; ++i) {
        const CellStats &b = before.cells[size_t(i)];
        const CellStats &a = after.cells[size_t(i)];
        CellComparison &c = m_cells[size_t(i)];
        const int target = targets.targetMap ? (*targets.targetMap)[size_t(i)] : targets.targetAfrTenths;
        c.recordsBefore = b.hits;
        c.recordsAfter = a.hits;
        c.errorBefore = errorOf(b, before.sensor, target, minRecords);
        c.errorAfter = errorOf(a, after.sensor, target, minRecords);
        c.verdict = verdictOf(c.errorBefore, c.errorAfter, m_sensor);
        c.valueBefore = b.current;
        c.valueAfter = a.current;
        m_mapsKnown = m_mapsKnown && b.current && a.current;
    }
}

int LogComparison::count(Verdict verdict) const
{
    return int(std::count_if(m_cells.begin(), m_cells.end(), [verdict](const CellComparison &c) { return c.verdict == verdict; }));
}

int LogComparison::changedCells() const
{
    return int(std::count_if(m_cells.begin(), m_cells.end(), [](const CellComparison &c) { return c.changed(); }));
}

QByteArray LogComparison::csv() const
{
    QByteArray out = "cell,row,column,records_before,records_after,error_before,error_after,difference,verdict,"
                     "value_before,value_after,changed\n";
    auto number = [](const auto &v, int decimals) {
        if (!v)
            return QByteArray();
        if constexpr (std::is_same_v<std::decay_t<decltype(*v)>, int>)
            return QByteArray::number(*v);
        else
            return QByteArray::number(*v, 'f', decimals);
    };
    for (int i = 0; i < kCellCount; ++i) {
        const CellComparison &c = m_cells[size_t(i)];
        out += QByteArray::number(i + 1) + ',' + QByteArray::number(i / 16 + 1) + ',' + QByteArray::number(i % 16 + 1)
            + ',' + QByteArray::number(c.recordsBefore) + ',' + QByteArray::number(c.recordsAfter) + ','
            + number(c.errorBefore, 1) + ',' + number(c.errorAfter, 1) + ',' + number(c.difference(), 1) + ','
            + kVerdictWords[int(c.verdict)] + ',' + number(c.valueBefore, 0) + ',' + number(c.valueAfter, 0) + ','
            + (c.changed() ? '1' : '0') + '\n';
    }
    return out;
}

LogComparison compareLogs(const LogData &before, const std::optional<LogMapTrack> &beforeBase, const LogData &after,
                          const std::optional<LogMapTrack> &afterBase, SensorKind sensor, AnalysisFilters filters,
                          const SuggestionSettings &settings)
{
    filters.firstRecord = 0;
    filters.lastRecord = -1;
    return LogComparison(analyseLog(before, sensor, filters, beforeBase, settings),
                         analyseLog(after, sensor, filters, afterBase, settings), settings, filters.minRecords);
}

} // namespace tarvex::monitor
