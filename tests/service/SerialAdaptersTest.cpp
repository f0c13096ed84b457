// SPDX-License-Identifier: GPL-3.0-or-later
// USB-serial adapters as Linux shows them: why an open is refused, who holds
// a port, the name that finds the same adapter again; and a log that a slow
// disk never holds up.
#include "service/PortProblem.h"
#include "link/Exception.h"
#include "link/PosixSerialSystem.h"
#include "monitor/LogFile.h"
#include "tests/support/Pty.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tarvex;
using link::DeviceAccess;

namespace {

TEST(PortProblem, SaysWhyAndWhatToDo)
{
    // The window's own test has the group to join and the holder found.
    const DeviceAccess added{QStringLiteral("dialout"), QStringLiteral("fitter"), false, true};
    const DeviceAccess member{QStringLiteral("dialout"), QStringLiteral("fitter"), true, true};
    const QList<link::DeviceHolder> holders{{612, QStringLiteral("ModemManager")}, {4242, QStringLiteral("minicom")}};
    const struct {
        int error, language;
        DeviceAccess access;
        QList<link::DeviceHolder> holders;
        const char *part; // empty: nothing to add
    } cases[] = {
        {EPERM, 1, added, {}, "you are in the group dialout, but this session began before that. Log out and in"},
        {EACCES, 1, member, {}, "ls -l /dev/ttyUSB0 shows who may open it."},
        {EBUSY, 1, {}, holders, "held by ModemManager (PID 612), minicom (PID 4242). Close it and connect again. "
                                "ModemManager takes new adapters for itself; the README's section"},
        {EAGAIN, 1, {}, {}, "another program that could not be found (sudo fuser -v /dev/ttyUSB0 shows it)."},
        {ENOENT, 0, member, holders, ""},
    };
    for (const auto &c : cases) {
        const QString text =
            service::portProblemText(c.error, QStringLiteral("/dev/ttyUSB0"), c.access, c.holders, c.language);
        EXPECT_TRUE(*c.part ? text.contains(QString::fromUtf8(c.part)) : text.isEmpty()) << qPrintable(text);
    }
}

TEST(DeviceHolders, AreFoundByTheirDescriptorsAndLocks)
{
    const QByteArray locks = "1: FLOCK  ADVISORY  WRITE 4242 00:05:1093 0 EOF\n"
                             "1: -> FLOCK  ADVISORY  WRITE 5151 00:05:1093 0 EOF\n" // waits, holds nothing
                             "2: POSIX  ADVISORY  WRITE 777 00:05:1094 0 EOF\n"
                             "3: FLOCK  ADVISORY  WRITE 888 fd:01:1093 0 EOF\n";
    EXPECT_EQ(link::lockHolders(locks, 0, 5, 1093), QList<int>{4242});
    EXPECT_EQ(link::lockHolders(locks, 0xfd, 1, 1093), QList<int>{888});

    // Another program holding a port: flock(1) keeps it open and locked.
    test::Pty pty;
    QProcess holder;
    holder.start(QStringLiteral("flock"), {QStringLiteral("-x"), pty.slavePath(), QStringLiteral("sleep"), "30"});
    ASSERT_TRUE(holder.waitForStarted(5000));
    const int pid = int(holder.processId());
    QList<link::DeviceHolder> holders;
    QElapsedTimer waited;
    waited.start();
    while (holders.isEmpty() && waited.elapsed() < 5000 && !holder.waitForFinished(20))
        holders = link::PosixSerialSystem().deviceHolders(pty.slavePath());
    holder.kill();
    holder.waitForFinished(5000);
    ASSERT_FALSE(holders.isEmpty());
    EXPECT_EQ(holders[0], (link::DeviceHolder{pid, QStringLiteral("flock")}));
}

// A program in a root with its own /dev/pts holds a terminal of the same
// number as ours: its descriptor's link reads the same path, its device
// number is the same, and yet it is another terminal.
TEST(DeviceHolders, ATerminalOfAnotherDevptsWithTheSameNumberIsNotOurs)
{
    test::Pty pty;
    const QByteArray path = QFile::encodeName(pty.slavePath());
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        // Only system calls from here on: the parent has threads. Its
        // descriptors, our terminal's among them, are not the child's.
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != ready[1])
                ::close(fd);
        bool own = unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
            && mount("devpts", "/dev/pts", "devpts", 0, "newinstance,ptmxmode=0666") == 0;
        int unlock = 0;
        for (int opened = 0; own && opened < 4096 && ::access(path.constData(), F_OK) != 0; ++opened) {
            const int master = ::open("/dev/pts/ptmx", O_RDWR | O_NOCTTY);
            own = master >= 0 && ioctl(master, TIOCSPTLCK, &unlock) == 0;
        }
        const char held = own && ::open(path.constData(), O_RDWR | O_NOCTTY) >= 0 ? 'y' : 'n';
        (void)!write(ready[1], &held, 1);
        pause();
        _exit(0);
    }
    ::close(ready[1]);
    char held = 0;
    (void)!read(ready[0], &held, 1);
    ::close(ready[0]);
    QList<link::DeviceHolder> holders;
    if (held == 'y')
        holders = link::PosixSerialSystem().deviceHolders(pty.slavePath());
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    if (held != 'y')
        GTEST_SKIP() << "no devpts of its own here (needs root)";
    EXPECT_TRUE(std::none_of(holders.begin(), holders.end(), [&](const link::DeviceHolder &h) { return h.pid == child; }))
        << "the other root's terminal taken for ours";
}

