// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/BCPort.h"
#include "tests/support/FakeSerialSystem.h"

#include "tests/support/Helpers.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <thread>

using namespace tarvex;
using namespace tarvex::link;
using tarvex::test::FakeSerialSystem;
using tarvex::test::raised;

namespace {

QString messageOf(int code)
{
    return comPortMessage(code);
}


class ComPortFake : public ::testing::Test {
protected:
    std::shared_ptr<FakeSerialSystem> sys = std::make_shared<FakeSerialSystem>();
    TBComPort port{nullptr, sys};

    void openMainWindowStyle()
    {
        port.SetBaudRate(br57600);
        port.SetInBufSize(4096);
        port.SetOutBufSize(4096);
        port.Open();
        ASSERT_TRUE(port.Connected());
    }
};

TEST_F(ComPortFake, StartsClosedWithItsDefaultsAndTouchesNothing)
{
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.ByteSize(), bs8);
    EXPECT_EQ(port.InBufSize(), 2048);
    EXPECT_EQ(port.OutBufSize(), 2048);
    EXPECT_EQ(port.Parity(), paNone);
    EXPECT_EQ(port.Port(), QStringLiteral("COM2"));
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
    EXPECT_EQ(port.StopBits(), sb1);
    EXPECT_EQ(port.Timeouts().ReadInterval(), -1);
    EXPECT_EQ(port.Timeouts().ReadTotalMultiplier(), 0);
    EXPECT_EQ(port.Timeouts().ReadTotalConstant(), 0);
    EXPECT_EQ(port.Timeouts().WriteTotalMultiplier(), 100);
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 1000);
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(port.OnRxChar);
    // Settings changed while closed are only stored.
    port.SetBaudRate(br57600);
    port.SetInBufSize(4096);
    port.Timeouts().SetReadInterval(5);
    EXPECT_TRUE(sys->calls().empty());
}

TEST_F(ComPortFake, OpenAppliesBuffersThenLineThenTimeouts)
{
    port.SetPort(QStringLiteral("COM12"));
    openMainWindowStyle();
    EXPECT_EQ(sys->callNames(),
              (QStringList{"open", "setupBuffers", "setLineSettings", "setTimeouts"}));
    EXPECT_EQ(sys->calls()[0].bytes, QByteArray("/dev/COM12"));
    EXPECT_EQ(sys->calls()[1].args, (std::vector<long long>{4096, 4096}));
    EXPECT_EQ(sys->lineSettings, buildLineSettings(br57600, bs8, paNone, sb1));
    EXPECT_EQ(sys->timeouts, (CommTimeouts{0xFFFFFFFFu, 0, 0, 100, 1000}));
    EXPECT_TRUE(sys->dtr);
    EXPECT_TRUE(sys->rts);

    // A second Open does nothing.
    port.Open();
    EXPECT_EQ(sys->callsNamed("open").size(), 1u);
}

TEST_F(ComPortFake, PathsAndLongNamesReachTheSystemUnchanged)
{
    const QString longName = QStringLiteral("ttyUSB") + QString(200, QLatin1Char('9'));
    port.SetPort(longName);
    port.Open();
    port.Close();
    port.SetPort(QStringLiteral("/dev/pts/3"));
    port.Open();
    const auto opens = sys->callsNamed("open");
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[0].bytes, ("/dev/" + longName).toUtf8());
    EXPECT_EQ(opens[1].bytes, QByteArray("/dev/pts/3"));
}

struct OpenFailure {
    int error;
    int message;
    friend void PrintTo(const OpenFailure &f, std::ostream *os) { *os << "errno " << f.error << " -> " << f.message; }
};

class ComPortOpenFailure : public ComPortFake, public ::testing::WithParamInterface<OpenFailure> {};

TEST_P(ComPortOpenFailure, LeavesThePortClosed)
{
    sys->openErrors.insert(QStringLiteral("/dev/COM2"), GetParam().error);
    EXPECT_EQ(raised([&] { port.Open(); }), messageOf(GetParam().message));
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(sys->isOpen());
    // Nothing was applied to a device that never opened.
    EXPECT_TRUE(sys->callsNamed("setLineSettings").empty());
    EXPECT_TRUE(sys->callsNamed("setupBuffers").empty());
}

