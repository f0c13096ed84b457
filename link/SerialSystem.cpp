// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/SerialSystem.h"
#include "link/PosixSerialSystem.h"

#include <cerrno>

namespace tarvex::link {

bool isMissingDeviceError(int error)
{
    // A name too long or through a non-folder names no device either.
    return error == ENOENT || error == ENODEV || error == ENXIO || error == ENOTTY || error == ENAMETOOLONG
        || error == ENOTDIR || error == EISDIR;
}

bool isBusyDeviceError(int error)
{
    return error == EBUSY || error == EAGAIN || error == EWOULDBLOCK || error == EACCES || error == EPERM;
}

bool isPermissionError(int error)
{
    return error == EACCES || error == EPERM;
}

bool isDeviceGoneError(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV;
}

QString deviceNameForPort(const QString &port)
{
    if (port.startsWith(QLatin1Char('/')))
        return port;
    return QStringLiteral("/dev/") + port;
}

std::shared_ptr<SerialSystem> defaultSerialSystem()
{
    static const auto system = std::make_shared<PosixSerialSystem>();
    return system;
}

} // namespace tarvex::link