TEST(StableNames, BySerialNumberElseByTheUsbSocket)
{
    const QString dev = QStringLiteral("/dev/ttyUSB0"), id = QStringLiteral("by-id/usb-FTDI_A50285BI-if00"),
                  path = QStringLiteral("by-path/pci-0000:00:14.0-usb-0:2:1.0-port0");
    EXPECT_EQ(link::chooseStableName(dev, id, path, true), id);
    EXPECT_EQ(link::chooseStableName(dev, id, path, false), path) << "twins share the by-id name";
    EXPECT_EQ(link::chooseStableName(dev, id, QString(), false), id);
    EXPECT_EQ(link::chooseStableName(dev, QString(), QString(), false), dev);
}

TEST(LogFileWriting, ASlowDiskNeverHoldsUpTheCallerAndAFailureIsToldOnce)
{
    QTemporaryDir dir;
    monitor::LogFile log;
    std::atomic<int> syncs{0};
    std::atomic<bool> refuse{false};
    log.setSync([&](int) {
        ++syncs;
        std::this_thread::sleep_for(std::chrono::milliseconds(200)); // the slow disk itself
        return refuse ? EIO : 0;
    });
    ASSERT_TRUE(log.open(dir.filePath(QStringLiteral("slow.log"))).isEmpty());
    QElapsedTimer appending;
    appending.start();
    for (int line = 0; line < 20; ++line)
        log.append("RPM " + QByteArray::number(800 + line), true);
    EXPECT_LT(appending.elapsed(), 150) << "twenty lines queued within one sync";
    ASSERT_TRUE(log.waitWritten(5000));
    EXPECT_LT(syncs.load(), 4) << "lines that gathered are synced together";
    QFile file(dir.filePath(QStringLiteral("slow.log")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().endsWith("RPM 818\r\nRPM 819\r\n")) << "all of it, in order";

    const QString error = QString::fromLocal8Bit(std::strerror(EIO));
    refuse = true;
    log.append("a line the disk refuses", true);
    ASSERT_TRUE(log.waitWritten(5000));
    EXPECT_THROW(log.append(" Tune 0", true), Exception) << "told by the next line";
    EXPECT_NO_THROW(log.append(" Fuel 1", true)) << "once";
    EXPECT_EQ(log.close(), error);
}

// A dead USB stick: its sync never returns. Neither a full queue nor the
// close hangs the window beyond the stall limit; the loss is told once.
TEST(LogFileWriting, ADiskThatTakesNothingNeverHangsTheCaller)
{
    QTemporaryDir dir;
    monitor::LogFile log;
    struct Disk {
        std::atomic<bool> stuck{true};
        std::atomic<int> answered{0};
    };
    auto disk = std::make_shared<Disk>(); // the writer may outlive this test's scope
    log.setSync([disk](int) {
        while (disk->stuck)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ++disk->answered;
        return 0;
    });
    log.setLimits(64, 100);
    ASSERT_TRUE(log.open(dir.filePath(QStringLiteral("stuck.log"))).isEmpty());
    QElapsedTimer waited;
    waited.start();
    EXPECT_THROW(
        {
            for (int line = 0; line < 50; ++line)
                log.append(QByteArray(20, 'x'), true);
        },
        Exception)
        << "a queue full of lines the disk does not take";
    EXPECT_NO_THROW(log.append("RPM 850", true)) << "once";
    EXPECT_EQ(log.close(), QStringLiteral("Диск не принимает запись лога уже 0 с: лог остановлен, последние строки не "
                                          "записаны."));
    EXPECT_LT(waited.elapsed(), 1000) << "two waits of 100 ms, not the disk's";
    disk->stuck = false;
    for (int i = 0; i < 1000 && disk->answered == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1)); // the writer ends when the disk answers
    EXPECT_GT(disk->answered.load(), 0);
}

} // namespace
