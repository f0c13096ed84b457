// SPDX-License-Identifier: GPL-3.0-or-later
// Kept apart from every file that includes <termios.h>: the kernel's
// termios2 structures clash with glibc's.
#include "link/PosixTermios2.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

namespace tarvex::link {

int applyTermios2(int fd, const LineSettingsRecord &s)
{
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return errno;

    t.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY
                           | INPCK | IGNPAR);
    t.c_oflag &= ~tcflag_t(OPOST);
    t.c_lflag &= ~tcflag_t(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= CLOCAL | CREAD | BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = s.baudRate;
    t.c_ospeed = s.baudRate;

    switch (s.byteSize) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    case 8: t.c_cflag |= CS8; break;
    default: return EINVAL;
    }
    switch (s.parity) {
    case 0: break;
    case 1: t.c_cflag |= PARENB | PARODD; break;
    case 2: t.c_cflag |= PARENB; break;
    case 3: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case 4: t.c_cflag |= PARENB | CMSPAR; break;
    default: return EINVAL;
    }
    // The parity is generated and checked by the line, but a byte that
    // arrives with a parity or framing error is delivered as it was
    // received (INPCK would make it 0x00); the error itself is told by the
    // driver's error counters.
    // Linux has no one-and-a-half stop bits; the hardware gives 1.5 for
    // five data bits when two are asked for.
    if (s.stopBits == 1 || s.stopBits == 2)
        t.c_cflag |= CSTOPB;
    else if (s.stopBits != 0)
        return EINVAL;

    t.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;

    if (ioctl(fd, TCSETS2, &t) != 0)
        return errno;
    return 0;
}

int readTermios2(int fd, Termios2Snapshot &out)
{
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return errno;
    out.cflag = t.c_cflag;
    out.iflag = t.c_iflag;
    out.oflag = t.c_oflag;
    out.lflag = t.c_lflag;
    out.ispeed = t.c_ispeed;
    out.ospeed = t.c_ospeed;
    switch (t.c_cflag & CSIZE) {
    case CS5: out.dataBits = 5; break;
    case CS6: out.dataBits = 6; break;
    case CS7: out.dataBits = 7; break;
    default: out.dataBits = 8; break;
    }
    out.parityEnabled = t.c_cflag & PARENB;
    out.parityOdd = t.c_cflag & PARODD;
    out.parityStick = t.c_cflag & CMSPAR;
    out.twoStopBits = t.c_cflag & CSTOPB;
    out.hardwareFlow = t.c_cflag & CRTSCTS;
    out.softwareFlow = t.c_iflag & (IXON | IXOFF);
    out.errorBytesAsReceived = !(t.c_iflag & (INPCK | IGNPAR | PARMRK));
    out.raw = !(t.c_lflag & (ICANON | ECHO | ISIG)) && !(t.c_oflag & OPOST) && !(t.c_iflag & ICRNL);
    out.startChar = t.c_cc[VSTART];
    out.stopChar = t.c_cc[VSTOP];
    return 0;
}

} // namespace tarvex::link
