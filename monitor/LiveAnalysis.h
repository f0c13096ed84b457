// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/CellAccumulator.h"

#include <QByteArray>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

namespace tarvex::monitor {

// The per-cell analysis of a wide-band sensor's live data as it arrives: a
// sensor reply and the state reply of the next tick form one record, as a
// line of the log pairs them, and go through the log's analysis. The
// records are kept, so that other filters or settings analyse them again.
class LiveAnalysis {
public:
    // Replies further apart than this are not consecutive ticks (another
    // exchange, a batch, the store's wait or a reconnect came between): the
    // delay counts records, so the chain starts afresh.
    static constexpr double kGapMs = 400;

    LiveAnalysis();

    // Other filters and settings: the records kept are analysed again.
    void configure(const AnalysisFilters &filters, const SuggestionSettings &settings);
    const AnalysisFilters &filters() const { return m_filters; }
    const SuggestionSettings &settings() const { return m_settings; }

    // The fuel value the ECU holds in a cell (0 to 255), none when unknown.
    using ValueInForce = std::function<std::optional<int>(int cell)>;
    // A reply as it arrived, `nowMs` on a monotonic clock. The state reply
    // ends the record: its cell's value in force is taken then.
    void sensorReply(const QByteArray &reply, double nowMs);
    void stateReply(const QByteArray &reply, double nowMs, const ValueInForce &valueInForce);
    // No live data for a while (paused, not connected): the next record
    // starts a new chain.
    void pause();
    // The cells' values changed (a suggestion was written): what they got so
    // far is left out, and their next suggestion comes from new records.
    void forget(const std::vector<int> &cells);
    void reset();

    int records() const { return int(m_kept.size()); }
    Analysis result(const std::optional<FuelMap> &current) const { return m_cells.result(current); }

private:
    struct Kept {
        AnalysisSample sample;
        bool afterGap = false;
    };
    void gapCheck(double nowMs);

    AnalysisFilters m_filters;
    SuggestionSettings m_settings;
    CellAccumulator m_cells;
    std::vector<Kept> m_kept;
    // Cells forgotten before the record of that number.
    std::vector<std::pair<size_t, std::vector<int>>> m_forgotten;
    LogRecord m_open; // the record the sensor reply opened
    bool m_gap = true;
    double m_lastMs = -std::numeric_limits<double>::infinity();
};

// The record a log line would hold for these replies.
void takeSensorReply(LogRecord &record, const QByteArray &reply);
void takeStateReply(LogRecord &record, const QByteArray &reply);

} // namespace tarvex::monitor