INSTANTIATE_TEST_SUITE_P(Errors, ComPortOpenFailure,
                         ::testing::Values(OpenFailure{ENOENT, 1}, OpenFailure{ENODEV, 1}, OpenFailure{ENXIO, 1},
                                           OpenFailure{ENOTTY, 1}, OpenFailure{ENAMETOOLONG, 1},
                                           OpenFailure{EBUSY, 2}, OpenFailure{EAGAIN, 2}, OpenFailure{EACCES, 2},
                                           OpenFailure{EPERM, 2},
                                           // Anything else surfaces at the first apply step.
                                           OpenFailure{EIO, 10}, OpenFailure{EMFILE, 10}));

TEST_F(ComPortFake, AFailedApplyStepClosesTheDeviceAgain)
{
    for (auto [call, message] : {std::pair{"setupBuffers", 10}, {"setLineSettings", 8}, {"setTimeouts", 9}}) {
        sys->failOn(QString::fromLatin1(call), EINVAL, 1);
        EXPECT_EQ(raised([&] { port.Open(); }), messageOf(message)) << call;
        EXPECT_FALSE(port.Connected());
        EXPECT_FALSE(sys->isOpen()) << call;
    }
    port.Open();
    EXPECT_TRUE(port.Connected());
}

TEST_F(ComPortFake, BufferSizesAreEvenAndReappliedWhileOpen)
{
    port.SetInBufSize(4095);
    EXPECT_EQ(port.InBufSize(), 4094);
    port.SetInBufSize(-3);
    EXPECT_EQ(port.InBufSize(), -3);
    port.SetOutBufSize(7);
    EXPECT_EQ(port.OutBufSize(), 6);

    port.Open();
    const size_t before = sys->callsNamed("setupBuffers").size();
    port.SetInBufSize(-3); // equal: nothing
    EXPECT_EQ(sys->callsNamed("setupBuffers").size(), before);
    port.SetInBufSize(4095);
    ASSERT_EQ(sys->callsNamed("setupBuffers").size(), before + 1);
    EXPECT_EQ(sys->callsNamed("setupBuffers").back().args, (std::vector<long long>{4094, 6}));
}

TEST_F(ComPortFake, LineSettingsAreReappliedOnlyOnChange)
{
    port.Open();
    const auto count = [&] { return sys->callsNamed("setLineSettings").size(); };
    const size_t start = count();
    port.SetBaudRate(br9600);
    port.SetByteSize(bs8);
    port.SetParity(paNone);
    port.SetStopBits(sb1);
    EXPECT_EQ(count(), start);
    port.SetParity(paEven);
    EXPECT_EQ(count(), start + 1);
    EXPECT_EQ(sys->lineSettings.flags, 0x1013u);
    port.SetStopBits(sb2);
    port.SetByteSize(bs7);
    port.SetBaudRate(br115200);
    EXPECT_EQ(count(), start + 4);
    EXPECT_EQ(sys->lineSettings, buildLineSettings(br115200, bs7, paEven, sb2));

    sys->failOn(QStringLiteral("setLineSettings"), EINVAL, 1);
    EXPECT_EQ(raised([&] { port.SetBaudRate(br256000); }), messageOf(8));
    EXPECT_EQ(port.BaudRate(), br256000) << "the value is stored before it is applied";
}

TEST_F(ComPortFake, PortAndSyncMethodAreLockedWhileOpen)
{
    port.SetPort(QStringLiteral("COM2"));
    port.SetPort(QStringLiteral("ttyS0"));
    EXPECT_EQ(port.Port(), QStringLiteral("ttyS0"));
    port.Open();
    EXPECT_EQ(raised([&] { port.SetPort(QStringLiteral("ttyS0")); }), messageOf(14));
    EXPECT_EQ(raised([&] { port.SetPort(QStringLiteral("ttyS1")); }), messageOf(14));
    EXPECT_EQ(raised([&] { port.SetSyncMethod(smThreadSync); }), QString());
    EXPECT_EQ(raised([&] { port.SetSyncMethod(smNone); }), messageOf(14));
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
    port.Close();
    port.SetSyncMethod(smWindowSync);
    EXPECT_EQ(port.SyncMethod(), smWindowSync);
}

