// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "binary/UbxConfigKeys.h"

// Byte builders for the commands the program sends to UBX receivers: each returns the whole
// frame to write, or an empty vector when the request cannot be framed (too many keys, a key
// of malformed size).
namespace binary {

enum class UbxLayer : std::uint8_t { Ram = 0, Bbr = 1, Flash = 2, Default = 7 };

// Layer bits of CFG-VALSET and CFG-VALDEL.
namespace ubxlayers {
constexpr std::uint8_t kRam = 0x01;
constexpr std::uint8_t kBbr = 0x02;
constexpr std::uint8_t kFlash = 0x04;
}  // namespace ubxlayers

// Device bits of CFG-CFG: battery-backed RAM, flash, EEPROM, SPI flash.
namespace ubxdevices {
constexpr std::uint8_t kBbr = 0x01;
constexpr std::uint8_t kFlash = 0x02;
constexpr std::uint8_t kEeprom = 0x04;
constexpr std::uint8_t kSpiFlash = 0x10;
}  // namespace ubxdevices

// CFG-RST navBbrMask: which kept navigation data to clear.
enum class UbxStart : std::uint16_t { Hot = 0x0000, Warm = 0x0001, Cold = 0xFFFF };
// CFG-RST resetMode.
enum class UbxResetMode : std::uint8_t {
    HardwareNow = 0x00,
    Software = 0x01,
    SoftwareGnssOnly = 0x02,
    HardwareAfterShutdown = 0x04,
    GnssStop = 0x08,
    GnssStart = 0x09,
};

constexpr std::size_t kUbxMaxKeysPerMessage = 64;

std::vector<std::uint8_t> ubxPoll(std::uint8_t messageClass, std::uint8_t messageId);
std::vector<std::uint8_t> ubxPollMonVer();

// Generation 9 and later.
std::vector<std::uint8_t> ubxValGet(UbxLayer layer, std::span<const std::uint32_t> keys, std::uint16_t position = 0);
std::vector<std::uint8_t> ubxValSet(std::uint8_t layers, std::span<const UbxConfigValue> values);
std::vector<std::uint8_t> ubxValDel(std::uint8_t layers, std::span<const std::uint32_t> keys);

// CFG-CFG: keep the current configuration in battery-backed RAM and flash; or clear what is
// kept and load the defaults. Both every generation understands.
std::vector<std::uint8_t> ubxSaveConfig(std::uint8_t devices = ubxdevices::kBbr | ubxdevices::kFlash);
std::vector<std::uint8_t> ubxResetToDefaults(std::uint8_t devices = ubxdevices::kBbr | ubxdevices::kFlash);
std::vector<std::uint8_t> ubxReset(UbxStart start, UbxResetMode mode);

// Generation 8 and older.
std::vector<std::uint8_t> ubxCfgRate(std::uint16_t measurementMs, std::uint16_t navigationCycles = 1,
                                     std::uint16_t timeReference = 1);
// Output rate of one message on the port the command arrives on (0 off, n every n-th epoch).
std::vector<std::uint8_t> ubxCfgMsg(std::uint8_t messageClass, std::uint8_t messageId, std::uint8_t rate);
// UART settings: 8N1 at baud, input UBX+NMEA+RTCM3, output UBX+NMEA.
std::vector<std::uint8_t> ubxCfgPrtUart(std::uint8_t port, std::uint32_t baud);

}  // namespace binary
