// USB-serial adapters as Linux shows them: why an open is refused, who holds
// a port, the name that finds the same adapter again; and a log that a slow
// disk never holds up.
#include "app/PortProblem.h"
#include "link/Exception.h"
#include "link/PosixSerialSystem.h"
#include "monitor/LogFile.h"
#include "tests/support/Pty.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>
#include <chrono>
#include <thread>

using namespace tarvex;
using link::DeviceAccess;
using link::DeviceHolder;

namespace {

struct ProblemCase {
    int error;
    DeviceAccess access;
    QList<DeviceHolder> holders;
    int language;
    const char *text; // empty: nothing to add
    friend void PrintTo(const ProblemCase &c, std::ostream *os) { *os << "errno " << c.error << ", " << c.text; }
};

TEST(PortProblem, SaysWhyAndWhatToDo)
{
    const DeviceAccess notInGroup{QStringLiteral("dialout"), QStringLiteral("fitter"), false, false};
    const ProblemCase cases[] = {
        {EACCES, notInGroup, {}, 0,
         "Нет прав на /dev/ttyUSB0: устройство принадлежит группе dialout. Добавьте себя в неё командой\n"
         "sudo usermod -aG dialout fitter\nи войдите в систему заново (выйдите из сеанса и войдите снова)."},
        {EPERM, notInGroup, {}, 1,
         "No permission to open /dev/ttyUSB0: the device belongs to the group dialout. Add yourself to it with\n"
         "sudo usermod -aG dialout fitter\nthen log out and in again."},
        {EACCES, {QStringLiteral("dialout"), QStringLiteral("fitter"), false, true}, {}, 1,
         "No permission to open /dev/ttyUSB0: you are in the group dialout, but this session began before that. "
         "Log out and in again."},
        {EACCES, {QStringLiteral("dialout"), QStringLiteral("fitter"), true, true}, {}, 1,
         "No permission to open /dev/ttyUSB0. ls -l /dev/ttyUSB0 shows who may open it."},
        {EACCES, {}, {}, 1, "No permission to open /dev/ttyUSB0. ls -l /dev/ttyUSB0 shows who may open it."},
        {EBUSY, {}, {{612, QStringLiteral("ModemManager")}, {4242, QStringLiteral("minicom")}}, 1,
         "/dev/ttyUSB0 is held by ModemManager (PID 612), minicom (PID 4242). Close it and connect again. "
         "ModemManager takes new adapters for itself; the README's section \"Linux serial adapters\" says how to "
         "keep it away."},
        {EBUSY, {}, {{4242, QStringLiteral("tarvex")}}, 0,
         "/dev/ttyUSB0 занят программой tarvex (PID 4242). Закройте её и соедините снова."},
        {EAGAIN, {}, {}, 1,
         "/dev/ttyUSB0 is held by another program that could not be found (sudo fuser -v /dev/ttyUSB0 shows it)."},
        {ENOENT, notInGroup, {}, 0, ""},
    };
    for (const ProblemCase &c : cases)
        EXPECT_EQ(app::portProblemText(c.error, QStringLiteral("/dev/ttyUSB0"), c.access, c.holders, c.language),
                  QString::fromUtf8(c.text))
            << ::testing::PrintToString(c);
}

TEST(DeviceHolders, LocksAreReadByDeviceAndInode)
{
    const QByteArray locks = "1: FLOCK  ADVISORY  WRITE 4242 00:05:1093 0 EOF\n"
                             "1: -> FLOCK  ADVISORY  WRITE 5151 00:05:1093 0 EOF\n"
                             "2: POSIX  ADVISORY  WRITE 777 00:05:1094 0 EOF\n"
                             "3: FLOCK  ADVISORY  WRITE 888 fd:01:1093 0 EOF\n"
                             "4: OFDLCK ADVISORY  READ  4243 00:05:1093 0 EOF\n";
    EXPECT_EQ(link::lockHolders(locks, 0, 5, 1093), (QList<int>{4242, 4243})) << "not the waiter, not another file";
    EXPECT_EQ(link::lockHolders(locks, 0xfd, 1, 1093), QList<int>{888});
    EXPECT_TRUE(link::lockHolders("garbage\n\n", 0, 5, 1093).isEmpty());
}

// Another program holding a port: flock(1) keeps it open and locked.
TEST(DeviceHolders, NameTheProgramThatHasThePort)
{
    test::Pty pty;
    QProcess holder;
    holder.start(QStringLiteral("flock"), {QStringLiteral("-x"), pty.slavePath(), QStringLiteral("sleep"),
                                           QStringLiteral("30")});
    ASSERT_TRUE(holder.waitForStarted(5000));
    const int pid = int(holder.processId());
    link::PosixSerialSystem system;
    QList<DeviceHolder> holders;
    QElapsedTimer waited;
    waited.start();
    while (holders.isEmpty() && waited.elapsed() < 5000) {
        holder.waitForFinished(20); // lets it take the lock meanwhile
        holders = system.deviceHolders(pty.slavePath());
    }
    holder.kill();
    holder.waitForFinished(5000);
    ASSERT_FALSE(holders.isEmpty());
    EXPECT_EQ(holders[0].pid, pid) << "flock itself, then perhaps its sleep";
    EXPECT_EQ(holders[0].program, QStringLiteral("flock"));
}

TEST(StableNames, BySerialNumberElseByTheUsbSocket)
{
    const QString dev = QStringLiteral("/dev/ttyUSB0"), id = QStringLiteral("by-id/usb-FTDI_A50285BI-if00"),
                  path = QStringLiteral("by-path/pci-0000:00:14.0-usb-0:2:1.0-port0");
    EXPECT_EQ(link::chooseStableName(dev, id, path, true), id);
    EXPECT_EQ(link::chooseStableName(dev, id, path, false), path) << "twins share the by-id name";
    EXPECT_EQ(link::chooseStableName(dev, id, QString(), false), id);
    EXPECT_EQ(link::chooseStableName(dev, QString(), path, true), path);
    EXPECT_EQ(link::chooseStableName(dev, QString(), QString(), true), dev);
}

// /dev and /sys as udev lays them out for two adapters, one with a serial
// number (FTDI) and one without (CH340).
TEST(StableNames, AreReadFromTheLinksAndTheUsbDevice)
{
    QTemporaryDir root;
    QDir r(root.path());
    for (const char *folder : {"dev/serial/by-id", "dev/serial/by-path", "sys/class/tty",
                               "sys/devices/usb1/1-1/1-1:1.0/ttyUSB0", "sys/devices/usb1/1-2/1-2:1.0/ttyUSB1"})
        ASSERT_TRUE(r.mkpath(QLatin1String(folder)));
    for (const char *usb : {"sys/devices/usb1/1-1", "sys/devices/usb1/1-2"}) {
        QFile vendor(r.filePath(QLatin1String(usb) + QStringLiteral("/idVendor")));
        ASSERT_TRUE(vendor.open(QIODevice::WriteOnly));
    }
    QFile serial(r.filePath(QStringLiteral("sys/devices/usb1/1-1/serial")));
    ASSERT_TRUE(serial.open(QIODevice::WriteOnly));
    serial.write("A50285BI\n");
    serial.close();
    auto link = [&](const QString &target, const QString &name) {
        ASSERT_TRUE(QFile::link(r.filePath(target), r.filePath(name))) << qPrintable(name);
    };
    for (const char *tty : {"ttyUSB0", "ttyUSB1"}) {
        QFile node(r.filePath(QStringLiteral("dev/") + QLatin1String(tty)));
        ASSERT_TRUE(node.open(QIODevice::WriteOnly));
    }
    link(QStringLiteral("sys/devices/usb1/1-1/1-1:1.0/ttyUSB0"), QStringLiteral("sys/class/tty/ttyUSB0"));
    link(QStringLiteral("sys/devices/usb1/1-1/1-1:1.0"), QStringLiteral("sys/devices/usb1/1-1/1-1:1.0/ttyUSB0/device"));
    link(QStringLiteral("sys/devices/usb1/1-2/1-2:1.0/ttyUSB1"), QStringLiteral("sys/class/tty/ttyUSB1"));
    link(QStringLiteral("sys/devices/usb1/1-2/1-2:1.0"), QStringLiteral("sys/devices/usb1/1-2/1-2:1.0/ttyUSB1/device"));
    link(QStringLiteral("dev/ttyUSB0"), QStringLiteral("dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0"));
    link(QStringLiteral("dev/ttyUSB0"), QStringLiteral("dev/serial/by-path/pci-usb-0:1:1.0-port0"));
    link(QStringLiteral("dev/ttyUSB1"), QStringLiteral("dev/serial/by-id/usb-1a86_USB_Serial-if00-port0"));
    link(QStringLiteral("dev/ttyUSB1"), QStringLiteral("dev/serial/by-path/pci-usb-0:2:1.0-port0"));

    link::PosixSerialSystem system(r.filePath(QStringLiteral("sys/class/tty")), r.filePath(QStringLiteral("none")),
                                   r.filePath(QStringLiteral("dev/serial/by-id")),
                                   r.filePath(QStringLiteral("dev/serial/by-path")));
    EXPECT_EQ(system.stableDeviceName(r.filePath(QStringLiteral("dev/ttyUSB0"))),
              r.filePath(QStringLiteral("dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0")));
    EXPECT_EQ(system.stableDeviceName(r.filePath(QStringLiteral("dev/ttyUSB1"))),
              r.filePath(QStringLiteral("dev/serial/by-path/pci-usb-0:2:1.0-port0")));
    EXPECT_EQ(system.stableDeviceName(r.filePath(QStringLiteral("dev/serial/by-id/usb-1a86_USB_Serial-if00-port0"))),
              r.filePath(QStringLiteral("dev/serial/by-path/pci-usb-0:2:1.0-port0")))
        << "a shared by-id name chosen by hand";
}

// A disk that takes 200 ms to sync a line: the caller only queues.
TEST(LogFileWriting, ASlowDiskNeverHoldsUpTheCaller)
{
    QTemporaryDir dir;
    monitor::LogFile log;
    std::atomic<int> syncs{0};
    log.setSync([&syncs](int) {
        ++syncs;
        std::this_thread::sleep_for(std::chrono::milliseconds(200)); // the slow disk itself
        return 0;
    });
    const QString path = dir.filePath(QStringLiteral("slow.log"));
    ASSERT_TRUE(log.open(path).isEmpty());
    QByteArray expected;
    QElapsedTimer appending;
    appending.start();
    for (int line = 0; line < 20; ++line) {
        const QByteArray text = "RPM " + QByteArray::number(800 + line);
        log.append(text, true);
        expected += text + "\r\n";
    }
    EXPECT_LT(appending.elapsed(), 150) << "twenty lines queued in less than one sync";
    log.append("RPM 9");
    EXPECT_TRUE(log.close().isEmpty());
    EXPECT_LT(syncs.load(), 20) << "lines that gathered are synced together";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), expected + "RPM 9") << "all of it, in order, once closed";
}

TEST(LogFileWriting, AFailedWriteIsToldOnceAndAgainByTheClose)
{
    QTemporaryDir dir;
    monitor::LogFile log;
    log.setSync([](int) { return EIO; });
    ASSERT_TRUE(log.open(dir.filePath(QStringLiteral("x.log"))).isEmpty());
    log.append("version", true);
    ASSERT_TRUE(log.waitWritten(5000));
    const QString error = QString::fromLocal8Bit(std::strerror(EIO));
    try {
        log.append(" Tune 0", true);
        ADD_FAILURE() << "the failure is thrown by the next line";
    } catch (const Exception &e) {
        EXPECT_EQ(e.message(), error);
    }
    EXPECT_NO_THROW(log.append(" Fuel 1", true));
    EXPECT_EQ(log.close(), error);
}

} // namespace
