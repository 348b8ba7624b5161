// SPDX-License-Identifier: BSD-2-Clause
#include "binary/UbxCommands.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "binary/StreamFramer.h"
#include "binary/UbxConfigKeys.h"

using namespace binary;
using Bytes = std::vector<std::uint8_t>;

// Expected frames written out by hand from the message layouts; the checksums were worked out
// separately (and the poll, rate and reset frames are the ones receiver manuals print).
TEST(UbxCommandsTest, FramesAreByteExact)
{
    const std::uint32_t rateMeas = 0x30210001;
    const std::uint32_t baud = 0x40520001;
    const std::uint32_t rateKeys[] = {rateMeas, baud};
    const std::uint32_t measOnly[] = {rateMeas};
    const UbxConfigValue set[] = {{rateMeas, 200}};
    struct Case {
        const char* name;
        Bytes built;
        Bytes expected;
    };
    const Case cases[] = {
        {"MON-VER poll", ubxPollMonVer(), {0xB5, 0x62, 0x0A, 0x04, 0x00, 0x00, 0x0E, 0x34}},
        {"VALSET RAM CFG-RATE-MEAS=200", ubxValSet(ubxlayers::kRam, set),
         {0xB5, 0x62, 0x06, 0x8A, 0x0A, 0x00, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0x21, 0x30, 0xC8, 0x00, 0xB5, 0x81}},
        {"VALGET RAM rate and baud", ubxValGet(UbxLayer::Ram, rateKeys),
         {0xB5, 0x62, 0x06, 0x8B, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x21, 0x30, 0x01, 0x00, 0x52, 0x40, 0x82, 0xD3}},
        {"VALDEL BBR+flash", ubxValDel(ubxlayers::kBbr | ubxlayers::kFlash, measOnly),
         {0xB5, 0x62, 0x06, 0x8C, 0x08, 0x00, 0x00, 0x06, 0x00, 0x00, 0x01, 0x00, 0x21, 0x30, 0xF2, 0x3C}},
        {"CFG-CFG save to BBR and flash", ubxSaveConfig(),
         {0xB5, 0x62, 0x06, 0x09, 0x0D, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1F, 0x1F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x5D, 0xCB}},
        {"CFG-RST cold, software", ubxReset(UbxStart::Cold, UbxResetMode::Software),
         {0xB5, 0x62, 0x06, 0x04, 0x04, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x0D, 0x5F}},
        {"CFG-RATE 1 Hz", ubxCfgRate(1000), {0xB5, 0x62, 0x06, 0x08, 0x06, 0x00, 0xE8, 0x03, 0x01, 0x00, 0x01, 0x00, 0x01, 0x39}},
        {"CFG-PRT UART1 115200", ubxCfgPrtUart(1, 115200),
         {0xB5, 0x62, 0x06, 0x00, 0x14, 0x00, 0x01, 0x00, 0x00, 0x00, 0xD0, 0x08, 0x00, 0x00, 0x00, 0xC2, 0x01, 0x00,
          0x23, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0xDC, 0x5E}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.built, c.expected);
    }
    // Reset to defaults clears and loads every section; CFG-MSG is class, id, rate.
    const Bytes reset = ubxResetToDefaults();
    ASSERT_EQ(reset.size(), 21u);
    EXPECT_EQ(Bytes(reset.begin() + 6, reset.begin() + 19),
              (Bytes{0x1F, 0x1F, 0, 0, 0, 0, 0, 0, 0x1F, 0x1F, 0, 0, 0x03}));
    const Bytes msg = ubxCfgMsg(0x01, 0x07, 1);
    EXPECT_EQ(Bytes(msg.begin() + 2, msg.end() - 2), (Bytes{0x06, 0x01, 0x03, 0x00, 0x01, 0x07, 0x01}));
}

