// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/EcuExchange.h"
#include "tests/support/FakeSerialSystem.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace tarvex;
using namespace tarvex::link;
using tarvex::test::FakeSerialSystem;

namespace {

class Exchange : public ::testing::Test {
protected:
    void SetUp() override
    {
        port.SetPort(QStringLiteral("ttyUSB0"));
        port.Open();
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<FakeSerialSystem> sys = std::make_shared<FakeSerialSystem>(clock);
    TBComPort port{nullptr, sys};
    std::vector<std::pair<double, bool>> liveData; // time, on
    std::vector<int> eventWaits;
    EcuExchange exchange{port, *clock,
                         EcuExchange::Hooks{[this](bool on) { liveData.emplace_back(clock->nowMs(), on); },
                                            [this](int ms) {
                                                eventWaits.push_back(ms);
                                                clock->advance(ms);
                                            }}};

    QStringList afterOpen() const
    {
        QStringList names = sys->callNames();
        return names.mid(names.indexOf(QStringLiteral("setTimeouts")) + 1);
    }
};

TEST_F(Exchange, PausesWaitsPurgesWritesWaitsReadsAndResumes)
{
    sys->answer = [](const QByteArray &) { return QByteArray("[A0a]"); };
    const double start = clock->nowMs();
    const QByteArray reply = exchange.run(CommandId::FuelRead);
    EXPECT_EQ(reply, QByteArray("[A0a]"));
    EXPECT_EQ(afterOpen(), (QStringList{"purge", "write", "read"}));
    EXPECT_DOUBLE_EQ(sys->callsNamed("purge")[0].timeMs - start, 400);
    EXPECT_EQ(sys->callsNamed("purge")[0].args[0], kPurgeRxClear | kPurgeTxClear);
    EXPECT_EQ(sys->callsNamed("write")[0].bytes, QByteArray("<A>\r"));
    EXPECT_DOUBLE_EQ(sys->callsNamed("read")[0].timeMs - sys->callsNamed("write")[0].timeMs, 400);
    ASSERT_EQ(liveData.size(), 2u);
    EXPECT_EQ(liveData[0], std::make_pair(start, false));
    EXPECT_EQ(liveData[1], std::make_pair(start + 800, true));
}

TEST_F(Exchange, CommandsWithoutAReplyReadNothingAndLeaveLiveDataAlone)
{
    exchange.run(CommandId::EngineStop);
    EXPECT_EQ(afterOpen(), (QStringList{"purge", "write"}));
    EXPECT_TRUE(liveData.empty());
    EXPECT_DOUBLE_EQ(clock->nowMs(), 100);
}

TEST_F(Exchange, BytesThatArrivedBeforeAreNeverPartOfTheReply)
{
    sys->feed("tail of an older reply]");
    EXPECT_EQ(exchange.run(CommandId::SensorRequest), QByteArray());
}

TEST_F(Exchange, AReplyLongerThanItsLimitIsCutAndTheRestPurgedNextTime)
{
    sys->answer = [](const QByteArray &frame) {
        return frame == "<A>\r" ? QByteArray("[") + QByteArray(5000, '7') : QByteArray("[G]");
    };
    const QByteArray reply = exchange.run(CommandId::FuelRead);
    EXPECT_EQ(reply.size(), 4096);
    EXPECT_EQ(port.PendingInput(), 5001 - 4096);
    EXPECT_EQ(exchange.run(CommandId::SensorRequest), QByteArray("[G]")) << "the rest is purged first";
}

TEST_F(Exchange, CellWritesWhileClosedSkipOnlyPurgeAndWrite)
{
    port.Close();
    const size_t calls = sys->calls().size();
    const double start = clock->nowMs();
    exchange.run(CommandId::FuelCellWrite, cellWriteFrame(CommandId::FuelCellWrite, 36, "45"));
    EXPECT_EQ(sys->calls().size(), calls);
    EXPECT_DOUBLE_EQ(clock->nowMs() - start, 30 + 50) << "the connected-only 50 ms is skipped";
    ASSERT_EQ(liveData.size(), 2u);
    EXPECT_TRUE(liveData[1].second);

    port.Open();
    const double again = clock->nowMs();
    exchange.run(CommandId::FuelCellWrite, cellWriteFrame(CommandId::FuelCellWrite, 36, "45"));
    EXPECT_EQ(sys->callsNamed("write").back().bytes, QByteArray("<B[   36/45]>\r"));
    EXPECT_DOUBLE_EQ(sys->callsNamed("write").back().timeMs - again, 30);
    EXPECT_DOUBLE_EQ(clock->nowMs() - again, 130);
}

TEST_F(Exchange, APortErrorLeavesLiveDataPaused)
{
    sys->failOn(QStringLiteral("write"), EIO, 1);
    EXPECT_THROW(exchange.run(CommandId::StateRequest), EComPort);
    ASSERT_EQ(liveData.size(), 1u);
    EXPECT_FALSE(liveData[0].second);
    exchange.run(CommandId::CalibrationStore);
    EXPECT_TRUE(liveData.back().second);
}

TEST_F(Exchange, TheStoreWaitKeepsTheWindowRunning)
{
    exchange.run(CommandId::FuelStore);
    EXPECT_EQ(eventWaits, std::vector<int>{5000});
    EXPECT_EQ(sys->written(), QByteArray("<C>\r"));
}

TEST(ConnectReplyText, TakesWhatStandsBetweenTheFirstBrackets)
{
    EXPECT_EQ(connectReplyText("[ABC]"), QByteArray("ABC"));
    EXPECT_EQ(connectReplyText("x[ABC]"), QByteArray("ABC"));
    EXPECT_EQ(connectReplyText("]x[ABC]y]"), QByteArray("ABC"));
    EXPECT_EQ(connectReplyText("[]"), QByteArray());
    EXPECT_EQ(connectReplyText("[ABC"), QByteArray());
    EXPECT_EQ(connectReplyText("ABC]"), QByteArray());
    EXPECT_EQ(connectReplyText(""), QByteArray());
    EXPECT_TRUE(link::hasBrackets("]x["));
    EXPECT_FALSE(link::hasBrackets("[x"));
}

} // namespace
