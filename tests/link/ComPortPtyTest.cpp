// SPDX-License-Identifier: GPL-3.0-or-later
// The port component against a real pseudo-terminal: what a pty can show.
#include "link/BCPort.h"
#include "link/PosixSerialSystem.h"
#include "link/PosixTermios2.h"
#include "tests/support/Pty.h"

#include "tests/support/Helpers.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tarvex;
using namespace tarvex::link;
using tarvex::test::Pty;
using tarvex::test::raised;

namespace {


double elapsedMs(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

class ComPortPty : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(pty.slavePath().isEmpty());
        port.SetBaudRate(br57600);
        port.SetInBufSize(4096);
        port.SetOutBufSize(4096);
        port.SetPort(pty.slavePath());
    }

    Pty pty;
    TBComPort port;
};

TEST_F(ComPortPty, OpensRawEightNoneOneWithoutFlowControl)
{
    port.Open();
    ASSERT_TRUE(port.Connected());
    // The master reads back what the component set on the slave.
    Termios2Snapshot t;
    ASSERT_EQ(readTermios2(pty.master(), t), 0);
    EXPECT_EQ(t.ospeed, 57600u);
    EXPECT_EQ(t.dataBits, 8);
    EXPECT_FALSE(t.parityEnabled);
    EXPECT_FALSE(t.twoStopBits);
    EXPECT_FALSE(t.hardwareFlow);
    EXPECT_FALSE(t.softwareFlow);
    EXPECT_TRUE(t.raw);
    EXPECT_TRUE(t.errorBytesAsReceived);
    EXPECT_EQ(t.startChar, 0x11);
    EXPECT_EQ(t.stopChar, 0x13);
    // Rates without a Linux constant go through termios2 as well.
    port.SetBaudRate(br14400);
    ASSERT_EQ(readTermios2(pty.master(), t), 0);
    EXPECT_EQ(t.ospeed, 14400u);
    // With a parity a byte in error still arrives as it was received (a
    // pty drops the parity bits themselves, but keeps the input flags).
    port.SetParity(paEven);
    ASSERT_EQ(readTermios2(pty.master(), t), 0);
    EXPECT_TRUE(t.errorBytesAsReceived);
    port.SetParity(paNone);
    // A pty has no modem lines: no error and no lines.
    EXPECT_TRUE(port.LineSignals().empty());
    port.SetDTRLine(true);
    EXPECT_EQ(port.PendingInput(), 0);
}

TEST_F(ComPortPty, ReadsReturnAtOnceWithWhatHasArrived)
{
    port.Open();
    QByteArray text;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.ReadStr(text, 4096), 0);
    EXPECT_TRUE(text.isEmpty());
    char byte = 'k';
    EXPECT_EQ(port.Read(&byte, 1), 0);
    EXPECT_EQ(byte, 'k');
    EXPECT_LT(elapsedMs(start), 50.0);

    pty.send("0123456789");
    for (int i = 0; i < 200 && port.PendingInput() < 10; ++i)
        usleep(1000);
    EXPECT_EQ(port.PendingInput(), 10);
    EXPECT_EQ(port.ReadStr(text, 4096), 10);
    EXPECT_EQ(text, QByteArray("0123456789"));
}

TEST_F(ComPortPty, WritesReachThePeerAndEmptyTextSendsNothing)
{
    port.Open();
    EXPECT_EQ(port.WriteStr(QByteArray()), 0);
    EXPECT_EQ(port.WriteStr("<G>\r"), 4);
    const unsigned char calib[] = {0x3C, 0xE0, 0x3E, 0x0D};
    EXPECT_EQ(port.Write(calib, 4), 4);
    EXPECT_EQ(pty.receive(8), QByteArray("<G>\r") + QByteArray(reinterpret_cast<const char *>(calib), 4));
}

TEST_F(ComPortPty, ClearBufferDiscardsWhatArrivedBefore)
{
    port.Open();
    pty.send("stale reply");
    for (int i = 0; i < 200 && port.PendingInput() < 11; ++i)
        usleep(1000);
    port.ClearBuffer(true, true);
    QByteArray text;
    EXPECT_EQ(port.ReadStr(text, 4096), 0);
    pty.send("[fresh]");
    for (int i = 0; i < 200 && port.PendingInput() < 7; ++i)
        usleep(1000);
    port.ReadStr(text, 4096);
    EXPECT_EQ(text, QByteArray("[fresh]"));
}

TEST_F(ComPortPty, APortHeldByAnotherProgramIsBusy)
{
    int ready[2];
    int release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const QByteArray path = pty.slavePath().toLocal8Bit();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(release[1]);
        const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY);
        const char ok = (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) ? '1' : '0';
        (void)!::write(ready[1], &ok, 1);
        char dummy;
        (void)!::read(release[0], &dummy, 1);
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, '1');

    EXPECT_EQ(raised([&] { port.Open(); }), QStringLiteral("Порт занят другой программой"));
    EXPECT_FALSE(port.Connected());

    ::close(release[1]);
    waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    ::close(release[0]);
    port.Open();
    EXPECT_TRUE(port.Connected());
}