TEST_F(ComPortFake, TimeoutsReapplyOnChangeAndPassNegativesAsAllBits)
{
    port.Open();
    const auto count = [&] { return sys->callsNamed("setTimeouts").size(); };
    const size_t start = count();
    port.Timeouts().SetWriteTotalConstant(1000); // equal
    EXPECT_EQ(count(), start);
    port.Timeouts().SetReadTotalConstant(-100);
    EXPECT_EQ(count(), start + 1);
    EXPECT_EQ(sys->timeouts, (CommTimeouts{0xFFFFFFFFu, 0, 0xFFFFFFFFu, 100, 1000}));

    // Assign copies all five at once without re-applying; the port's setter
    // applies them.
    TComTimeouts other(nullptr);
    other.SetReadInterval(7);
    other.SetWriteTotalMultiplier(-1);
    port.Timeouts().Assign(other);
    EXPECT_EQ(count(), start + 1);
    EXPECT_EQ(port.Timeouts().ReadInterval(), 7);
    EXPECT_EQ(port.Timeouts().ReadTotalConstant(), 0);
    port.SetTimeouts(other);
    EXPECT_EQ(count(), start + 2);
    EXPECT_EQ(sys->timeouts, (CommTimeouts{7, 0, 0, 0xFFFFFFFFu, 1000}));
}

class NotTimeouts final : public TPersistent {
public:
    QString ClassName() const override { return QStringLiteral("NotTimeouts"); }
};

TEST_F(ComPortFake, TimeoutsRefuseAssignmentAcrossClasses)
{
    NotTimeouts other;
    try {
        port.Timeouts().Assign(other);
        FAIL() << "assigned a foreign object";
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Cannot assign a NotTimeouts to a TComTimeouts"));
    }
    try {
        other.Assign(port.Timeouts());
        FAIL() << "assigned timeouts to a foreign object";
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Cannot assign a TComTimeouts to a NotTimeouts"));
    }
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 1000);
}

TEST_F(ComPortFake, CloseDropsDtrThenRtsAndThenLetsGo)
{
    port.Open();
    const size_t start = sys->calls().size();
    port.Close();
    QStringList after = sys->callNames().mid(int(start));
    // Lines down, transfers aborted, the event thread ends with a purge of
    // its own, and only then is the device closed.
    EXPECT_EQ(after, (QStringList{"clearDtr", "clearRts", "purge", "purge", "close"}));
    const auto purges = sys->callsNamed("purge");
    EXPECT_EQ(purges[purges.size() - 2].args[0], kPurgeTxAbort | kPurgeRxAbort);
    EXPECT_EQ(purges.back().args[0], kPurgeRxClear | kPurgeTxClear);
    EXPECT_EQ(sys->eventMask(), 0u) << "the thread stops watching";
    EXPECT_FALSE(port.Connected());
    port.Close(); // nothing
    EXPECT_EQ(sys->calls().size(), start + 5);
}

