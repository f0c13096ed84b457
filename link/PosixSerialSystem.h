// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/SerialSystem.h"

#include <map>
#include <mutex>

namespace tarvex::link {

// Serial services on Linux: termios, ioctl and poll on a non-blocking
// descriptor; the port list from sysfs and the virtual port registry.
class PosixSerialSystem : public SerialSystem {
public:
    explicit PosixSerialSystem(QString sysfsRoot = QStringLiteral("/sys/class/tty"),
                               QString registryDir = QString(),
                               QString byIdDir = QStringLiteral("/dev/serial/by-id"),
                               QString byPathDir = QStringLiteral("/dev/serial/by-path"),
                               QString procRoot = QStringLiteral("/proc"));

    int open(const QString &device, Handle &handle) override;
    int close(Handle handle) override;
    int setupBuffers(Handle handle, int inSize, int outSize) override;
    int setLineSettings(Handle handle, const LineSettingsRecord &settings) override;
    int setTimeouts(Handle handle, const CommTimeouts &timeouts) override;
    int purge(Handle handle, uint32_t flags) override;
    int write(Handle handle, const char *data, int count, int &written) override;
    int read(Handle handle, char *data, int count, int &got) override;
    int clearError(Handle handle, uint32_t &errors, int &inQueue) override;
    int modemStatus(Handle handle, uint32_t &status) override;
    int escape(Handle handle, EscapeFunction function) override;
    int listPorts(QStringList &names) override;
    bool devicePresent(const QString &device) override;
    QString stableDeviceName(const QString &device) override;
    QString deviceNode(const QString &name) override;
    bool waitInput(Handle handle, int ms) override;
    DeviceAccess deviceAccess(const QString &device) override;
    QList<DeviceHolder> deviceHolders(const QString &device) override;
    int setEventMask(Handle handle, uint32_t mask) override;
    int waitEvent(Handle handle, int stopFd, uint32_t &events) override;

private:
    struct Counters {
        int frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
    };
    // What the event wait saw last, to tell what changed since.
    struct Watch {
        uint32_t mask = 0;
        int inQueue = 0;
        int outQueue = 0;
        int taken = 0;        // bytes read or purged since the last look
        int modem = -1;       // -1: not read yet
        bool modemLines = true;
        bool counters = true;
        bool hungUp = false;
        Counters errors;
    };
    struct PortState {
        CommTimeouts timeouts;
        Counters counters;
        int inBufSize = 0;
        Watch watch;
    };
    CommTimeouts timeoutsOf(Handle handle);
    void noteTaken(Handle handle, int bytes);
    // Whether the USB adapter behind a tty device reports a serial number.
    bool hasSerialNumber(const QString &device) const;

    QString m_sysfsRoot;
    QString m_registryDir;
    QString m_byIdDir;
    QString m_byPathDir;
    QString m_procRoot;
    std::mutex m_mutex;
    std::map<Handle, PortState> m_ports;
};

// The stable name of a device from its links: by-id when the adapter has a
// serial number to tell it from its twins, else by-path (its USB socket),
// else whatever link there is, else the device itself.
QString chooseStableName(const QString &device, const QString &byId, const QString &byPath, bool hasSerialNumber);

// The processes that /proc/locks shows holding a lock on a file, by the
// file system's device numbers and the file's inode.
QList<int> lockHolders(const QByteArray &procLocks, unsigned major, unsigned minor, unsigned long long inode);

} // namespace tarvex::link
