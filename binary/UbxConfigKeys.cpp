// SPDX-License-Identifier: BSD-2-Clause
#include "binary/UbxConfigKeys.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <limits>

#include "binary/ByteReader.h"

namespace binary {

namespace {

using T = UbxValueType;

// Output rate keys come per port: I2C, UART1, UART2, USB, SPI in consecutive ids; only the
// UART1 and USB ones are listed, the ports a desktop user meets.
constexpr std::array kKeys{
    UbxConfigKey{"CFG-RATE-MEAS", 0x30210001, T::U2, "ms"},
    UbxConfigKey{"CFG-RATE-NAV", 0x30210002, T::U2, "cycles"},
    UbxConfigKey{"CFG-RATE-TIMEREF", 0x20210003, T::E1, ""},
    UbxConfigKey{"CFG-UART1-BAUDRATE", 0x40520001, T::U4, "Bd"},
    UbxConfigKey{"CFG-UART1-ENABLED", 0x10520005, T::Bit, ""},
    UbxConfigKey{"CFG-UART2-BAUDRATE", 0x40530001, T::U4, "Bd"},
    UbxConfigKey{"CFG-UART1INPROT-UBX", 0x10730001, T::Bit, ""},
    UbxConfigKey{"CFG-UART1INPROT-NMEA", 0x10730002, T::Bit, ""},
    UbxConfigKey{"CFG-UART1INPROT-RTCM3X", 0x10730004, T::Bit, ""},
    UbxConfigKey{"CFG-UART1OUTPROT-UBX", 0x10740001, T::Bit, ""},
    UbxConfigKey{"CFG-UART1OUTPROT-NMEA", 0x10740002, T::Bit, ""},
    UbxConfigKey{"CFG-UART1OUTPROT-RTCM3X", 0x10740004, T::Bit, ""},
    UbxConfigKey{"CFG-USBINPROT-UBX", 0x10770001, T::Bit, ""},
    UbxConfigKey{"CFG-USBINPROT-NMEA", 0x10770002, T::Bit, ""},
    UbxConfigKey{"CFG-USBINPROT-RTCM3X", 0x10770004, T::Bit, ""},
    UbxConfigKey{"CFG-USBOUTPROT-UBX", 0x10780001, T::Bit, ""},
    UbxConfigKey{"CFG-USBOUTPROT-NMEA", 0x10780002, T::Bit, ""},
    UbxConfigKey{"CFG-USBOUTPROT-RTCM3X", 0x10780004, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-GPS_ENA", 0x1031001f, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-GPS_L1CA_ENA", 0x10310001, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-GPS_L2C_ENA", 0x10310003, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-GPS_L5_ENA", 0x10310004, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-SBAS_ENA", 0x10310020, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-SBAS_L1CA_ENA", 0x10310005, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-GAL_ENA", 0x10310021, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-GAL_E1_ENA", 0x10310007, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-GAL_E5A_ENA", 0x10310009, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-GAL_E5B_ENA", 0x1031000a, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-BDS_ENA", 0x10310022, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-BDS_B1_ENA", 0x1031000d, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-BDS_B2_ENA", 0x1031000e, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-BDS_B2A_ENA", 0x10310028, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-QZSS_ENA", 0x10310024, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-QZSS_L1CA_ENA", 0x10310012, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-QZSS_L1S_ENA", 0x10310014, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-QZSS_L2C_ENA", 0x10310015, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-QZSS_L5_ENA", 0x10310017, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-GLO_ENA", 0x10310025, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-GLO_L1_ENA", 0x10310018, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-GLO_L2_ENA", 0x1031001a, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-NAVIC_ENA", 0x10310026, T::Bit, ""},
    UbxConfigKey{"CFG-SIGNAL-NAVIC_L5_ENA", 0x1031001d, T::Bit, ""},
    UbxConfigKey{"CFG-MSGOUT-UBX_NAV_PVT_UART1", 0x20910007, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-UBX_NAV_PVT_USB", 0x20910009, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-UBX_NAV_SAT_UART1", 0x20910016, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-UBX_NAV_SAT_USB", 0x20910018, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-UBX_NAV_SIG_UART1", 0x20910346, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-UBX_NAV_SIG_USB", 0x20910348, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-UBX_NAV_DOP_UART1", 0x20910039, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-UBX_NAV_DOP_USB", 0x2091003b, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-UBX_NAV_STATUS_UART1", 0x2091001b, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-UBX_NAV_STATUS_USB", 0x2091001d, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-UBX_NAV_TIMEUTC_UART1", 0x2091005c, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-UBX_NAV_TIMEUTC_USB", 0x2091005e, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-UBX_NAV_HPPOSLLH_UART1", 0x20910034, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-UBX_NAV_HPPOSLLH_USB", 0x20910036, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-UBX_MON_RF_UART1", 0x2091035a, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-UBX_MON_RF_USB", 0x2091035c, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-UBX_MON_HW_UART1", 0x209101b5, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-UBX_MON_HW_USB", 0x209101b7, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-UBX_RXM_RTCM_UART1", 0x20910269, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-UBX_RXM_RTCM_USB", 0x2091026b, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-NMEA_ID_GGA_UART1", 0x209100bb, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-NMEA_ID_GGA_USB", 0x209100bd, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-NMEA_ID_GLL_UART1", 0x209100ca, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-NMEA_ID_GLL_USB", 0x209100cc, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-NMEA_ID_GSA_UART1", 0x209100c0, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-NMEA_ID_GSA_USB", 0x209100c2, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-NMEA_ID_GSV_UART1", 0x209100c5, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-NMEA_ID_GSV_USB", 0x209100c7, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-NMEA_ID_RMC_UART1", 0x209100ac, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-NMEA_ID_RMC_USB", 0x209100ae, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-NMEA_ID_VTG_UART1", 0x209100b1, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-NMEA_ID_VTG_USB", 0x209100b3, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-NMEA_ID_ZDA_UART1", 0x209100d9, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-NMEA_ID_ZDA_USB", 0x209100db, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-NMEA_ID_GST_UART1", 0x209100d4, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-NMEA_ID_GST_USB", 0x209100d6, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-NMEA_ID_GNS_UART1", 0x209100b6, T::U1, ""},
    UbxConfigKey{"CFG-MSGOUT-NMEA_ID_GNS_USB", 0x209100b8, T::U1, ""},
    UbxConfigKey{"CFG-NAVSPG-FIXMODE", 0x20110011, T::E1, ""},
    UbxConfigKey{"CFG-NAVSPG-DYNMODEL", 0x20110021, T::E1, ""},
    UbxConfigKey{"CFG-NMEA-PROTVER", 0x20930001, T::E1, ""},
    UbxConfigKey{"CFG-NMEA-HIGHPREC", 0x10930006, T::Bit, ""},
    UbxConfigKey{"CFG-ITFM-ENABLE", 0x1041000d, T::Bit, ""},
};

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool isSigned(UbxValueType type) { return type == T::I1 || type == T::I2 || type == T::I4; }

// A whole number, decimal (with a sign) or 0x hexadecimal; nothing else may follow.
std::optional<std::int64_t> parseNumber(std::string_view text, bool& hexadecimal)
{
    hexadecimal = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (hexadecimal) text.remove_prefix(2);
    if (text.empty()) return std::nullopt;
    std::uint64_t magnitude = 0;
    bool negative = false;
    if (!hexadecimal && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const auto result = std::from_chars(text.data(), text.data() + text.size(), magnitude, hexadecimal ? 16 : 10);
    if (result.ec != std::errc{} || result.ptr != text.data() + text.size()) return std::nullopt;
    if (magnitude > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
    const auto value = static_cast<std::int64_t>(magnitude);
    return negative ? -value : value;
}

}  // namespace

std::size_t ubxKeyValueSize(std::uint32_t key)
{
    switch (key >> 28 & 0x07) {
    case 1: return 1;
    case 2: return 1;
    case 3: return 2;
    case 4: return 4;
    case 5: return 8;
    default: return 0;
    }
}

std::span<const UbxConfigKey> ubxConfigKeys() { return kKeys; }

std::string_view ubxConfigErrorKey(UbxConfigError error)
{
    switch (error) {
    case UbxConfigError::None: return {};
    case UbxConfigError::NoEquals: return "UbxConfigNoEquals";
    case UbxConfigError::UnknownKey: return "UbxConfigUnknownKey";
    case UbxConfigError::BadValue: return "UbxConfigBadValue";
    case UbxConfigError::OutOfRange: return "UbxConfigOutOfRange";
    }
    return {};
}

const UbxConfigKey* ubxConfigKeyByName(std::string_view name)
{
    for (const UbxConfigKey& key : kKeys)
        if (sameName(key.name, name)) return &key;
    return nullptr;
}

const UbxConfigKey* ubxConfigKeyById(std::uint32_t id)
{
    for (const UbxConfigKey& key : kKeys)
        if (key.id == id) return &key;
    return nullptr;
}

UbxConfigParse parseUbxConfigAssignment(std::string_view text)
{
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) return {std::nullopt, UbxConfigError::NoEquals};
    const std::string_view name = trim(text.substr(0, equals));
    const std::string_view valueText = trim(text.substr(equals + 1));

    std::uint32_t id = 0;
    UbxValueType type = T::U8;
    if (const UbxConfigKey* key = ubxConfigKeyByName(name)) {
        id = key->id;
        type = key->type;
    } else {
        bool hexadecimal = false;
        const auto number = parseNumber(name, hexadecimal);
        if (!number || !hexadecimal || *number > 0xFFFFFFFF || ubxKeyValueSize(static_cast<std::uint32_t>(*number)) == 0)
            return {std::nullopt, UbxConfigError::UnknownKey};
        id = static_cast<std::uint32_t>(*number);
        if (const UbxConfigKey* known = ubxConfigKeyById(id)) type = known->type;
        else type = (id >> 28 & 0x07) == 1 ? T::Bit : T::U8;
    }
    const std::size_t size = ubxKeyValueSize(id);

    std::int64_t value = 0;
    if (sameName(valueText, "true")) {
        value = 1;
    } else if (sameName(valueText, "false")) {
        value = 0;
    } else {
        bool hexadecimal = false;
        const auto number = parseNumber(valueText, hexadecimal);
        if (!number) return {std::nullopt, UbxConfigError::BadValue};
        value = *number;
    }
    if (type == T::Bit) {
        if (value != 0 && value != 1) return {std::nullopt, UbxConfigError::OutOfRange};
    } else if (isSigned(type)) {
        const std::int64_t limit = std::int64_t{1} << (8 * size - 1);
        if (value < -limit || value >= limit) return {std::nullopt, UbxConfigError::OutOfRange};
    } else {
        if (value < 0) return {std::nullopt, UbxConfigError::OutOfRange};
        if (size < 8 && static_cast<std::uint64_t>(value) >= (std::uint64_t{1} << (8 * size)))
            return {std::nullopt, UbxConfigError::OutOfRange};
    }
    const std::uint64_t stored =
        size < 8 ? static_cast<std::uint64_t>(value) & ((std::uint64_t{1} << (8 * size)) - 1) : static_cast<std::uint64_t>(value);
    return {UbxConfigValue{id, stored}, UbxConfigError::None};
}

std::string formatUbxConfigValue(const UbxConfigValue& value)
{
    const UbxConfigKey* key = ubxConfigKeyById(value.key);
    std::string text;
    if (key) {
        text = std::string(key->name);
    } else {
        char id[16];
        std::snprintf(id, sizeof id, "0x%08x", static_cast<unsigned>(value.key));
        text = id;
    }
    text += '=';
    const std::size_t size = ubxKeyValueSize(value.key);
    if (key && isSigned(key->type) && size > 0 && size < 8) {
        const std::uint64_t sign = std::uint64_t{1} << (8 * size - 1);
        const std::int64_t number = static_cast<std::int64_t>(value.value ^ sign) - static_cast<std::int64_t>(sign);
        return text + std::to_string(number);
    }
    if (key && key->type == T::Bit) return text + (value.value != 0 ? "1" : "0");
    if (key && key->type == T::X1) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02x", static_cast<unsigned>(value.value & 0xFF));
        return text + hex;
    }
    return text + std::to_string(value.value);
}

// CFG-VALGET answer: version 1, layer, position U2, then key id U4 and value pairs.
std::optional<UbxValGetResponse> decodeUbxValGetResponse(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 4 || in.u1(0) != 1) return std::nullopt;
    UbxValGetResponse response;
    response.layer = in.u1(1);
    response.position = in.u2(2);
    std::size_t at = 4;
    while (at < in.size()) {
        if (!in.has(at, 4)) return std::nullopt;
        const std::uint32_t key = in.u4(at);
        const std::size_t size = ubxKeyValueSize(key);
        if (size == 0 || !in.has(at + 4, size)) return std::nullopt;
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < size; ++i) value |= static_cast<std::uint64_t>(in.u1(at + 4 + i)) << (8 * i);
        response.values.push_back({key, value});
        at += 4 + size;
    }
    return response;
}

}  // namespace binary
