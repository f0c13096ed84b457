// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/LineSettings.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tarvex::link;

namespace {

struct LineCase {
    TBaudRate rate;
    TByteSize size;
    TParity parity;
    TStopBits stop;
    uint32_t baud;
    uint8_t dataBits;
    uint32_t flags;
    friend void PrintTo(const LineCase &c, std::ostream *os) { *os << c.baud << " baud, " << int(c.dataBits) << " bits"; }
};

class LineSettingsRecordTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineSettingsRecordTest, LaysOutTheDriverRecordByteForByte)
{
    const LineCase c = GetParam();
    const LineSettingsRecord r = buildLineSettings(c.rate, c.size, c.parity, c.stop);
    unsigned char raw[28];
    std::memcpy(raw, &r, sizeof raw);

    auto u32 = [&](int at) { return uint32_t(raw[at]) | uint32_t(raw[at + 1]) << 8 | uint32_t(raw[at + 2]) << 16
                                    | uint32_t(raw[at + 3]) << 24; };
    EXPECT_EQ(u32(0), 28u);
    EXPECT_EQ(u32(4), c.baud);
    EXPECT_EQ(u32(8), c.flags);
    EXPECT_EQ(raw[12] | raw[13] | raw[14] | raw[15] | raw[16] | raw[17], 0) << "reserved and XON/XOFF limits";
    EXPECT_EQ(raw[18], c.dataBits);
    EXPECT_EQ(raw[19], uint8_t(c.parity));
    EXPECT_EQ(raw[20], uint8_t(c.stop));
    EXPECT_EQ(raw[21], 0x11);
    EXPECT_EQ(raw[22], 0x13);
    EXPECT_EQ(raw[23] | raw[24] | raw[25] | raw[26] | raw[27], 0) << "error, eof and event characters";
}

INSTANTIATE_TEST_SUITE_P(
    Settings, LineSettingsRecordTest,
    ::testing::Values(LineCase{br57600, bs8, paNone, sb1, 57600, 8, 0x1011},
                      LineCase{br110, bs5, paOdd, sb1_5, 110, 5, 0x1013},
                      LineCase{br14400, bs6, paEven, sb2, 14400, 6, 0x1013},
                      LineCase{br56000, bs7, paMark, sb1, 56000, 7, 0x1013},
                      LineCase{br256000, bs8, paSpace, sb2, 256000, 8, 0x1013},
                      LineCase{br128000, bs8, paNone, sb2, 128000, 8, 0x1011}));

TEST(BaudRateTable, FollowsTheMemberOrder)
{
    const uint32_t expected[] = {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200,
                                 128000, 256000};
    for (int i = br110; i <= br256000; ++i)
        EXPECT_EQ(baudRateValue(TBaudRate(i)), expected[i]);
}

TEST(Timeouts, NegativeValuesBecomeAllBitsSet)
{
    EXPECT_EQ(timeoutToSystem(-1), 0xFFFFFFFFu);
    EXPECT_EQ(timeoutToSystem(-100), 0xFFFFFFFFu);
    EXPECT_EQ(timeoutToSystem(0), 0u);
    EXPECT_EQ(timeoutToSystem(1000), 1000u);
}

} // namespace
