// SPDX-License-Identifier: GPL-3.0-or-later
// The port's line event thread: what reaches the handlers, on which thread,
// and that closing never waits for ever.
#include "link/BCPort.h"
#include "link/PosixSerialSystem.h"
#include "tests/support/FakeSerialSystem.h"
#include "tests/support/Pty.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <sys/resource.h>

using namespace tarvex;
using namespace tarvex::link;
using tarvex::test::FakeSerialSystem;

namespace {

// Lets the window's thread run until `done` holds or time runs out.
template <typename F>
bool processUntil(F done, int timeoutMs = 2000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

class EventThread : public ::testing::TestWithParam<TSyncMethod> {
protected:
    void SetUp() override
    {
        port.SetPort(QStringLiteral("ttyUSB0"));
        port.SetSyncMethod(GetParam());
    }
    std::shared_ptr<FakeSerialSystem> sys = std::make_shared<FakeSerialSystem>(std::make_shared<SystemClock>());
    TBComPort port{nullptr, sys};
};

TEST_P(EventThread, DeliversReceivedCharactersByItsMethod)
{
    std::atomic<int> count{0};
    std::atomic<bool> onMainThread{false};
    port.OnRxChar = [&](QObject *, int n) {
        onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        count = n;
    };
    port.Open();
    sys->feed("abc");
    sys->raiseEvents(kEventRxChar);
    ASSERT_TRUE(processUntil([&] { return count.load() == 3; }));
    EXPECT_EQ(onMainThread.load(), GetParam() != smNone);
    EXPECT_TRUE(port.LastEvents().contains(leRxChar));
    port.Close();
}

TEST_P(EventThread, FrameErrorsReachOnErrorButParityErrorsOnlyWithParity)
{
    std::vector<TComErrors> seen;
    std::mutex m;
    port.OnError = [&](QObject *, TComErrors e) {
        std::lock_guard lock(m);
        seen.push_back(e);
    };
    port.Open();
    sys->lineErrors = kCommFrame | kCommRxParity;
    sys->raiseEvents(kEventError);
    ASSERT_TRUE(processUntil([&] {
        std::lock_guard lock(m);
        return !seen.empty();
    }));
    EXPECT_EQ(seen[0], TComErrors{ceFrame}) << "no parity checking with paNone";

    sys->lineErrors = kCommRxParity;
    const size_t clears = sys->callsNamed("clearError").size();
    sys->raiseEvents(kEventError);
    ASSERT_TRUE(processUntil([&] { return sys->callsNamed("clearError").size() > clears; }));
    processUntil([] { return false; }, 50);
    EXPECT_EQ(seen.size(), 1u) << "a parity error alone with paNone calls nothing";
    port.Close();
}

TEST_P(EventThread, ReceivedCharactersWithoutAHandlerStillClearTheErrorState)
{
    port.Open();
    sys->feed("x");
    sys->raiseEvents(kEventRxChar);
    EXPECT_TRUE(processUntil([&] { return !sys->callsNamed("clearError").empty(); }));
    port.Close();
}

TEST_P(EventThread, SignalChangesArriveOnceEachAsThemselves)
{
    std::atomic<int> rlsd{0}, ring{0}, cts{0};
    std::atomic<bool> rlsdState{false};
    port.OnRLSDChange = [&](QObject *, bool on) {
        rlsdState = on;
        ++rlsd;
    };
    port.OnRing = [&](QObject *) { ++ring; };
    port.OnCTSChange = [&](QObject *, bool) { ++cts; };
    port.Open();
    sys->modemLines = kModemRlsdOn;
    sys->raiseEvents(kEventRlsd);
    ASSERT_TRUE(processUntil([&] { return rlsd.load() == 1; }));
    sys->raiseEvents(kEventRing);
    ASSERT_TRUE(processUntil([&] { return ring.load() == 1; }));
    processUntil([] { return false; }, 50);
    EXPECT_EQ(rlsd.load(), 1);
    EXPECT_TRUE(rlsdState.load());
    EXPECT_EQ(ring.load(), 1);
    EXPECT_EQ(cts.load(), 0);
    port.Close();
}

std::string methodName(const ::testing::TestParamInfo<TSyncMethod> &info)
{
    static const char *const names[] = {"ThreadSync", "WindowSync", "None"};
    return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(Methods, EventThread, ::testing::Values(smThreadSync, smWindowSync, smNone), methodName);

TEST(EventThreadClose, NeverDeadlocksWithAPendingDelivery)
{
    for (int i = 0; i < 50; ++i) {
        auto sys = std::make_shared<FakeSerialSystem>(std::make_shared<SystemClock>());
        TBComPort port(nullptr, sys);
        port.SetPort(QStringLiteral("ttyUSB0"));
        std::atomic<int> calls{0};
        port.OnTxEmpty = [&](QObject *) { ++calls; };
        port.Open();
        sys->raiseEvents(kEventTxEmpty);
        // The thread now waits for the window's thread, which closes.
        QElapsedTimer t;
        t.start();
        while (!port.DeliveryPending() && t.elapsed() < 2000)
            QThread::msleep(1);
        ASSERT_TRUE(port.DeliveryPending());
        port.Close();
        EXPECT_FALSE(port.Connected());
        EXPECT_LE(calls.load(), 1) << "served at most once, or dropped with the ended thread";
    }
}

TEST(EventThreadClose, AFailingDeliveryEndsTheThreadsRun)
{
    auto sys = std::make_shared<FakeSerialSystem>(std::make_shared<SystemClock>());
    TBComPort port(nullptr, sys);
    port.SetPort(QStringLiteral("ttyUSB0"));
    port.SetSyncMethod(smNone);
    port.Open();
    sys->failOn(QStringLiteral("clearError"), EIO, 1);
    sys->raiseEvents(kEventRxChar);
    ASSERT_TRUE(processUntil([&] { return sys->eventMask() == 0; })) << "the thread has ended and stopped watching";
    port.Close();
}

TEST(EventThreadWindow, AnErrorInTheWindowsWorkGoesToTheReport)
{
    QStringList reported;
    TBComPort::SetApplicationExceptionHandler([&](const QString &m) { reported << m; });
    auto sys = std::make_shared<FakeSerialSystem>(std::make_shared<SystemClock>());
    TBComPort port(nullptr, sys);
    port.SetPort(QStringLiteral("ttyUSB0"));
    port.SetSyncMethod(smWindowSync);
    port.OnCTSChange = [](QObject *, bool) {};
    port.Open();
    sys->failOn(QStringLiteral("modemStatus"), EIO, 1);
    sys->raiseEvents(kEventCts);
    EXPECT_TRUE(processUntil([&] { return !reported.isEmpty(); }));
    EXPECT_EQ(reported.value(0), QStringLiteral("Ошибка функции GetCommModemStatus"));
    port.Close();
    TBComPort::SetApplicationExceptionHandler(nullptr);
}

TEST(EventThreadOnPty, UnreadInputDoesNotKeepItBusy)
{
    test::Pty pty;
    TBComPort port;
    port.SetPort(pty.slavePath());
    std::atomic<int> events{0};
    port.SetSyncMethod(smNone);
    port.OnRxChar = [&](QObject *, int) { ++events; };
    port.Open();
    pty.send("unread bytes");
    rusage before {}, after {};
    getrusage(RUSAGE_SELF, &before);
    QThread::msleep(1000);
    getrusage(RUSAGE_SELF, &after);
    auto cpu = [](const rusage &u) {
        return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
    };
    const double usedMs = cpu(after) - cpu(before);
    EXPECT_EQ(events.load(), 1) << "one event for the arrival, none while the bytes wait";
    EXPECT_LT(usedMs, 30.0) << "a second with unread input cost " << usedMs << " ms of CPU";
    QByteArray text;
    EXPECT_EQ(port.ReadStr(text, 100), 12);
    pty.send("more");
    EXPECT_TRUE(processUntil([&] { return events.load() == 2; }));
    port.Close();
}

} // namespace
