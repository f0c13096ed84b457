// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/LineSettings.h"

namespace tarvex::link {

// Applies a line-settings record to a terminal through the kernel's termios2
// interface, which takes any bit rate and, unlike glibc's tcsetattr, every
// data size and parity on a pseudo-terminal too. Returns 0 or an errno.
int applyTermios2(int fd, const LineSettingsRecord &settings);

// Reads back what a terminal is set to (for tests and diagnostics).
struct Termios2Snapshot {
    unsigned cflag = 0;
    unsigned iflag = 0;
    unsigned oflag = 0;
    unsigned lflag = 0;
    unsigned ispeed = 0;
    unsigned ospeed = 0;
    int dataBits = 0;
    bool parityEnabled = false;
    bool parityOdd = false;
    bool parityStick = false;
    bool twoStopBits = false;
    bool hardwareFlow = false;
    bool softwareFlow = false;
    bool raw = false;
    bool errorBytesAsReceived = false; // no INPCK, IGNPAR or PARMRK
    unsigned char startChar = 0;
    unsigned char stopChar = 0;
};
int readTermios2(int fd, Termios2Snapshot &snapshot);

} // namespace tarvex::link
