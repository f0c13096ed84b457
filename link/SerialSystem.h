// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/LineSettings.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

namespace tarvex::link {

// Purge flags.
constexpr uint32_t kPurgeTxAbort = 0x0001;
constexpr uint32_t kPurgeRxAbort = 0x0002;
constexpr uint32_t kPurgeTxClear = 0x0004;
constexpr uint32_t kPurgeRxClear = 0x0008;

// Modem status bits.
constexpr uint32_t kModemCtsOn = 0x0010;
constexpr uint32_t kModemDsrOn = 0x0020;
constexpr uint32_t kModemRingOn = 0x0040;
constexpr uint32_t kModemRlsdOn = 0x0080;

// Line error bits reported by clearError.
constexpr uint32_t kCommRxOver = 0x0001;
constexpr uint32_t kCommOverrun = 0x0002;
constexpr uint32_t kCommRxParity = 0x0004;
constexpr uint32_t kCommFrame = 0x0008;
constexpr uint32_t kCommBreak = 0x0010;
constexpr uint32_t kCommTxFull = 0x0100;
constexpr uint32_t kCommIO = 0x0400;
constexpr uint32_t kCommMode = 0x8000;

enum class EscapeFunction { SetRts, ClearRts, SetDtr, ClearDtr };

// Who may open a device, as far as the fitter needs to know when an open is
// refused.
struct DeviceAccess {
    QString group;            // the device's group; empty when it cannot be told
    QString user;             // the user this program runs as
    bool groupNow = false;    // this process has the group
    bool groupListed = false; // the group database lists the user (a new login has it)
};

// A program that holds a device open or locked.
struct DeviceHolder {
    int pid = 0;
    QString program;
    bool operator==(const DeviceHolder &) const = default;
};

// Line event codes.
constexpr uint32_t kEventRxChar = 0x0001;
constexpr uint32_t kEventTxEmpty = 0x0004;
constexpr uint32_t kEventCts = 0x0008;
constexpr uint32_t kEventDsr = 0x0010;
constexpr uint32_t kEventRlsd = 0x0020;
constexpr uint32_t kEventError = 0x0080;
constexpr uint32_t kEventRing = 0x0100;
constexpr uint32_t kEventRx80Full = 0x0400;
constexpr uint32_t kEventAll = kEventRxChar | kEventTxEmpty | kEventCts | kEventDsr | kEventRlsd | kEventError
    | kEventRing | kEventRx80Full;

// The operating system's serial services, as the port component needs them.
// Every call returns 0 on success or an errno value; nothing throws.
class SerialSystem {
public:
    using Handle = int;
    static constexpr Handle kInvalidHandle = -1;

    virtual ~SerialSystem() = default;

    // Opens a device for exclusive use. A path that is not a terminal is
    // refused with ENOTTY.
    virtual int open(const QString &device, Handle &handle) = 0;
    virtual int close(Handle handle) = 0;
    virtual int setupBuffers(Handle handle, int inSize, int outSize) = 0;
    virtual int setLineSettings(Handle handle, const LineSettingsRecord &settings) = 0;
    virtual int setTimeouts(Handle handle, const CommTimeouts &timeouts) = 0;
    virtual int purge(Handle handle, uint32_t flags) = 0;
    // Writes within the write time-out; written holds what went out, also on
    // time-out (which is not an error).
    virtual int write(Handle handle, const char *data, int count, int &written) = 0;
    // Reads within the read time-out; with the interval set to all bits and
    // no totals it returns at once with what has arrived.
    virtual int read(Handle handle, char *data, int count, int &got) = 0;
    // Reads and clears the line error flags; reports the input queue count.
    virtual int clearError(Handle handle, uint32_t &errors, int &inQueue) = 0;
    virtual int modemStatus(Handle handle, uint32_t &status) = 0;
    virtual int escape(Handle handle, EscapeFunction function) = 0;
    // Names of the serial ports present, in no particular order.
    virtual int listPorts(QStringList &names) = 0;
    // Whether a device (or the link naming it) is there to be opened.
    virtual bool devicePresent(const QString &device) = 0;
    // A name that keeps naming the same adapter when it is plugged in again
    // (a USB adapter's /dev/serial/by-id link; its /dev/ttyUSBn number may
    // change); the device itself when there is none. An adapter without a
    // serial number shares its by-id name with every adapter of its kind:
    // it is named by the USB socket it is plugged into (/dev/serial/by-path).
    virtual QString stableDeviceName(const QString &device) = 0;
    // The device a name leads to (a by-id link's /dev/ttyUSBn); the name
    // itself when it leads nowhere.
    virtual QString deviceNode(const QString &name) = 0;
    // Waits until input has arrived, at most `ms`; true when some has.
    virtual bool waitInput(Handle handle, int ms) = 0;
    // Why an open may have been refused: the device's group and the user's.
    virtual DeviceAccess deviceAccess(const QString &device) = 0;
    // Other programs that have the device open or locked, as far as they
    // can be seen.
    virtual QList<DeviceHolder> deviceHolders(const QString &device) = 0;
    // The line events a wait reports; none ends the watching.
    virtual int setEventMask(Handle handle, uint32_t mask) = 0;
    // Blocks until a watched event occurs (events set) or stopFd becomes
    // readable (events 0); with no stopFd (-1) it returns within 100 ms,
    // events 0 when none. Called from the port's event thread only.
    virtual int waitEvent(Handle handle, int stopFd, uint32_t &events) = 0;
};

// What an errno from open means to the fitter.
bool isMissingDeviceError(int error);
bool isBusyDeviceError(int error);
// Refused for lack of permission (not for being in use).
bool isPermissionError(int error);
// Errors that only say the device has gone (a pulled adapter).
bool isDeviceGoneError(int error);

// Device name for a port name: a path is used as it is, any other name is
// looked up under /dev.
QString deviceNameForPort(const QString &port);

std::shared_ptr<SerialSystem> defaultSerialSystem();

} // namespace tarvex::link