TEST(UbxCommandsTest, RequestsThatCannotBeFramedGiveNothing)
{
    const std::vector<std::uint32_t> tooMany(65, 0x30210001);
    const std::uint32_t malformed[] = {0x70210001};  // size bits 7
    const UbxConfigValue tooBig[] = {{0x20910007, 256}};  // one byte cannot hold 256
    const UbxConfigValue notABit[] = {{0x10310004, 2}};
    const UbxConfigValue fine[] = {{0x10310004, 1}};
    EXPECT_TRUE(ubxValGet(UbxLayer::Ram, tooMany).empty());
    EXPECT_TRUE(ubxValGet(UbxLayer::Ram, {}).empty());
    EXPECT_TRUE(ubxValGet(UbxLayer::Ram, malformed).empty());
    EXPECT_TRUE(ubxValSet(ubxlayers::kRam, tooBig).empty());
    EXPECT_TRUE(ubxValSet(ubxlayers::kRam, notABit).empty());
    EXPECT_TRUE(ubxValSet(0, fine).empty());
    EXPECT_TRUE(ubxValDel(ubxlayers::kRam, std::vector<std::uint32_t>{0x30210001}).empty()) << "RAM values cannot be deleted";
    EXPECT_TRUE(ubxCfgRate(0).empty());
    EXPECT_FALSE(ubxValSet(ubxlayers::kRam | ubxlayers::kFlash, fine).empty());
}

TEST(UbxCommandsTest, EveryBuiltFrameIsReadBackByTheFramer)
{
    const UbxConfigValue values[] = {{0x40520001, 115200}, {0x10310004, 1}, {0x20910007, 5}};
    const std::uint32_t keys[] = {0x40520001, 0x10310004};
    StreamFramer framer;
    for (const Bytes& frame : {ubxPoll(0x01, 0x07), ubxValSet(ubxlayers::kRam, values), ubxValGet(UbxLayer::Flash, keys),
                               ubxSaveConfig(), ubxResetToDefaults(), ubxCfgPrtUart(1, 9600)})
        framer.feed(frame);
    Frame frame;
    int count = 0;
    while (framer.next(frame)) ++count;
    EXPECT_EQ(count, 6);
    EXPECT_EQ(framer.counts().bytesSkipped, 0u);
}

TEST(UbxConfigKeysTest, KeyTableAgreesWithTheIds)
{
    std::set<std::uint32_t> ids;
    std::set<std::string_view> names;
    for (const UbxConfigKey& key : ubxConfigKeys()) {
        SCOPED_TRACE(key.name);
        EXPECT_TRUE(ids.insert(key.id).second) << "id listed twice";
        EXPECT_TRUE(names.insert(key.name).second) << "name listed twice";
        EXPECT_EQ(ubxConfigKeyByName(key.name), &key);
        EXPECT_EQ(ubxConfigKeyById(key.id), &key);
        const std::size_t size = ubxKeyValueSize(key.id);
        switch (key.type) {
        case UbxValueType::Bit: EXPECT_EQ(key.id >> 28 & 7, 1u); break;
        case UbxValueType::U1:
        case UbxValueType::I1:
        case UbxValueType::E1:
        case UbxValueType::X1: EXPECT_EQ(size, 1u); EXPECT_EQ(key.id >> 28 & 7, 2u); break;
        case UbxValueType::U2:
        case UbxValueType::I2: EXPECT_EQ(size, 2u); break;
        case UbxValueType::U4:
        case UbxValueType::I4: EXPECT_EQ(size, 4u); break;
        case UbxValueType::U8: EXPECT_EQ(size, 8u); break;
        }
    }
    EXPECT_EQ(ubxConfigKeyByName("cfg-rate-meas")->id, 0x30210001u) << "names match regardless of case";
    EXPECT_EQ(ubxKeyValueSize(0x50000000), 8u);
    EXPECT_EQ(ubxKeyValueSize(0x00000001), 0u);
}

