#include "monitor/LogAnalysis.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tarvex::monitor {

SensorKind guessSensor(const LogData &log)
{
    std::vector<double> readings;
    for (const LogRecord &r : log.records)
        if (const auto v = r.number(LogField::Lambda))
            readings.push_back(*v);
    if (readings.empty())
        return SensorKind::NarrowBand;
    std::nth_element(readings.begin(), readings.begin() + long(readings.size() / 2), readings.end());
    return readings[readings.size() / 2] > 300 ? SensorKind::WideBand : SensorKind::NarrowBand;
}

double airFuelRatio(double raw)
{
    return raw / 106.0 + 10.0;
}

Analysis analyseLog(const LogData &log, SensorKind sensor, const AnalysisFilters &filters,
                    const std::optional<std::array<int, kCellCount>> &current, const SuggestionSettings &settings)
{
    Analysis a;
    a.sensor = sensor;
    struct Sums {
        double rpm = 0, load = 0, afr = 0;
        int rich = 0;
    };
    std::array<Sums, kCellCount> sums{};
    const int last = filters.lastRecord < 0 ? int(log.records.size()) - 1
                                            : std::min(filters.lastRecord, int(log.records.size()) - 1);
    const double maxThrottleStep = filters.maxThrottlePerS / kRecordsPerSecond;
    std::optional<double> previousThrottle;
    for (int i = std::max(0, filters.firstRecord); i <= last; ++i) {
        const LogRecord &r = log.records[size_t(i)];
        const std::optional<double> throttle = r.number(LogField::Tps);
        const bool fastThrottle = throttle && previousThrottle && std::abs(*throttle - *previousThrottle) > maxThrottleStep;
        previousThrottle = throttle;
        const std::optional<double> pos = r.number(LogField::Pos);
        const std::optional<double> lambda = r.number(LogField::Lambda);
        if (!pos || *pos < 1 || *pos > kCellCount || !lambda) {
            ++a.otherRecords;
            continue;
        }
        if (const auto coolant = coolantCelsius(r); coolant && *coolant < filters.minCoolantC) {
            ++a.coldRecords;
            continue;
        }
        if (fastThrottle) {
            ++a.throttleRecords;
            continue;
        }
        if (filters.skipNoInjection && r.number(LogField::Ms) == 0.0) {
            ++a.overrunRecords;
            continue;
        }
        const int cell = int(*pos) - 1;
        CellStats &c = a.cells[size_t(cell)];
        ++c.hits;
        ++a.recordsUsed;
        sums[size_t(cell)].rpm += r.number(LogField::Rpm).value_or(0);
        sums[size_t(cell)].load += r.number(LogField::Map).value_or(0);
        sums[size_t(cell)].afr += airFuelRatio(*lambda);
        sums[size_t(cell)].rich += *lambda > kNarrowRichAbove ? 1 : 0;
    }
    for (int cell = 0; cell < kCellCount; ++cell) {
        CellStats &c = a.cells[size_t(cell)];
        if (current)
            c.current = (*current)[size_t(cell)];
        if (c.hits == 0)
            continue;
        const Sums &s = sums[size_t(cell)];
        c.meanRpm = s.rpm / c.hits;
        c.meanLoad = s.load / c.hits;
        c.meanAfr = s.afr / c.hits;
        c.richShare = double(s.rich) / c.hits;
        if (sensor != SensorKind::WideBand || !c.current || c.hits < filters.minRecords)
            continue;
        const double target = settings.targetMap ? (*settings.targetMap)[size_t(cell)] : settings.targetAfr;
        if (target <= 0)
            continue;
        const double limit = settings.maxChangePercent / 100.0;
        const double factor = std::clamp(c.meanAfr / target, 1.0 - limit, 1.0 + limit);
        c.suggested = std::clamp(int(std::lround(*c.current * factor)), settings.lowest, settings.highest);
    }
    return a;
}

std::array<int, kCellCount> suggestedMap(const Analysis &analysis, const std::array<int, kCellCount> &current)
{
    std::array<int, kCellCount> out = current;
    for (int cell = 0; cell < kCellCount; ++cell)
        if (analysis.cells[size_t(cell)].suggested)
            out[size_t(cell)] = *analysis.cells[size_t(cell)].suggested;
    return out;
}

QByteArray cellsCsv(const Analysis &analysis)
{
    QByteArray out = "cell,row,column,records,mean_rpm,mean_load,mean_afr,rich_share,current,suggested\n";
    auto optional = [](const std::optional<int> &v) { return v ? QByteArray::number(*v) : QByteArray(); };
    for (int cell = 0; cell < kCellCount; ++cell) {
        const CellStats &c = analysis.cells[size_t(cell)];
        const bool any = c.hits > 0;
        out += QByteArray::number(cell + 1) + ',' + QByteArray::number(cell / 16 + 1) + ','
            + QByteArray::number(cell % 16 + 1) + ',' + QByteArray::number(c.hits) + ','
            + (any ? QByteArray::number(c.meanRpm, 'f', 0) : QByteArray()) + ','
            + (any ? QByteArray::number(c.meanLoad, 'f', 0) : QByteArray()) + ','
            + (any && analysis.sensor == SensorKind::WideBand ? QByteArray::number(c.meanAfr, 'f', 2) : QByteArray())
            + ',' + (any && analysis.sensor == SensorKind::NarrowBand ? QByteArray::number(c.richShare, 'f', 2)
                                                                        : QByteArray())
            + ',' + optional(c.current) + ',' + optional(c.suggested) + '\n';
    }
    return out;
}

} // namespace tarvex::monitor
