// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/LogPlayback.h"
#include "link/Protocol.h"
#include "maps/WorkingTrail.h"
#include "monitor/LiveData.h"

#include <algorithm>
#include <cmath>

namespace tarvex::monitor {

double PlaybackClock::position(long long nowMs) const
{
    if (!m_playing)
        return m_from;
    const double moved = double(nowMs - m_fromMs) / 1000.0 * m_speed / kSecondsPerRecord;
    return std::min<double>(m_from + std::max(0.0, moved), last());
}

int PlaybackClock::record(long long nowMs)
{
    const double at = position(nowMs);
    if (m_playing && at >= last())
        pause(nowMs);
    return int(std::floor(at + 1e-9));
}

void PlaybackClock::play(long long nowMs)
{
    if (m_playing)
        return;
    if (int(m_from) >= last())
        m_from = 0;
    m_fromMs = nowMs;
    m_playing = m_records > 1;
}

void PlaybackClock::pause(long long nowMs)
{
    m_from = std::floor(position(nowMs) + 1e-9);
    m_fromMs = nowMs;
    m_playing = false;
}

void PlaybackClock::setSpeed(double speed, long long nowMs)
{
    m_from = position(nowMs);
    m_fromMs = nowMs;
    m_speed = speed;
}

void PlaybackClock::seek(int record, long long nowMs)
{
    m_from = std::clamp(record, 0, last());
    m_fromMs = nowMs;
}

void PlaybackClock::step(int records, long long nowMs)
{
    const int from = int(std::floor(position(nowMs) + 1e-9));
    m_playing = false;
    seek(from + records, nowMs);
}

PlaybackTrail::PlaybackTrail(const LogData &log)
{
    int newest = -1;
    for (int record = 0; record < int(log.records.size()); ++record) {
        const std::optional<QByteArray> &pos = log.records[size_t(record)][LogField::Pos];
        if (!pos || pos->isEmpty())
            continue;
        const int cell = workingPoint(link::fieldNumber(*pos)).cell;
        // As the window's trail takes a tick: a stay adds nothing, a number
        // outside the map nothing either.
        if (cell < 0 || cell > 255 || cell == newest)
            continue;
        m_visits.push_back(Visit{record, cell});
        newest = cell;
    }
}

std::vector<int> PlaybackTrail::at(int record) const
{
    const auto end = std::upper_bound(m_visits.begin(), m_visits.end(), record,
                                      [](int r, const Visit &v) { return r < v.record; });
    const auto begin = end - std::min<long>(end - m_visits.begin(), maps::WorkingTrail::kLength);
    std::vector<int> cells;
    for (auto v = begin; v != end; ++v)
        cells.push_back(v->cell);
    return cells;
}

} // namespace tarvex::monitor
