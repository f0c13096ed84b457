// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/LiveAnalysis.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace tarvex::monitor;

namespace {

// A tick pair 100 ms apart, as the window polls: the sensor reply (warm,
// reading `raw`), then the state reply at `cell`.
struct Ticks {
    LiveAnalysis live;
    double now = 0;
    void record(int cell, int raw, double gapMs = 0)
    {
        now += gapMs;
        live.sensorReply("[A850aB470bC211cD35dF300fG" + QByteArray::number(raw) + "gH520h]", now += 100);
        live.stateReply("[J" + QByteArray::number(cell) + "jK15kP250pW0wX0xY1y]", now += 100,
                        [](int) { return std::optional(100); });
    }
};

constexpr int kLean = 657; // AFR 16.2: 110 asked of a cell holding 100

TEST(LiveAnalysis, APairOfRepliesIsARecordAndAGapStartsTheChainAfresh)
{
    Ticks t;
    t.live.configure({.lambdaDelayMs = 200}, {}); // each reading belongs to the record before
    for (int i = 0; i < 12; ++i)
        t.record(67, kLean);
    Analysis a = t.live.result(FuelMap{});
    EXPECT_EQ(t.live.records(), 12);
    EXPECT_EQ(std::pair(a.cells[66].hits, a.otherRecords), std::pair(11, 1)) << "the first has no record before it";
    EXPECT_NEAR(a.cells[66].meanNeed, 110.2, 0.01);

    // Another exchange took half a second: the next reading does not pair
    // with the working point before it; a pause does the same.
    t.record(68, kLean, 500);
    t.live.pause();
    t.record(68, kLean);
    t.record(68, kLean);
    a = t.live.result(FuelMap{});
    EXPECT_EQ(std::tuple(a.cells[66].hits, a.cells[67].hits, a.otherRecords), std::tuple(11, 1, 3));

    // A state reply alone (the sensor reply lost to a gap) is no reading.
    t.live.sensorReply("[G657g]", t.now += 100);
    t.live.stateReply("[J67j]", t.now += 1000, [](int) { return std::optional(100); });
    EXPECT_EQ(t.live.result(FuelMap{}).otherRecords, 4);
}

TEST(LiveAnalysis, WrittenCellsStartAfreshAlsoWhenTheSettingsChange)
{
    Ticks t;
    for (int i = 0; i < 12; ++i)
        t.record(i < 6 ? 67 : 83, kLean);
    t.live.forget({66});
    t.record(67, kLean);
    t.record(67, kLean);
    FuelMap current;
    current.fill(100);
    // Only the records after the write, each paired as the delay says.
    for (const auto &[delayMs, hits] : {std::pair{0, 2}, {200, 1}}) {
        t.live.configure({.minRecords = 1, .lambdaDelayMs = delayMs}, {});
        const Analysis a = t.live.result(current);
        EXPECT_EQ(a.cells[66].hits, hits) << delayMs << " ms";
        EXPECT_EQ(a.cells[82].suggested, 110);
    }
    t.live.reset();
    EXPECT_EQ(t.live.records(), 0);
    EXPECT_EQ(t.live.result(current).recordsUsed, 0);
}

} // namespace
