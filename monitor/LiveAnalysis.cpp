// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/LiveAnalysis.h"
#include "link/Protocol.h"

namespace tarvex::monitor {

namespace {
struct TagField {
    char tag;
    LogField field;
};
constexpr TagField kSensorFields[] = {{'A', LogField::Rpm}, {'B', LogField::Volt}, {'C', LogField::Temp},
                                      {'D', LogField::Tps},  {'F', LogField::Map},  {'G', LogField::Lambda},
                                      {'H', LogField::Iat}};
// J, taken only from a reply in brackets, comes first.
constexpr TagField kStateFields[] = {
    {'K', LogField::Dwell},   {'L', LogField::BaseIgn}, {'M', LogField::CltCorr}, {'N', LogField::VoltCorr},
    {'O', LogField::LambdaCorr}, {'P', LogField::Ms},   {'S', LogField::BaseAir}, {'T', LogField::CurrAir},
    {'U', LogField::Idle},    {'V', LogField::Ac},      {'W', LogField::Decel},   {'X', LogField::Tune},
    {'Y', LogField::Fuel}};
} // namespace

// The window logs a sensor field only when it has a value, and every state
// field but J whatever the reply holds.
void takeSensorReply(LogRecord &record, const QByteArray &reply)
{
    if (!link::hasBrackets(reply))
        return;
    for (const TagField &f : kSensorFields)
        if (QByteArray value = link::taggedField(reply, f.tag); !value.isEmpty())
            record.values[size_t(f.field)] = std::move(value);
}

void takeStateReply(LogRecord &record, const QByteArray &reply)
{
    if (QByteArray j = link::taggedField(reply, 'J'); link::hasBrackets(reply) && !j.isEmpty())
        record.values[size_t(LogField::Pos)] = std::move(j);
    for (const TagField &f : kStateFields)
        record.values[size_t(f.field)] = link::taggedField(reply, f.tag);
}

LiveAnalysis::LiveAnalysis() : m_cells(SensorKind::WideBand, m_filters, m_settings) {}

void LiveAnalysis::configure(const AnalysisFilters &filters, const SuggestionSettings &settings)
{
    m_filters = filters;
    m_settings = settings;
    m_cells = CellAccumulator(SensorKind::WideBand, filters, settings);
    auto forgotten = m_forgotten.begin();
    for (size_t i = 0; i < m_kept.size(); ++i) {
        for (; forgotten != m_forgotten.end() && forgotten->first == i; ++forgotten)
            m_cells.forget(forgotten->second);
        if (m_kept[i].afterGap)
            m_cells.breakChain();
        m_cells.add(m_kept[i].sample);
    }
    for (; forgotten != m_forgotten.end(); ++forgotten)
        m_cells.forget(forgotten->second);
}

void LiveAnalysis::gapCheck(double nowMs)
{
    if (nowMs - m_lastMs > kGapMs)
        pause();
    m_lastMs = nowMs;
}

void LiveAnalysis::sensorReply(const QByteArray &reply, double nowMs)
{
    gapCheck(nowMs);
    m_open = LogRecord{};
    takeSensorReply(m_open, reply);
}

void LiveAnalysis::stateReply(const QByteArray &reply, double nowMs, const ValueInForce &valueInForce)
{
    gapCheck(nowMs);
    takeStateReply(m_open, reply);
    std::optional<int> inForce;
    if (const std::optional<double> pos = m_open.number(LogField::Pos); pos && *pos >= 1 && *pos <= kCellCount)
        inForce = valueInForce(int(*pos) - 1);
    m_kept.push_back(Kept{sampleOf(m_open, inForce), m_gap});
    if (m_gap)
        m_cells.breakChain();
    m_gap = false;
    m_cells.add(m_kept.back().sample);
    m_open = LogRecord{};
}

void LiveAnalysis::pause()
{
    m_gap = true;
    m_open = LogRecord{};
}

void LiveAnalysis::forget(const std::vector<int> &cells)
{
    m_forgotten.emplace_back(m_kept.size(), cells);
    m_cells.forget(cells);
}

void LiveAnalysis::reset()
{
    m_kept.clear();
    m_forgotten.clear();
    m_cells = CellAccumulator(SensorKind::WideBand, m_filters, m_settings);
    pause();
}

} // namespace tarvex::monitor
