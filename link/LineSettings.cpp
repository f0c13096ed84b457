// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/LineSettings.h"

namespace tarvex::link {

uint32_t baudRateValue(TBaudRate rate)
{
    static constexpr std::array<uint32_t, 15> kRates = {
        110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
    return kRates.at(size_t(rate));
}

LineSettingsRecord buildLineSettings(TBaudRate rate, TByteSize size, TParity parity, TStopBits stop)
{
    LineSettingsRecord r;
    r.length = sizeof(LineSettingsRecord);
    r.baudRate = baudRateValue(rate);
    r.byteSize = uint8_t(int(size) + 5);
    r.parity = uint8_t(parity);
    r.stopBits = uint8_t(stop);
    r.xonChar = 0x11;
    r.xoffChar = 0x13;
    // DTR and RTS are raised while open; no flow control of any kind.
    r.flags = lsfBinary | lsfDtrEnable | lsfRtsEnable;
    if (parity != paNone)
        r.flags |= lsfParity;
    return r;
}

} // namespace tarvex::link
