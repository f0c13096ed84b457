// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/LogReader.h"

#include <array>
#include <vector>

namespace tarvex::monitor {

// Where a log stands while it plays back: the record shown at a moment, as
// the clock moves it at a speed. Records are about 0.2 s apart (two
// live-data ticks); playing stops at the last record. Times are the
// caller's milliseconds, so that the model needs no clock of its own.
class PlaybackClock {
public:
    static constexpr std::array<double, 6> kSpeeds{0.5, 1, 2, 4, 8, 16};
    static constexpr double kSecondsPerRecord = 0.2;

    explicit PlaybackClock(int records) : m_records(records) {}

    int records() const { return m_records; }
    bool playing() const { return m_playing; }
    double speed() const { return m_speed; }
    // The record shown at `nowMs`; playing past the last record stops there.
    int record(long long nowMs);

    // From the record shown; from the first again when it is the last.
    void play(long long nowMs);
    void pause(long long nowMs);
    // The record shown stays where it is.
    void setSpeed(double speed, long long nowMs);
    // To any record (clamped to the log); playing goes on from there.
    void seek(int record, long long nowMs);
    // A step of records back or forth pauses.
    void step(int records, long long nowMs);

private:
    double position(long long nowMs) const;
    int last() const { return m_records > 0 ? m_records - 1 : 0; }

    int m_records;
    bool m_playing = false;
    double m_speed = 1;
    double m_from = 0;     // the position when the clock was last set
    long long m_fromMs = 0; // and when
};

// The working point's trail at each record of a log: the cells it passed
// through last, as the window's trail held them when the record was taken.
class PlaybackTrail {
public:
    explicit PlaybackTrail(const LogData &log);
    // Oldest first, at most the trail's length; the last is the record's own
    // cell (or the last cell before it, when the record has none).
    std::vector<int> at(int record) const;

private:
    struct Visit {
        int record;
        int cell;
    };
    std::vector<Visit> m_visits; // each a move to another cell, in record order
};

} // namespace tarvex::monitor