TEST_F(ComPortFake, AfterCloseEveryOperationFailsWithoutTouchingTheSystem)
{
    port.Open();
    port.Close();
    const size_t start = sys->calls().size();
    QByteArray text;
    char byte = 'x';
    EXPECT_EQ(raised([&] { port.ClearBuffer(true, true); }), QStringLiteral("Ошибка функции PurgeComm"));
    EXPECT_EQ(raised([&] { port.AbortTransfers(); }), messageOf(6));
    EXPECT_EQ(raised([&] { port.WriteStr("<G>\r"); }), messageOf(3));
    EXPECT_EQ(raised([&] { port.Write(&byte, 1); }), messageOf(3));
    EXPECT_EQ(raised([&] { port.ReadStr(text, 10); }), messageOf(4));
    EXPECT_EQ(raised([&] { port.Read(&byte, 1); }), messageOf(4));
    EXPECT_EQ(raised([&] { port.PendingInput(); }), messageOf(11));
    EXPECT_EQ(raised([&] { port.LineSignals(); }), messageOf(12));
    EXPECT_EQ(raised([&] { port.SetDTRLine(true); }), messageOf(13));
    EXPECT_EQ(raised([&] { port.SetRTSLine(false); }), messageOf(13));
    EXPECT_EQ(sys->calls().size(), start);
    // The empty cases start no transfer at all, open or not.
    EXPECT_EQ(port.WriteStr(QByteArray()), 0);
    EXPECT_EQ(port.ReadStr(text, 0), 0);
}

TEST_F(ComPortFake, CloseOfAVanishedDeviceStillReleasesItQuietly)
{
    port.Open();
    sys->failOn(QStringLiteral("clearDtr"), EIO);
    sys->failOn(QStringLiteral("clearRts"), ENODEV);
    sys->failOn(QStringLiteral("purge"), ENXIO, 1);
    EXPECT_EQ(raised([&] { port.Close(); }), QString());
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(sys->isOpen());
    // The adapter is back: the port opens again.
    port.Open();
    EXPECT_TRUE(port.Connected());
}

TEST_F(ComPortFake, CloseRaisesOtherErrorsOnlyAfterReleasing)
{
    port.Open();
    sys->failOn(QStringLiteral("clearDtr"), EFAULT, 1);
    EXPECT_EQ(raised([&] { port.Close(); }), messageOf(13));
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(sys->isOpen());
    EXPECT_EQ(sys->callNames().last(), QStringLiteral("close"));

    port.Open();
    sys->failOn(QStringLiteral("purge"), EFAULT, 1);
    EXPECT_EQ(raised([&] { port.Close(); }), messageOf(6));
    EXPECT_FALSE(port.Connected());
}

TEST_F(ComPortFake, TransfersReportTheirOwnFailures)
{
    port.Open();
    QByteArray text;
    sys->failOn(QStringLiteral("write"), EIO, 1);
    EXPECT_EQ(raised([&] { port.WriteStr("<A>\r"); }), messageOf(3));
    sys->failOn(QStringLiteral("read"), EIO, 1);
    EXPECT_EQ(raised([&] { port.ReadStr(text, 4096); }), messageOf(4));
    EXPECT_TRUE(text.isEmpty());
    sys->failOn(QStringLiteral("clearError"), EIO, 1);
    EXPECT_EQ(raised([&] { port.PendingInput(); }), messageOf(11));
    EXPECT_TRUE(port.Connected()) << "a failed transfer does not close the port";
}

TEST_F(ComPortFake, ReadsTakeWhatArrivedAndLeaveTheRestOfTheBuffer)
{
    port.Open();
    QByteArray text = "old";
    EXPECT_EQ(port.ReadStr(text, 4096), 0);
    EXPECT_TRUE(text.isEmpty());
    char byte = '#';
    EXPECT_EQ(port.Read(&byte, 1), 0);
    EXPECT_EQ(byte, '#');

    sys->feed("[A850a]");
    char buffer[10];
    std::fill(std::begin(buffer), std::end(buffer), '#');
    EXPECT_EQ(port.Read(buffer, 10), 7);
    EXPECT_EQ(QByteArray(buffer, 10), QByteArray("[A850a]###"));

    sys->feed("0123456789");
    EXPECT_EQ(port.ReadStr(text, 4), 4);
    EXPECT_EQ(text, QByteArray("0123"));
    EXPECT_EQ(port.PendingInput(), 6);
    port.ClearBuffer(true, true);
    EXPECT_EQ(port.ReadStr(text, 4096), 0);
}

