// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/AdapterSearch.h"
#include "link/BCPort.h"
#include "link/PosixSerialSystem.h"
#include "tests/support/Pty.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace tarvex::link;

namespace {

void makeTty(const QString &root, const QString &name, const char *type = nullptr, bool device = true)
{
    QDir(root).mkpath(name);
    if (device)
        QFile::link(QStringLiteral("/"), root + '/' + name + QStringLiteral("/device"));
    if (type) {
        QFile f(root + '/' + name + QStringLiteral("/type"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(type);
    }
}

TEST(PortList, ListsRealDevicesAndLiveVirtualPorts)
{
    QTemporaryDir sysfs;
    QTemporaryDir registry;
    makeTty(sysfs.path(), QStringLiteral("ttyUSB0"));
    makeTty(sysfs.path(), QStringLiteral("ttyACM1"));
    makeTty(sysfs.path(), QStringLiteral("ttyS0"), "4\n");
    makeTty(sysfs.path(), QStringLiteral("ttyS3"), "0\n"); // phantom 8250 port
    makeTty(sysfs.path(), QStringLiteral("tty5"), nullptr, false); // virtual console

    tarvex::test::Pty pty;
    const QString live = registry.filePath(QStringLiteral("ecu-sim"));
    const QString dead = registry.filePath(QStringLiteral("old-sim"));
    ASSERT_TRUE(QFile::link(pty.slavePath(), live));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/pts/999999"), dead));

    PosixSerialSystem system(sysfs.path(), registry.path());
    QStringList list;
    ListSerialPorts(list, system);
    EXPECT_EQ(list, (QStringList{"/dev/ttyACM1", "/dev/ttyS0", "/dev/ttyUSB0", live}));

    // A registered port opens by its link.
    TBComPort port(nullptr, std::make_shared<PosixSerialSystem>(sysfs.path(), registry.path()));
    port.SetPort(live);
    port.Open();
    EXPECT_TRUE(port.Connected());
}

TEST(PortList, AMissingRegistryIsNoErrorButAMissingDeviceListIs)
{
    QTemporaryDir sysfs;
    makeTty(sysfs.path(), QStringLiteral("ttyUSB0"));
    PosixSerialSystem system(sysfs.path(), sysfs.filePath(QStringLiteral("no-such-dir")));
    QStringList list;
    ListSerialPorts(list, system);
    EXPECT_EQ(list, QStringList{"/dev/ttyUSB0"});

    PosixSerialSystem broken(sysfs.filePath(QStringLiteral("nothing-here")), sysfs.path());
    list = QStringList{"COM1"};
    try {
        ListSerialPorts(list, broken);
        FAIL() << "no error";
    } catch (const EComPort &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Ошибка обращения к системному реестру"));
    }
    EXPECT_EQ(list, QStringList{"COM1"});
}

} // namespace

namespace {

// The adapter that went back into the socket it left, under its kernel name
// but another by-id name, is the one new port: the kernel may still list it
// when the wait begins.
TEST(AdapterSearch, TheLostDeviceBackUnderItsOwnNameCountsAsNew)
{
    AdapterSearch search;
    const QString by = QStringLiteral("/dev/serial/by-id/usb-QEMU_1-0000:00:04.0-1-if00-port0");
    search.begin(by, QStringLiteral("/dev/ttyUSB0"), {QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyUSB0")});
    EXPECT_EQ(search.choose(false, {QStringLiteral("/dev/ttyS0")}), QString());
    EXPECT_EQ(search.choose(false, {QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyUSB0")}),
              QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(search.choose(true, {QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyUSB0")}), by)
        << "the remembered name first";
}

} // namespace