TEST_F(ComPortPty, ASecondPortInThisProgramIsBusyToo)
{
    port.Open();
    TBComPort second;
    second.SetPort(pty.slavePath());
    EXPECT_EQ(raised([&] { second.Open(); }), QStringLiteral("Порт занят другой программой"));
    EXPECT_FALSE(second.Connected());
}

TEST(ComPortOpen, MissingDevicesAndPlainFilesAreNotPorts)
{
    TBComPort port;
    port.SetPort(QStringLiteral("ttyDoesNotExist42"));
    EXPECT_EQ(raised([&] { port.Open(); }), QStringLiteral("Попытка открыть несуществующий COM-порт"));
    EXPECT_FALSE(port.Connected());

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("map.inj"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("12,\r\n");
    }
    port.SetPort(file);
    EXPECT_EQ(raised([&] { port.Open(); }), QStringLiteral("Попытка открыть несуществующий COM-порт"));
    port.SetPort(dir.path());
    EXPECT_EQ(raised([&] { port.Open(); }), QStringLiteral("Попытка открыть несуществующий COM-порт"));
    EXPECT_FALSE(port.Connected());
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("12,\r\n"));
}

TEST_F(ComPortPty, AWriteToAPeerThatNeverReadsEndsAtItsTimeLimit)
{
    port.Open();
    // Fill the line first, with a short limit.
    port.Timeouts().SetWriteTotalMultiplier(0);
    port.Timeouts().SetWriteTotalConstant(200);
    const QByteArray block(64 * 1024, 'x');
    auto start = std::chrono::steady_clock::now();
    const int taken = port.WriteStr(block);
    EXPECT_GT(taken, 0);
    EXPECT_LT(taken, block.size());
    EXPECT_NEAR(elapsedMs(start), 200.0, 150.0);

    // The main window's limit: 1000 ms plus 100 ms per byte.
    port.Timeouts().SetWriteTotalMultiplier(100);
    port.Timeouts().SetWriteTotalConstant(1000);
    start = std::chrono::steady_clock::now();
    const int more = port.WriteStr("<G>\r");
    const double took = elapsedMs(start);
    EXPECT_LT(more, 4);
    EXPECT_GE(took, 1390.0);
    EXPECT_LT(took, 1800.0);
    EXPECT_TRUE(port.Connected());
}

TEST_F(ComPortPty, APulledCableIsReportedAtTheNextTransfer)
{
    port.Open();
    pty.closeMaster();
    QByteArray text;
    EXPECT_EQ(raised([&] { port.ReadStr(text, 4096); }), QStringLiteral("Ошибка чтения из порта"));
    EXPECT_EQ(raised([&] { port.WriteStr("<G>\r"); }), QStringLiteral("Ошибка записи в порт"));
    // The port still lets go, and says nothing about lines that are gone.
    EXPECT_EQ(raised([&] { port.Close(); }), QString());
    EXPECT_FALSE(port.Connected());
}

TEST_F(ComPortPty, ClosedPortNeverWritesIntoAReusedDescriptor)
{
    port.Open();
    port.Close();
    QTemporaryDir dir;
    QFile log(dir.filePath(QStringLiteral("live.log")));
    ASSERT_TRUE(log.open(QIODevice::WriteOnly)); // likely takes the old number
    EXPECT_EQ(raised([&] { port.WriteStr("<G>\r"); }), QStringLiteral("Ошибка записи в порт"));
    log.close();
    EXPECT_EQ(log.size(), 0);
}

// Without a stop descriptor (the event thread could not get one) the wait
// still returns within a bounded time, so the thread sees its stop flag and
// Close never waits for ever.
TEST_F(ComPortPty, TheEventWaitIsBoundedWithoutAStopDescriptor)
{
    PosixSerialSystem system;
    SerialSystem::Handle handle = SerialSystem::kInvalidHandle;
    ASSERT_EQ(system.open(pty.slavePath(), handle), 0);
    system.setEventMask(handle, kEventAll);
    uint32_t events = 1;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(system.waitEvent(handle, -1, events), 0);
    EXPECT_LT(elapsedMs(start), 1000);
    EXPECT_EQ(events, 0u);
    system.close(handle);
}

// A USB adapter may come back as another /dev/ttyUSBn: its by-id link is
// the name to wait for; a link (the simulator's) already is one.
TEST_F(ComPortPty, TheNameThatSurvivesAReplug)
{
    QTemporaryDir byId;
    const QString link = byId.filePath(QStringLiteral("usb-FTDI_FT232R_A12345-if00-port0"));
    ASSERT_TRUE(QFile::link(pty.slavePath(), link));
    PosixSerialSystem system(QString(), QString(), byId.path());
    EXPECT_EQ(system.stableDeviceName(pty.slavePath()), link);
    EXPECT_EQ(system.stableDeviceName(link), link);
    EXPECT_TRUE(system.devicePresent(link));
    EXPECT_EQ(system.stableDeviceName(QStringLiteral("/dev/no-such-tty")), QStringLiteral("/dev/no-such-tty"));
    EXPECT_FALSE(system.devicePresent(QStringLiteral("/dev/no-such-tty")));
    QFile::remove(link);
    QFile::link(byId.filePath(QStringLiteral("gone")), link); // left dangling by a pulled adapter
    EXPECT_FALSE(system.devicePresent(link));
}

} // namespace
