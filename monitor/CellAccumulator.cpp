// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/CellAccumulator.h"
#include "maps/MapOperations.h"

#include <algorithm>
#include <cstdlib>

namespace tarvex::monitor {

namespace {
// A wide-band reading is AFR × 106 − 1060: AFR = (raw + 1060) ÷ 106.
constexpr long long kAfrScale = 106;
constexpr long long kAfrOffset = 1060;

std::optional<int> whole(const std::optional<double> &v)
{
    return v ? std::optional<int>(int(*v)) : std::nullopt;
}
} // namespace

AnalysisSample sampleOf(const LogRecord &r, std::optional<int> inForce)
{
    AnalysisSample s;
    s.lambda = whole(r.number(LogField::Lambda));
    s.pos = whole(r.number(LogField::Pos));
    s.coolantC = whole(coolantCelsius(r));
    s.throttle = whole(r.number(LogField::Tps));
    s.injection = whole(r.number(LogField::Ms));
    s.decel = whole(r.number(LogField::Decel));
    s.rpm = whole(r.number(LogField::Rpm));
    s.load = whole(r.number(LogField::Map));
    s.inForce = inForce;
    return s;
}

int suggestedValue(int current, long long needSum, int records, int targetTenths, int limitPerMille)
{
    // need = needSum × 10 ÷ (106 × target × records), kept as the fraction
    // n ÷ d; the limits current × (1000 ± limit) ÷ 1000 compared across.
    using Wide = __int128;
    const long long n = needSum * 10;
    const long long d = kAfrScale * targetTenths * records;
    const long long limit = std::clamp(limitPerMille, 0, 1000);
    const long long low = current * (1000 - limit);
    const long long high = current * (1000 + limit);
    if (Wide(n) * 1000 < Wide(low) * d)
        return int(maps::divideRounded(low, 1000));
    if (Wide(n) * 1000 > Wide(high) * d)
        return int(maps::divideRounded(high, 1000));
    return int(maps::divideRounded(n, d));
}

CellAccumulator::CellAccumulator(SensorKind sensor, const AnalysisFilters &filters, const SuggestionSettings &settings)
    : m_sensor(sensor), m_filters(filters), m_settings(settings), m_delay(delayInRecords(filters.lambdaDelayMs)),
      m_recent(size_t(m_delay + 2))
{
    m_counts.sensor = sensor;
    m_counts.delayRecords = m_delay;
}

const AnalysisSample *CellAccumulator::at(int record) const
{
    if (record < m_chainStart || record < 0 || record >= m_records || record < m_records - int(m_recent.size()))
        return nullptr;
    return &m_recent[size_t(record) % m_recent.size()];
}

void CellAccumulator::add(const AnalysisSample &sample, bool counted)
{
    const int i = m_records++;
    m_recent[size_t(i) % m_recent.size()] = sample;
    if (!counted)
        return;
    Analysis &a = m_counts;
    const int j = i - m_delay;
    const AnalysisSample *point = at(j);
    const std::optional<int> lambda = sample.lambda;
    if (!point || !point->pos || *point->pos < 1 || *point->pos > kCellCount || !lambda) {
        ++a.otherRecords;
        return;
    }
    const int cell = *point->pos - 1;
    CellStats &c = a.cells[size_t(cell)];
    auto leaveOut = [&c](int &counter) {
        ++counter;
        ++c.leftOut;
    };
    const int highest = m_sensor == SensorKind::WideBand ? kWideHighest : kNarrowHighest;
    if (*lambda <= 0 || *lambda > highest)
        return leaveOut(a.notReadyRecords);
    if (point->coolantC && *point->coolantC < m_filters.minCoolantC)
        return leaveOut(a.coldRecords);
    const AnalysisSample *before = at(j - 1);
    if (point->throttle && before && before->throttle
        && std::abs(*point->throttle - *before->throttle) > m_filters.maxThrottlePerS / kRecordsPerSecond)
        return leaveOut(a.throttleRecords);
    if (m_filters.skipNoInjection && (point->injection == 0 || point->decel == 1))
        return leaveOut(a.overrunRecords);
    if (m_sensor == SensorKind::WideBand && *lambda >= kWidePegged)
        return leaveOut(a.peggedRecords);
    if (!point->mapKnown)
        return leaveOut(a.noMapRecords);
    ++c.hits;
    ++a.recordsUsed;
    if (!c.spans.empty() && c.spans.back().second >= j - 1)
        c.spans.back().second = j;
    else
        c.spans.emplace_back(j, j);
    Sums &sum = m_sums[size_t(cell)];
    sum.rpm += point->rpm.value_or(0);
    sum.load += point->load.value_or(0);
    sum.raw += *lambda;
    sum.rich += *lambda > kNarrowRichAbove ? 1 : 0;
    if (point->inForce) {
        sum.need += *point->inForce * (*lambda + kAfrOffset);
        ++sum.needHits;
    }
}

void CellAccumulator::forget(const std::vector<int> &cells)
{
    for (int cell : cells) {
        if (cell < 0 || cell >= kCellCount)
            continue;
        m_sums[size_t(cell)] = Sums{};
        m_counts.cells[size_t(cell)] = CellStats{};
    }
}

Analysis CellAccumulator::result(const std::optional<FuelMap> &current) const
{
    Analysis a = m_counts;
    for (int cell = 0; cell < kCellCount; ++cell) {
        CellStats &c = a.cells[size_t(cell)];
        c.locked = m_settings.locked[size_t(cell)];
        if (current)
            c.current = (*current)[size_t(cell)];
        if (c.hits == 0)
            continue;
        const Sums &s = m_sums[size_t(cell)];
        c.meanRpm = double(s.rpm) / c.hits;
        c.meanLoad = double(s.load) / c.hits;
        c.meanAfr = airFuelRatio(double(s.raw) / c.hits);
        c.richShare = double(s.rich) / c.hits;
        const int target = m_settings.targetMap ? (*m_settings.targetMap)[size_t(cell)] : m_settings.targetAfrTenths;
        if (target > 0 && s.needHits > 0)
            c.meanNeed = double(s.need) * 10 / (double(kAfrScale) * target * s.needHits);
        if (m_sensor != SensorKind::WideBand || !c.current || s.needHits < m_filters.minRecords || c.locked
            || target <= 0)
            continue;
        c.suggested = std::clamp(suggestedValue(*c.current, s.need, s.needHits, target, m_settings.maxChangePerMille),
                                 m_settings.lowest, m_settings.highest);
    }
    return a;
}

} // namespace tarvex::monitor
