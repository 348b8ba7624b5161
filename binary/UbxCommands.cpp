// SPDX-License-Identifier: BSD-2-Clause
#include "binary/UbxCommands.h"

#include "binary/ByteReader.h"
#include "binary/UbxFrame.h"

namespace binary {

namespace {

constexpr std::uint8_t kCfg = 0x06;
constexpr std::uint32_t kAllSections = 0x00001F1F;  // every section bit of the legacy masks

bool validKeys(std::span<const std::uint32_t> keys)
{
    if (keys.empty() || keys.size() > kUbxMaxKeysPerMessage) return false;
    for (const std::uint32_t key : keys)
        if (ubxKeyValueSize(key) == 0) return false;
    return true;
}

std::vector<std::uint8_t> cfgCfg(std::uint32_t clear, std::uint32_t save, std::uint32_t load, std::uint8_t devices)
{
    std::vector<std::uint8_t> payload;
    putLittleEndian(payload, clear, 4);
    putLittleEndian(payload, save, 4);
    putLittleEndian(payload, load, 4);
    payload.push_back(devices);
    return ubxFrame(kCfg, 0x09, payload);
}

}  // namespace

std::vector<std::uint8_t> ubxPoll(std::uint8_t messageClass, std::uint8_t messageId)
{
    return ubxFrame(messageClass, messageId, {});
}

std::vector<std::uint8_t> ubxPollMonVer() { return ubxPoll(0x0A, 0x04); }

// CFG-VALGET poll: version 0, layer, position, keys.
std::vector<std::uint8_t> ubxValGet(UbxLayer layer, std::span<const std::uint32_t> keys, std::uint16_t position)
{
    if (!validKeys(keys)) return {};
    std::vector<std::uint8_t> payload{0x00, static_cast<std::uint8_t>(layer)};
    putLittleEndian(payload, position, 2);
    for (const std::uint32_t key : keys) putLittleEndian(payload, key, 4);
    return ubxFrame(kCfg, 0x8B, payload);
}

// CFG-VALSET: version 0, layers, two reserved bytes, then key and value of each.
std::vector<std::uint8_t> ubxValSet(std::uint8_t layers, std::span<const UbxConfigValue> values)
{
    if (values.empty() || values.size() > kUbxMaxKeysPerMessage || layers == 0) return {};
    std::vector<std::uint8_t> payload{0x00, layers, 0x00, 0x00};
    for (const UbxConfigValue& value : values) {
        const std::size_t size = ubxKeyValueSize(value.key);
        if (size == 0) return {};
        if (size < 8 && value.value >= (std::uint64_t{1} << (8 * size))) return {};
        if ((value.key >> 28 & 0x07) == 1 && value.value > 1) return {};
        putLittleEndian(payload, value.key, 4);
        putLittleEndian(payload, value.value, size);
    }
    return ubxFrame(kCfg, 0x8A, payload);
}

// CFG-VALDEL: version 0, layers (only BBR and flash hold deletable values), reserved, keys.
std::vector<std::uint8_t> ubxValDel(std::uint8_t layers, std::span<const std::uint32_t> keys)
{
    layers &= ubxlayers::kBbr | ubxlayers::kFlash;
    if (!validKeys(keys) || layers == 0) return {};
    std::vector<std::uint8_t> payload{0x00, layers, 0x00, 0x00};
    for (const std::uint32_t key : keys) putLittleEndian(payload, key, 4);
    return ubxFrame(kCfg, 0x8C, payload);
}

std::vector<std::uint8_t> ubxSaveConfig(std::uint8_t devices) { return cfgCfg(0, kAllSections, 0, devices); }

std::vector<std::uint8_t> ubxResetToDefaults(std::uint8_t devices)
{
    return cfgCfg(kAllSections, 0, kAllSections, devices);
}

// CFG-RST: navBbrMask, resetMode, reserved.
std::vector<std::uint8_t> ubxReset(UbxStart start, UbxResetMode mode)
{
    std::vector<std::uint8_t> payload;
    putLittleEndian(payload, static_cast<std::uint16_t>(start), 2);
    payload.push_back(static_cast<std::uint8_t>(mode));
    payload.push_back(0x00);
    return ubxFrame(kCfg, 0x04, payload);
}

// CFG-RATE: measRate ms, navRate cycles, timeRef (0 UTC, 1 GPS).
std::vector<std::uint8_t> ubxCfgRate(std::uint16_t measurementMs, std::uint16_t navigationCycles, std::uint16_t timeReference)
{
    if (measurementMs == 0 || navigationCycles == 0) return {};
    std::vector<std::uint8_t> payload;
    putLittleEndian(payload, measurementMs, 2);
    putLittleEndian(payload, navigationCycles, 2);
    putLittleEndian(payload, timeReference, 2);
    return ubxFrame(kCfg, 0x08, payload);
}

std::vector<std::uint8_t> ubxCfgMsg(std::uint8_t messageClass, std::uint8_t messageId, std::uint8_t rate)
{
    const std::uint8_t payload[] = {messageClass, messageId, rate};
    return ubxFrame(kCfg, 0x01, payload);
}

// CFG-PRT for a UART: portID, reserved, txReady, mode (0x08D0: 8 data bits, no parity, 1 stop
// bit), baudRate, inProtoMask, outProtoMask, flags, reserved.
std::vector<std::uint8_t> ubxCfgPrtUart(std::uint8_t port, std::uint32_t baud)
{
    if (baud == 0) return {};
    std::vector<std::uint8_t> payload{port, 0x00};
    putLittleEndian(payload, 0, 2);
    putLittleEndian(payload, 0x000008D0, 4);
    putLittleEndian(payload, baud, 4);
    putLittleEndian(payload, 0x0023, 2);  // UBX, NMEA, RTCM3 in
    putLittleEndian(payload, 0x0003, 2);  // UBX, NMEA out
    putLittleEndian(payload, 0, 2);
    putLittleEndian(payload, 0, 2);
    return ubxFrame(kCfg, 0x00, payload);
}

}  // namespace binary