TEST(UbxConfigKeysTest, AssignmentsParseAndFormat)
{
    struct Case {
        const char* text;
        UbxConfigError error;
        UbxConfigValue value;
        const char* formatted;
    };
    const Case cases[] = {
        {"CFG-RATE-MEAS=200", UbxConfigError::None, {0x30210001, 200}, "CFG-RATE-MEAS=200"},
        {" CFG-UART1-BAUDRATE = 0x1C200 ", UbxConfigError::None, {0x40520001, 115200}, "CFG-UART1-BAUDRATE=115200"},
        {"CFG-SIGNAL-GPS_L5_ENA=true", UbxConfigError::None, {0x10310004, 1}, "CFG-SIGNAL-GPS_L5_ENA=1"},
        {"CFG-MSGOUT-NMEA_ID_GSV_USB=0", UbxConfigError::None, {0x209100c7, 0}, "CFG-MSGOUT-NMEA_ID_GSV_USB=0"},
        {"0x10930006=1", UbxConfigError::None, {0x10930006, 1}, "CFG-NMEA-HIGHPREC=1"},
        {"0x20990001=7", UbxConfigError::None, {0x20990001, 7}, "0x20990001=7"},
        {"CFG-RATE-MEAS", UbxConfigError::NoEquals, {}, nullptr},
        {"CFG-RATE-MEASURE=200", UbxConfigError::UnknownKey, {}, nullptr},
        {"0x70210001=1", UbxConfigError::UnknownKey, {}, nullptr},
        {"CFG-RATE-MEAS=fast", UbxConfigError::BadValue, {}, nullptr},
        {"CFG-RATE-MEAS=200ms", UbxConfigError::BadValue, {}, nullptr},
        {"CFG-RATE-MEAS=", UbxConfigError::BadValue, {}, nullptr},
        {"CFG-RATE-MEAS=65536", UbxConfigError::OutOfRange, {}, nullptr},
        {"CFG-RATE-MEAS=-1", UbxConfigError::OutOfRange, {}, nullptr},
        {"CFG-SIGNAL-GPS_ENA=2", UbxConfigError::OutOfRange, {}, nullptr},
        {"CFG-UART1-BAUDRATE=99999999999", UbxConfigError::OutOfRange, {}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const UbxConfigParse parsed = parseUbxConfigAssignment(c.text);
        EXPECT_EQ(parsed.error, c.error);
        if (c.error != UbxConfigError::None) {
            EXPECT_FALSE(parsed.value);
            continue;
        }
        ASSERT_TRUE(parsed.value);
        EXPECT_EQ(*parsed.value, c.value);
        EXPECT_EQ(formatUbxConfigValue(*parsed.value), c.formatted);
    }
}

TEST(UbxConfigKeysTest, ValGetResponseDecodes)
{
    // Version 1, RAM, position 0; CFG-RATE-MEAS=1000 (U2), CFG-UART1-BAUDRATE=38400 (U4),
    // CFG-SIGNAL-GPS_L5_ENA=1 (bit).
    const Bytes payload{0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x21, 0x30, 0xE8, 0x03, 0x01, 0x00, 0x52, 0x40,
                        0x00, 0x96, 0x00, 0x00, 0x04, 0x00, 0x31, 0x10, 0x01};
    const auto response = decodeUbxValGetResponse(payload);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->layer, 0);
    const std::vector<UbxConfigValue> expected{{0x30210001, 1000}, {0x40520001, 38400}, {0x10310004, 1}};
    EXPECT_EQ(response->values, expected);

    Bytes cut = payload;
    cut.pop_back();
    EXPECT_FALSE(decodeUbxValGetResponse(cut)) << "a value cut short";
    Bytes poll = payload;
    poll[0] = 0x00;
    EXPECT_FALSE(decodeUbxValGetResponse(poll)) << "a poll, not an answer";
    Bytes malformed = payload;
    malformed[7] = 0x70;
    EXPECT_FALSE(decodeUbxValGetResponse(malformed)) << "a key of unknown size";
}
