// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/LogPlayback.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace tarvex::monitor;

namespace {

// A script of what the fitter does and when, with the record shown and
// whether it plays after each step; 100 records, 0.2 s each at 1×.
TEST(PlaybackClock, TheRecordShownFollowsTheClockAtEachSpeed)
{
    enum Op { Play, Pause, Speed, Seek, Step, Look };
    const struct Step_ {
        Op op;
        double argument;
        long long atMs;
        int record;
        bool playing;
    } script[] = {
        {Look, 0, 0, 0, false},
        {Play, 0, 1000, 0, true},
        {Look, 0, 1199, 0, true},
        {Look, 0, 1200, 1, true},    // one record each 200 ms at 1×
        {Speed, 16, 1200, 1, true},  // a new speed keeps the place
        {Look, 0, 2200, 81, true},   // 80 records a second at 16×
        {Speed, 0.5, 2200, 81, true},
        {Look, 0, 2599, 81, true},
        {Look, 0, 2600, 82, true},   // one each 400 ms at 0.5×
        {Seek, 10, 2700, 10, true},  // playing goes on from there
        {Look, 0, 3100, 11, true},
        {Step, 1, 3200, 12, false},  // a step pauses
        {Look, 0, 9000, 12, false},
        {Step, -20, 9000, 0, false}, // not before the first record
        {Seek, 500, 9000, 99, false},
        {Play, 0, 9000, 0, true},    // at the end, play starts from the first
        {Speed, 4, 9000, 0, true},
        {Look, 0, 13900, 98, true},
        {Look, 0, 14000, 99, false}, // the last record stops it
        {Look, 0, 20000, 99, false},
        {Seek, 40, 20000, 40, false},
        {Play, 0, 20000, 40, true},
        {Pause, 0, 20500, 50, false},
        {Look, 0, 25000, 50, false},
    };
    PlaybackClock clock(100);
    for (const Step_ &s : script) {
        switch (s.op) {
        case Play: clock.play(s.atMs); break;
        case Pause: clock.pause(s.atMs); break;
        case Speed: clock.setSpeed(s.argument, s.atMs); break;
        case Seek: clock.seek(int(s.argument), s.atMs); break;
        case Step: clock.step(int(s.argument), s.atMs); break;
        case Look: break;
        }
        SCOPED_TRACE(testing::Message() << "at " << s.atMs << " ms");
        EXPECT_EQ(clock.record(s.atMs), s.record);
        EXPECT_EQ(clock.playing(), s.playing);
    }
}

TEST(PlaybackTrail, EachRecordShowsTheCellsTheWorkingPointPassedThroughLast)
{
    // POS values, one a record: a stay, a missing one, one outside the map.
    const QList<QByteArray> positions = {"5", "5", "6", "", "300", "5", "7"};
    LogData log;
    for (const QByteArray &pos : positions) {
        LogRecord record;
        if (!pos.isEmpty())
            record.values[size_t(LogField::Pos)] = pos;
        log.records.push_back(record);
    }
    for (int i = 0; i < 30; ++i) { // more moves than the trail holds
        LogRecord record;
        record.values[size_t(LogField::Pos)] = QByteArray::number(10 + i);
        log.records.push_back(record);
    }
    const PlaybackTrail trail(log);
    const struct {
        int record;
        std::vector<int> cells;
    } rows[] = {
        {0, {4}},
        {1, {4}},
        {2, {4, 5}},
        {4, {4, 5}},
        {5, {4, 5, 4}},
        {6, {4, 5, 4, 6}},
    };
    for (const auto &row : rows)
        EXPECT_EQ(trail.at(row.record), row.cells) << "record " << row.record;
    const std::vector<int> last = trail.at(int(log.records.size()) - 1);
    ASSERT_EQ(last.size(), 25u);
    EXPECT_EQ(last.front(), 14);
    EXPECT_EQ(last.back(), 38);
}

} // namespace
