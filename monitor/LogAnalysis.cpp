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

int delayInRecords(int delayMs)
{
    return int(std::lround(std::clamp(delayMs, 0, kMaxLambdaDelayMs) * kRecordsPerSecond / 1000.0));
}

Analysis analyseLog(const LogData &log, SensorKind sensor, const AnalysisFilters &filters,
                    const std::optional<LogMapTrack> &base, const SuggestionSettings &settings)
{
    Analysis a;
    a.sensor = sensor;
    struct Sums {
        double rpm = 0, load = 0, afr = 0, need = 0;
        int rich = 0;
    };
    std::array<Sums, kCellCount> sums{};
    const auto &records = log.records;
    const int last = filters.lastRecord < 0 ? int(records.size()) - 1
                                            : std::min(filters.lastRecord, int(records.size()) - 1);
    const double maxThrottleStep = filters.maxThrottlePerS / kRecordsPerSecond;
    const int highest = sensor == SensorKind::WideBand ? kWideHighest : kNarrowHighest;
    a.delayRecords = delayInRecords(filters.lambdaDelayMs);
    // The map in force, walked along with the working point's record.
    FuelMap inForce = base ? base->start() : FuelMap{};
    size_t nextChange = 0;
    for (int i = std::max(0, filters.firstRecord); i <= last; ++i) {
        const std::optional<double> lambda = records[size_t(i)].number(LogField::Lambda);
        const int j = i - a.delayRecords;
        const LogRecord *point = j >= 0 ? &records[size_t(j)] : nullptr;
        const std::optional<double> pos = point ? point->number(LogField::Pos) : std::nullopt;
        if (!pos || *pos < 1 || *pos > kCellCount || !lambda) {
            ++a.otherRecords;
            continue;
        }
        const int cell = int(*pos) - 1;
        CellStats &c = a.cells[size_t(cell)];
        auto leaveOut = [&c](int &counter) {
            ++counter;
            ++c.leftOut;
        };
        if (*lambda <= 0 || *lambda > highest) {
            leaveOut(a.notReadyRecords);
            continue;
        }
        if (const auto coolant = coolantCelsius(*point); coolant && *coolant < filters.minCoolantC) {
            leaveOut(a.coldRecords);
            continue;
        }
        const std::optional<double> throttle = point->number(LogField::Tps);
        const std::optional<double> before = j > 0 ? records[size_t(j - 1)].number(LogField::Tps) : std::nullopt;
        if (throttle && before && std::abs(*throttle - *before) > maxThrottleStep) {
            leaveOut(a.throttleRecords);
            continue;
        }
        if (filters.skipNoInjection
            && (point->number(LogField::Ms) == 0.0 || point->number(LogField::Decel) == 1.0)) {
            leaveOut(a.overrunRecords);
            continue;
        }
        if (sensor == SensorKind::WideBand && *lambda >= kWidePegged) {
            leaveOut(a.peggedRecords);
            continue;
        }
        ++c.hits;
        ++a.recordsUsed;
        if (!c.spans.empty() && c.spans.back().second >= j - 1)
            c.spans.back().second = j;
        else
            c.spans.emplace_back(j, j);
        Sums &sum = sums[size_t(cell)];
        sum.rpm += point->number(LogField::Rpm).value_or(0);
        sum.load += point->number(LogField::Map).value_or(0);
        const double afr = airFuelRatio(*lambda);
        sum.afr += afr;
        sum.rich += *lambda > kNarrowRichAbove ? 1 : 0;
        if (base) {
            for (; nextChange < base->changes().size() && base->changes()[nextChange].record <= j; ++nextChange)
                inForce[size_t(base->changes()[nextChange].cell)] = base->changes()[nextChange].value;
            const double target = settings.targetMap ? (*settings.targetMap)[size_t(cell)] : settings.targetAfr;
            sum.need += target > 0 ? inForce[size_t(cell)] * afr / target : 0;
        }
    }
    const std::optional<FuelMap> end = base ? std::optional<FuelMap>(base->endMap()) : std::nullopt;
    const double limit = std::clamp(settings.maxChangePercent, 0.0, 100.0) / 100.0;
    for (int cell = 0; cell < kCellCount; ++cell) {
        CellStats &c = a.cells[size_t(cell)];
        c.locked = settings.locked[size_t(cell)];
        if (end)
            c.current = (*end)[size_t(cell)];
        if (c.hits == 0)
            continue;
        const Sums &s = sums[size_t(cell)];
        c.meanRpm = s.rpm / c.hits;
        c.meanLoad = s.load / c.hits;
        c.meanAfr = s.afr / c.hits;
        c.richShare = double(s.rich) / c.hits;
        c.meanNeed = s.need / c.hits;
        const double target = settings.targetMap ? (*settings.targetMap)[size_t(cell)] : settings.targetAfr;
        if (sensor != SensorKind::WideBand || !c.current || c.hits < filters.minRecords || c.locked || target <= 0)
            continue;
        const double factor = *c.current > 0 ? std::clamp(c.meanNeed / *c.current, 1.0 - limit, 1.0 + limit) : 1.0;
        c.suggested = std::clamp(int(std::lround(*c.current * factor)), settings.lowest, settings.highest);
    }
    return a;
}

Analysis analyseLog(const LogData &log, SensorKind sensor, const AnalysisFilters &filters,
                    const std::optional<std::array<int, kCellCount>> &current, const SuggestionSettings &settings)
{
    return analyseLog(log, sensor, filters, current ? std::optional<LogMapTrack>(LogMapTrack(*current)) : std::nullopt,
                      settings);
}

std::array<int, kCellCount> suggestedMap(const Analysis &analysis, const std::array<int, kCellCount> &current)
{
    std::array<int, kCellCount> out = current;
    for (int cell = 0; cell < kCellCount; ++cell)
        if (analysis.cells[size_t(cell)].suggested)
            out[size_t(cell)] = *analysis.cells[size_t(cell)].suggested;
    return out;
}

int changeStep(int current, int suggested)
{
    const double percent = std::abs(suggested - current) * 100.0 / std::max(1, current);
    const int step = percent >= 10 ? 4 : percent >= 6 ? 3 : percent >= 3 ? 2 : percent >= 1 ? 1 : 0;
    return suggested < current ? -step : step;
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
