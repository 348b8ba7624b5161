// SPDX-License-Identifier: BSD-2-Clause
#include "binary/UbxLegacyConfig.h"

#include <array>
#include <charconv>

#include "binary/ByteReader.h"
#include "binary/UbxFrame.h"

namespace binary {

namespace {

constexpr std::uint8_t kCfg = 0x06;

using M = UbxLegacyMessage;

// How a key's value sits in its message's payload.
enum class FieldKind : std::uint8_t { U2, U4, Bit16, MsgRate, GnssEnable };
struct Field {
    UbxLegacyTarget target;
    FieldKind kind;
    std::uint8_t at;       // U2, U4, Bit16: payload offset; MsgRate: port; GnssEnable: gnssId
    std::uint8_t bit = 0;  // Bit16
};

struct KeyField {
    std::uint32_t key;
    Field field;
};

// CFG-PRT protocol mask bits: UBX 0, NMEA 1, RTCM3 5; inProtoMask at 12, outProtoMask at 14.
// Port 1 is UART1, port 3 USB.
constexpr std::array kFields{
    KeyField{0x30210001, {{M::Rate}, FieldKind::U2, 0}},           // CFG-RATE-MEAS: measRate
    KeyField{0x30210002, {{M::Rate}, FieldKind::U2, 2}},           // CFG-RATE-NAV: navRate
    KeyField{0x20210003, {{M::Rate}, FieldKind::U2, 4}},           // CFG-RATE-TIMEREF: timeRef
    KeyField{0x40520001, {{M::Port, 1}, FieldKind::U4, 8}},        // CFG-UART1-BAUDRATE
    KeyField{0x10730001, {{M::Port, 1}, FieldKind::Bit16, 12, 0}}, // CFG-UART1INPROT-UBX
    KeyField{0x10730002, {{M::Port, 1}, FieldKind::Bit16, 12, 1}}, // CFG-UART1INPROT-NMEA
    KeyField{0x10730004, {{M::Port, 1}, FieldKind::Bit16, 12, 5}}, // CFG-UART1INPROT-RTCM3X
    KeyField{0x10740001, {{M::Port, 1}, FieldKind::Bit16, 14, 0}}, // CFG-UART1OUTPROT-UBX
    KeyField{0x10740002, {{M::Port, 1}, FieldKind::Bit16, 14, 1}}, // CFG-UART1OUTPROT-NMEA
    KeyField{0x10740004, {{M::Port, 1}, FieldKind::Bit16, 14, 5}}, // CFG-UART1OUTPROT-RTCM3X
    KeyField{0x10770001, {{M::Port, 3}, FieldKind::Bit16, 12, 0}}, // CFG-USBINPROT-UBX
    KeyField{0x10770002, {{M::Port, 3}, FieldKind::Bit16, 12, 1}}, // CFG-USBINPROT-NMEA
    KeyField{0x10770004, {{M::Port, 3}, FieldKind::Bit16, 12, 5}}, // CFG-USBINPROT-RTCM3X
    KeyField{0x10780001, {{M::Port, 3}, FieldKind::Bit16, 14, 0}}, // CFG-USBOUTPROT-UBX
    KeyField{0x10780002, {{M::Port, 3}, FieldKind::Bit16, 14, 1}}, // CFG-USBOUTPROT-NMEA
    KeyField{0x10780004, {{M::Port, 3}, FieldKind::Bit16, 14, 5}}, // CFG-USBOUTPROT-RTCM3X
    // CFG-GNSS gnssId: GPS 0, SBAS 1, Galileo 2, BeiDou 3, QZSS 5, GLONASS 6.
    KeyField{0x1031001f, {{M::Gnss}, FieldKind::GnssEnable, 0}},   // CFG-SIGNAL-GPS_ENA
    KeyField{0x10310020, {{M::Gnss}, FieldKind::GnssEnable, 1}},   // CFG-SIGNAL-SBAS_ENA
    KeyField{0x10310021, {{M::Gnss}, FieldKind::GnssEnable, 2}},   // CFG-SIGNAL-GAL_ENA
    KeyField{0x10310022, {{M::Gnss}, FieldKind::GnssEnable, 3}},   // CFG-SIGNAL-BDS_ENA
    KeyField{0x10310024, {{M::Gnss}, FieldKind::GnssEnable, 5}},   // CFG-SIGNAL-QZSS_ENA
    KeyField{0x10310025, {{M::Gnss}, FieldKind::GnssEnable, 6}},   // CFG-SIGNAL-GLO_ENA
};

// Message-output keys come per port in consecutive ids: I2C, UART1, UART2, USB, SPI, which are
// CFG-MSG's ports 0 to 4. Listed by the I2C key. NAV-SIG and MON-RF are missing: receivers
// before generation 9 do not have them.
struct MessageOutput {
    std::uint32_t i2cKey;
    std::uint8_t messageClass, messageId;
};
constexpr std::array kOutputs{
    MessageOutput{0x20910006, 0x01, 0x07},  // NAV-PVT
    MessageOutput{0x20910015, 0x01, 0x35},  // NAV-SAT
    MessageOutput{0x20910038, 0x01, 0x04},  // NAV-DOP
    MessageOutput{0x2091001a, 0x01, 0x03},  // NAV-STATUS
    MessageOutput{0x2091005b, 0x01, 0x21},  // NAV-TIMEUTC
    MessageOutput{0x20910033, 0x01, 0x14},  // NAV-HPPOSLLH
    MessageOutput{0x209101b4, 0x0A, 0x09},  // MON-HW
    MessageOutput{0x20910268, 0x02, 0x32},  // RXM-RTCM
    MessageOutput{0x209100ba, 0xF0, 0x00},  // GGA
    MessageOutput{0x209100c9, 0xF0, 0x01},  // GLL
    MessageOutput{0x209100bf, 0xF0, 0x02},  // GSA
    MessageOutput{0x209100c4, 0xF0, 0x03},  // GSV
    MessageOutput{0x209100ab, 0xF0, 0x04},  // RMC
    MessageOutput{0x209100b0, 0xF0, 0x05},  // VTG
    MessageOutput{0x209100d3, 0xF0, 0x07},  // GST
    MessageOutput{0x209100d8, 0xF0, 0x08},  // ZDA
    MessageOutput{0x209100b5, 0xF0, 0x0D},  // GNS
};
constexpr std::uint32_t kOutputPorts = 5;

std::optional<Field> fieldOf(std::uint32_t key)
{
    for (const KeyField& entry : kFields)
        if (entry.key == key) return entry.field;
    for (const MessageOutput& output : kOutputs)
        if (key >= output.i2cKey && key - output.i2cKey < kOutputPorts)
            return Field{{M::Msg, output.messageClass, output.messageId}, FieldKind::MsgRate,
                         static_cast<std::uint8_t>(key - output.i2cKey)};
    return std::nullopt;
}

// CFG-GNSS: msgVer 0, numTrkChHw, numTrkChUse, numConfigBlocks, then per block gnssId,
// resTrkCh, maxTrkCh, reserved, flags (bit 0: enabled).
std::optional<std::size_t> gnssBlock(const ByteReader& in, std::uint8_t gnssId)
{
    for (std::size_t at = 4; at + 8 <= in.size(); at += 8)
        if (in.u1(at) == gnssId) return at;
    return std::nullopt;
}

}  // namespace

std::optional<UbxProtocolVersion> ubxProtocolVersion(const UbxMonVer& version)
{
    constexpr std::string_view kName = "PROTVER";
    for (const std::string& extension : version.extensions) {
        std::string_view text = extension;
        if (!text.starts_with(kName)) continue;
        text.remove_prefix(kName.size());
        if (text.empty() || (text.front() != '=' && text.front() != ' ')) continue;
        while (!text.empty() && (text.front() == '=' || text.front() == ' ')) text.remove_prefix(1);
        while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
        unsigned major = 0;
        const auto parsed = std::from_chars(text.data(), text.data() + text.size(), major);
        if (parsed.ec != std::errc{} || (parsed.ptr != text.data() + text.size() && *parsed.ptr != '.')) continue;
        return UbxProtocolVersion{major, std::string(text)};
    }
    return std::nullopt;
}

std::optional<UbxLegacyTarget> ubxLegacyTarget(std::uint32_t key)
{
    const std::optional<Field> field = fieldOf(key);
    if (!field) return std::nullopt;
    return field->target;
}

std::vector<std::uint8_t> ubxLegacyPoll(const UbxLegacyTarget& target)
{
    const auto id = static_cast<std::uint8_t>(target.message);
    switch (target.message) {
    case M::Port: return ubxFrame(kCfg, id, std::vector<std::uint8_t>{target.first});
    case M::Msg: return ubxFrame(kCfg, id, std::vector<std::uint8_t>{target.first, target.second});
    case M::Rate:
    case M::Gnss: return ubxFrame(kCfg, id, {});
    }
    return {};
}

bool ubxLegacyIsAnswer(const UbxLegacyTarget& target, std::uint8_t messageId, std::span<const std::uint8_t> payload)
{
    if (messageId != static_cast<std::uint8_t>(target.message)) return false;
    const ByteReader in(payload);
    switch (target.message) {
    case M::Port: return in.size() == 20 && in.u1(0) == target.first;
    case M::Msg: return in.size() == 8 && in.u1(0) == target.first && in.u1(1) == target.second;
    case M::Rate: return in.size() == 6;
    case M::Gnss: return in.size() >= 4 && in.u1(0) == 0 && in.size() == 4 + 8 * std::size_t{in.u1(3)};
    }
    return false;
}

std::optional<std::vector<UbxConfigValue>> ubxLegacyValues(const UbxLegacyTarget& target,
                                                           std::span<const std::uint8_t> answer,
                                                           std::span<const std::uint32_t> keys)
{
    if (!ubxLegacyIsAnswer(target, static_cast<std::uint8_t>(target.message), answer)) return std::nullopt;
    const ByteReader in(answer);
    std::vector<UbxConfigValue> values;
    for (const std::uint32_t key : keys) {
        const std::optional<Field> field = fieldOf(key);
        if (!field || field->target != target) continue;
        switch (field->kind) {
        case FieldKind::U2: values.push_back({key, in.u2(field->at)}); break;
        case FieldKind::U4: values.push_back({key, in.u4(field->at)}); break;
        case FieldKind::Bit16: values.push_back({key, static_cast<std::uint64_t>(in.u2(field->at) >> field->bit & 1u)}); break;
        case FieldKind::MsgRate: values.push_back({key, in.u1(2 + std::size_t{field->at})}); break;
        case FieldKind::GnssEnable:
            if (const auto block = gnssBlock(in, field->at)) values.push_back({key, in.u4(*block + 4) & 1u});
            break;
        }
    }
    return values;
}

std::vector<std::uint8_t> ubxLegacySet(const UbxLegacyTarget& target, std::span<const std::uint8_t> answer,
                                       std::span<const UbxConfigValue> values)
{
    if (values.empty() || !ubxLegacyIsAnswer(target, static_cast<std::uint8_t>(target.message), answer)) return {};
    std::vector<std::uint8_t> payload(answer.begin(), answer.end());
    const auto put = [&payload](std::size_t at, std::uint64_t value, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i) payload[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    for (const UbxConfigValue& value : values) {
        const std::optional<Field> field = fieldOf(value.key);
        if (!field || field->target != target) return {};
        const ByteReader in(payload);
        switch (field->kind) {
        case FieldKind::U2:
            // A measurement period or navigation rate of 0 means nothing to the receiver.
            if (value.value > 0xFFFF || (value.value == 0 && field->at < 4)) return {};
            put(field->at, value.value, 2);
            break;
        case FieldKind::U4:
            if (value.value == 0 || value.value > 0xFFFFFFFF) return {};
            put(field->at, value.value, 4);
            break;
        case FieldKind::Bit16: {
            if (value.value > 1) return {};
            const auto mask = static_cast<std::uint16_t>(1u << field->bit);
            const std::uint16_t bits = in.u2(field->at);
            put(field->at, value.value != 0 ? bits | mask : bits & ~mask, 2);
            break;
        }
        case FieldKind::MsgRate:
            if (value.value > 0xFF) return {};
            payload[2 + std::size_t{field->at}] = static_cast<std::uint8_t>(value.value);
            break;
        case FieldKind::GnssEnable: {
            const auto block = gnssBlock(in, field->at);
            if (!block || value.value > 1) return {};
            const std::uint32_t flags = in.u4(*block + 4);
            put(*block + 4, value.value != 0 ? flags | 1u : flags & ~1u, 4);
            break;
        }
        }
    }
    return ubxFrame(kCfg, static_cast<std::uint8_t>(target.message), payload);
}

}  // namespace binary
