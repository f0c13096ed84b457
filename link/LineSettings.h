// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarvex::link {

enum TBaudRate { br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200,
                 br38400, br56000, br57600, br115200, br128000, br256000 };
enum TByteSize { bs5, bs6, bs7, bs8 };
enum TParity { paNone, paOdd, paEven, paMark, paSpace };
enum TStopBits { sb1, sb1_5, sb2 };

uint32_t baudRateValue(TBaudRate rate);

// The line-settings record the component hands to the system, laid out byte
// for byte like the serial driver's 28-byte device control block.
#pragma pack(push, 1)
struct LineSettingsRecord {
    uint32_t length = 0;
    uint32_t baudRate = 0;
    uint32_t flags = 0;
    uint16_t reserved = 0;
    uint16_t xonLimit = 0;
    uint16_t xoffLimit = 0;
    uint8_t byteSize = 0;
    uint8_t parity = 0;
    uint8_t stopBits = 0;
    char xonChar = 0;
    char xoffChar = 0;
    char errorChar = 0;
    char eofChar = 0;
    char eventChar = 0;
    uint16_t reserved1 = 0;

    bool operator==(const LineSettingsRecord &) const = default;
};
#pragma pack(pop)
static_assert(sizeof(LineSettingsRecord) == 28);

// Flag bits of the record.
constexpr uint32_t lsfBinary = 0x0001;
constexpr uint32_t lsfParity = 0x0002;
constexpr uint32_t lsfDtrEnable = 0x0010;
constexpr uint32_t lsfRtsEnable = 0x1000;

LineSettingsRecord buildLineSettings(TBaudRate rate, TByteSize size, TParity parity, TStopBits stop);

// The five time-outs in their order, negatives already turned to all bits set.
struct CommTimeouts {
    uint32_t readInterval = 0;
    uint32_t readTotalMultiplier = 0;
    uint32_t readTotalConstant = 0;
    uint32_t writeTotalMultiplier = 0;
    uint32_t writeTotalConstant = 0;
    bool operator==(const CommTimeouts &) const = default;
};
constexpr uint32_t kMaxDword = 0xFFFFFFFFu;

inline uint32_t timeoutToSystem(int32_t value)
{
    return value < 0 ? kMaxDword : uint32_t(value);
}

} // namespace tarvex::link
