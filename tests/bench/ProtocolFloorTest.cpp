// SPDX-License-Identifier: GPL-3.0-or-later
// The benchmarks' floor: a frame's time on the line counts only where no
// wait covers it, and the sum says how the floor adds up.
#include "bench/ProtocolFloor.h"

#include <gtest/gtest.h>

using tarvex::bench::ProtocolFloor;
using tarvex::link::CommandId;

TEST(ProtocolFloor, TheLineCountsOnlyWhereNoWaitCoversIt)
{
    ProtocolFloor batch;
    batch.addExchanges(CommandId::FuelCellWrite, QStringLiteral("cell write"), {14, 16});
    batch.addExchanges(CommandId::FuelRead, QStringLiteral("read-back"), {4}, 1026);
    EXPECT_DOUBLE_EQ(batch.seconds(), (2 * (30 + 50 + 50) + 400 + 400) / 1000.0);
    EXPECT_EQ(batch.sum(), QStringLiteral("1.06 s = 2 × (cell write: 30 + 50 + 50 ms, the frame's 2.4–2.8 ms on the "
                                          "line within) + (read-back: 400 + 400 ms, the frame's 0.7 ms and the "
                                          "reply's 178.1 ms on the line within)"));

    // 1000 bytes take 173.6 ms, longer than the 100 ms after the frame.
    ProtocolFloor longFrame;
    longFrame.addExchanges(CommandId::FuelCellWrite, QStringLiteral("cell write"), {1000});
    EXPECT_NEAR(longFrame.seconds(), (30 + 1000 * 10 / 57.6) / 1000.0, 1e-9);
    EXPECT_TRUE(longFrame.sum().endsWith(QStringLiteral("on the line, longer than the waits after it)")));
}