TEST_F(ComPortFake, ClearBufferPassesExactlyTheFlagsAskedFor)
{
    port.Open();
    port.ClearBuffer(true, true);
    port.ClearBuffer(true, false);
    port.ClearBuffer(false, true);
    port.ClearBuffer(false, false);
    const auto purges = sys->callsNamed("purge");
    ASSERT_EQ(purges.size(), 4u);
    EXPECT_EQ(purges[0].args[0], kPurgeRxClear | kPurgeTxClear);
    EXPECT_EQ(purges[1].args[0], kPurgeRxClear);
    EXPECT_EQ(purges[2].args[0], kPurgeTxClear);
    EXPECT_EQ(purges[3].args[0], 0);
}

TEST_F(ComPortFake, WriteReturnsWhatTheDeviceTook)
{
    port.Open();
    sys->writeCapacity = 3;
    EXPECT_EQ(port.WriteStr("<G>\r"), 3);
    EXPECT_EQ(sys->written(), QByteArray("<G>"));
}

TEST_F(ComPortFake, LineSignalsMapTheModemStatus)
{
    port.Open();
    sys->modemLines = kModemCtsOn | kModemRlsdOn;
    EXPECT_EQ(port.LineSignals(), (TLineSignals{lsCTS, lsRLSD}));
    sys->modemLines = kModemDsrOn | kModemRingOn;
    EXPECT_EQ(port.LineSignals(), (TLineSignals{lsDSR, lsRing}));
    sys->modemLines = 0;
    EXPECT_TRUE(port.LineSignals().empty());
    port.SetDTRLine(false);
    EXPECT_FALSE(sys->dtr);
    port.SetRTSLine(false);
    port.SetRTSLine(true);
    EXPECT_TRUE(sys->rts);
}

TEST_F(ComPortFake, DestructionClosesAnOpenPort)
{
    {
        TBComPort scoped(nullptr, sys);
        scoped.Open();
        EXPECT_TRUE(sys->isOpen());
    }
    EXPECT_FALSE(sys->isOpen());
    EXPECT_EQ(sys->callNames().mid(sys->callNames().size() - 5),
              (QStringList{"clearDtr", "clearRts", "purge", "purge", "close"}));
}

TEST(ListSerialPorts, SortsWithoutRegardToCase)
{
    FakeSerialSystem sys;
    sys.ports = {"COM2", "COM10", "COM1"};
    QStringList list{"stale"};
    ListSerialPorts(list, sys);
    EXPECT_EQ(list, (QStringList{"COM1", "COM10", "COM2"}));

    sys.ports = {"/dev/ttyUSB0", "/dev/TTYS1", "/dev/ttyACM0"};
    ListSerialPorts(list, sys);
    EXPECT_EQ(list, (QStringList{"/dev/ttyACM0", "/dev/TTYS1", "/dev/ttyUSB0"}));

    sys.ports.clear();
    ListSerialPorts(list, sys);
    EXPECT_TRUE(list.isEmpty());
}

TEST(ListSerialPorts, AFailureLeavesTheListAlone)
{
    FakeSerialSystem sys;
    sys.ports = {"COM1"};
    sys.failOn(QStringLiteral("listPorts"), EACCES);
    QStringList list{"COM7", "COM8"};
    EXPECT_EQ(raised([&] { ListSerialPorts(list, sys); }), QStringLiteral("Ошибка обращения к системному реестру"));
    EXPECT_EQ(list, (QStringList{"COM7", "COM8"}));
}

// A handler that closes the port frees the event thread while its delivery
// is still being served; nothing of the freed thread may be touched after.
TEST(EventThreadDelivery, AHandlerThatClosesThePortEndsCleanly)
{
    auto sys = std::make_shared<FakeSerialSystem>(std::make_shared<SystemClock>());
    TBComPort port(nullptr, sys);
    port.SetPort(QStringLiteral("ttyUSB0"));
    int calls = 0;
    port.OnRxChar = [&](QObject *, int) {
        ++calls;
        port.Close();
    };
    port.Open();
    sys->feed("z");
    sys->raiseEvents(kEventRxChar);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!port.DeliveryPending() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(port.DeliveryPending());
    port.ServeDeliveries(); // as the window's thread does
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(port.Connected());
}

} // namespace
