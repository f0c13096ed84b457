// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/CommandTable.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <set>

using namespace tarvex::link;

namespace {

struct FrameCase {
    CommandId id;
    const char *frame;
    bool pause;
    int pre;
    int wait;
    int limit;
    friend void PrintTo(const FrameCase &c, std::ostream *os) { PrintBytes(c.frame, os); }
};

class CommandFrames : public ::testing::TestWithParam<FrameCase> {};

TEST_P(CommandFrames, AreSentByteForByteWithTheirWaits)
{
    const FrameCase c = GetParam();
    const Command &cmd = command(c.id);
    EXPECT_EQ(cmd.frame, QByteArray(c.frame));
    EXPECT_EQ(cmd.pauseLiveData, c.pause);
    EXPECT_EQ(cmd.preWait, c.pre);
    EXPECT_EQ(cmd.replyWait, c.wait);
    EXPECT_EQ(cmd.replyLimit, c.limit);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandFrames,
    ::testing::Values(FrameCase{CommandId::Connect, "<E>\r", false, 400, 400, 4096},
                      FrameCase{CommandId::SensorRequest, "<G>\r", true, 0, 50, 1024},
                      FrameCase{CommandId::StateRequest, "<H>\r", true, 0, 50, 1024},
                      FrameCase{CommandId::FuelRead, "<A>\r", true, 400, 400, 4096},
                      FrameCase{CommandId::FuelStore, "<C>\r", true, 0, 5000, 0},
                      FrameCase{CommandId::FuelTemplate, "<N>\r", false, 0, 100, 0},
                      FrameCase{CommandId::IgnRead, "<D>\r\r", true, 400, 400, 4096},
                      FrameCase{CommandId::IgnStore, "<F>\r", true, 0, 5000, 0},
                      FrameCase{CommandId::IgnTemplate, "<O>\r", false, 0, 100, 0},
                      FrameCase{CommandId::TestInjectors, "<I>\r\r", true, 0, 400, 0},
                      FrameCase{CommandId::TestIgnition, "<J>\r\r", true, 0, 400, 0},
                      FrameCase{CommandId::TestFuelPump, "<K>\r\r", true, 0, 400, 0},
                      FrameCase{CommandId::TestIdleAirValve, "<L>\r\r", true, 0, 400, 0},
                      FrameCase{CommandId::TestCheckEngineLamp, "<M>\r\r", true, 0, 400, 0},
                      FrameCase{CommandId::EngineStop, "<P>\r", false, 0, 100, 0},
                      FrameCase{CommandId::FirmwareVersion, "<Q>\r", false, 0, 100, 100},
                      FrameCase{CommandId::Stroboscope, "<R>\r", false, 0, 0, 0},
                      FrameCase{CommandId::IdleDown, "<S>\r", false, 0, 0, 0},
                      FrameCase{CommandId::IdleUp, "<T>\r", false, 0, 0, 0},
                      FrameCase{CommandId::Autotune, "<V>\r", false, 0, 0, 0},
                      FrameCase{CommandId::InstallDate, "<Y>\r", true, 0, 50, 300},
                      FrameCase{CommandId::CalibrationRead, "<a>\r", true, 0, 50, 300},
                      FrameCase{CommandId::CalibrationStore, "<v>\r", true, 0, 150, 0},
                      FrameCase{CommandId::CalibrationDefaults, "<w>\r", true, 0, 150, 0}));

TEST(CommandTable, CellWritesNameTheCellAndCarryItsTextUnchanged)
{
    EXPECT_EQ(cellWriteFrame(CommandId::FuelCellWrite, 36, "45"), QByteArray("<B[   36/45]>\r"));
    EXPECT_EQ(cellWriteFrame(CommandId::FuelCellWrite, 1, "0999"), QByteArray("<B[   1/0999]>\r"));
    EXPECT_EQ(cellWriteFrame(CommandId::FuelFileCellWrite, 256, "12"), QByteArray("<B[   256/12]>\r\r"));
    EXPECT_EQ(cellWriteFrame(CommandId::IgnCellWrite, 5, "33"), QByteArray("<E[   5/33]>\r\r"));
    EXPECT_EQ(cellWriteFrame(CommandId::IgnFileCellWrite, 6, "34"), QByteArray("<E[6/34]>\r\r"));

    const Command &fuel = command(CommandId::FuelCellWrite);
    EXPECT_EQ(fuel.preWait, 30);
    EXPECT_EQ(fuel.connectedWait, 50);
    EXPECT_EQ(fuel.replyWait, 50);
    EXPECT_EQ(fuel.guard, Guard::ConnectedPurgeWrite);
    EXPECT_EQ(command(CommandId::IgnCellWrite).preWait, 50);
    EXPECT_EQ(command(CommandId::IgnCellWrite).replyWait, 100);
    EXPECT_EQ(command(CommandId::FuelFileCellWrite).replyWait, 100);
    EXPECT_EQ(command(CommandId::IgnFileCellWrite).replyWait, 150);
    EXPECT_TRUE(command(CommandId::FuelStore).waitProcessesEvents);
}

TEST(CommandTable, CalibrationStepsAreTwentySixDistinctFrames)
{
    const char expected[13][2] = {{'b', 'c'}, {'d', 'e'}, {'l', 'm'}, {'f', 'g'}, {'h', 'i'}, {'j', 'k'}, {'n', 'o'},
                                  {'p', 'q'}, {'r', 's'}, {'t', 'u'}, {'x', 'y'}, {'\xE0', '\xE1'}, {'\xE2', '\xE3'}};
    std::set<QByteArray> frames;
    for (int row = 0; row < 13; ++row) {
        for (int raise = 0; raise < 2; ++raise) {
            const Command &c = command(calibrationStep(row, raise != 0));
            EXPECT_EQ(c.frame, QByteArray("<") + expected[row][raise] + QByteArray(">\r")) << row;
            EXPECT_EQ(c.frame.size(), 4);
            EXPECT_TRUE(c.pauseLiveData);
            EXPECT_EQ(c.replyWait, 150);
            EXPECT_EQ(c.replyLimit, 0);
            frames.insert(c.frame);
        }
    }
    EXPECT_EQ(frames.size(), 26u);
    EXPECT_EQ(command(calibrationStep(11, false)).frame, QByteArray::fromHex("3CE03E0D"));
    EXPECT_EQ(command(calibrationStep(12, true)).frame, QByteArray::fromHex("3CE33E0D"));
    EXPECT_THROW(calibrationStep(13, false), std::out_of_range);
}

} // namespace
