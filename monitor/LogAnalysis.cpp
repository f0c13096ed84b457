// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/LogAnalysis.h"
#include "monitor/CellAccumulator.h"

#include <QSettings>
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

CellAccumulator accumulateLog(const LogData &log, SensorKind sensor, const AnalysisFilters &filters,
                              const std::optional<LogMapTrack> &base, const SuggestionSettings &settings)
{
    CellAccumulator cells(sensor, filters, settings);
    const auto &records = log.records;
    const int last = filters.lastRecord < 0 ? int(records.size()) - 1
                                            : std::min(filters.lastRecord, int(records.size()) - 1);
    // Records before the range are working points of the first ones in it.
    const int first = std::max(0, filters.firstRecord);
    const int from = std::max(0, first - delayInRecords(filters.lambdaDelayMs) - 1);
    // The map in force, walked along with the records.
    FuelMap inForce = base ? base->start() : FuelMap{};
    size_t nextChange = 0;
    for (int i = 0; i < from; ++i)
        cells.add(AnalysisSample{}, false);
    for (int i = from; i <= last; ++i) {
        const LogRecord &record = records[size_t(i)];
        std::optional<int> value;
        if (base) {
            for (; nextChange < base->changes().size() && base->changes()[nextChange].record <= i; ++nextChange)
                inForce[size_t(base->changes()[nextChange].cell)] = base->changes()[nextChange].value;
            if (const std::optional<double> pos = record.number(LogField::Pos); pos && *pos >= 1 && *pos <= kCellCount)
                value = inForce[size_t(*pos) - 1];
        }
        AnalysisSample sample = sampleOf(record, value);
        sample.mapKnown = !base || base->hasMapAt(i);
        cells.add(sample, i >= first);
    }
    return cells;
}

Analysis analyseLog(const LogData &log, SensorKind sensor, const AnalysisFilters &filters,
                    const std::optional<LogMapTrack> &base, const SuggestionSettings &settings)
{
    return accumulateLog(log, sensor, filters, base, settings)
        .result(base ? std::optional<FuelMap>(base->endMap()) : std::nullopt);
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
    const long long percent100 = std::abs(suggested - current) * 100LL; // × the base, compared in whole numbers
    const long long base = std::max(1, current);
    int step = 0;
    for (int from : {1, 3, 6, 10})
        step += percent100 >= from * base ? 1 : 0;
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

namespace {
const char kDelayKey[] = "analysis/lambdaDelayMs";
const char kLockedKey[] = "analysis/lockedCells";
} // namespace

QString keptAnalysisPath()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("tarvex"),
                     QStringLiteral("tarvex-logview"))
        .fileName();
}

KeptAnalysis readKeptAnalysis(const QString &path)
{
    KeptAnalysis kept;
    if (path.isEmpty())
        return kept;
    const QSettings settings(path, QSettings::IniFormat);
    kept.lambdaDelayMs = std::clamp(settings.value(QLatin1String(kDelayKey), 0).toInt(), 0, kMaxLambdaDelayMs);
    for (const QString &cell : settings.value(QLatin1String(kLockedKey)).toString().split(QLatin1Char(','))) {
        bool ok = false;
        const int n = cell.toInt(&ok);
        if (ok && n >= 1 && n <= kCellCount)
            kept.locked[size_t(n - 1)] = true;
    }
    return kept;
}

void writeKeptAnalysis(const QString &path, const KeptAnalysis &kept)
{
    if (path.isEmpty())
        return;
    QSettings settings(path, QSettings::IniFormat);
    settings.setValue(QLatin1String(kDelayKey), kept.lambdaDelayMs);
    QStringList cells;
    for (int cell = 0; cell < kCellCount; ++cell)
        if (kept.locked[size_t(cell)])
            cells << QString::number(cell + 1);
    settings.setValue(QLatin1String(kLockedKey), cells.join(QLatin1Char(',')));
}

} // namespace tarvex::monitor
