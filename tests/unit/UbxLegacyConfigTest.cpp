// SPDX-License-Identifier: BSD-2-Clause
// The keys of an M8 through its older CFG messages: which message holds a key, the polls, the
// values read from hand-made answers, and the answers sent back with only the named field
// changed. A malformed answer gives nothing, never a value read from the wrong place.

#include "binary/UbxLegacyConfig.h"

#include <vector>

#include <gtest/gtest.h>

#include "binary/UbxFrame.h"

namespace {

using namespace binary;
using Bytes = std::vector<std::uint8_t>;
using M = UbxLegacyMessage;

constexpr std::uint32_t kRateMeas = 0x30210001;
constexpr std::uint32_t kRateNav = 0x30210002;
constexpr std::uint32_t kBaud = 0x40520001;
constexpr std::uint32_t kUart1OutNmea = 0x10740002;
constexpr std::uint32_t kUsbOutUbx = 0x10780001;
constexpr std::uint32_t kPvtUart1 = 0x20910007;
constexpr std::uint32_t kPvtUsb = 0x20910009;
constexpr std::uint32_t kGalileo = 0x10310021;
constexpr std::uint32_t kGlonass = 0x10310025;

// CFG-PRT of UART1 at 9600 Bd 8N1, UBX+NMEA in and out.
const Bytes kPortAnswer{0x01, 0x00, 0x00, 0x00, 0xD0, 0x08, 0x00, 0x00, 0x80, 0x25,
                        0x00, 0x00, 0x03, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00};
// CFG-GNSS: 32 channels, GPS (enabled), Galileo (disabled), GLONASS (enabled).
const Bytes kGnssAnswer{0x00, 0x20, 0x20, 0x03, 0x00, 0x08, 0x10, 0x00, 0x01, 0x00, 0x01, 0x01,
                        0x02, 0x04, 0x08, 0x00, 0x00, 0x00, 0x01, 0x01, 0x06, 0x08, 0x0E, 0x00,
                        0x01, 0x00, 0x01, 0x01};

Bytes payloadOf(const Bytes& frame)
{
    if (frame.size() < 8) return {};
    return Bytes(frame.begin() + 6, frame.end() - 2);
}

TEST(UbxLegacyConfig, ProtocolVersionFromMonVerInBothSpellings)
{
    struct Case {
        const char* name;
        std::vector<std::string> extensions;
        std::optional<unsigned> major;
        const char* text;
    };
    const Case cases[] = {
        {"M8", {"FWVER=SPG 3.01", "PROTVER=18.00", "MOD=NEO-M8N"}, 18, "18.00"},
        {"older firmware", {"PROTVER 15.00", "GPS;SBAS;GLO"}, 15, "15.00"},
        {"F9", {"FWVER=HPG 1.32", "PROTVER=27.31"}, 27, "27.31"},
        {"none", {"FWVER=SPG 3.01", "MOD=NEO-M8N"}, std::nullopt, ""},
        {"not a number", {"PROTVER=abc"}, std::nullopt, ""},
        {"another field", {"PROTVERSION=18.00"}, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UbxMonVer version;
        version.extensions = c.extensions;
        const auto found = ubxProtocolVersion(version);
        ASSERT_EQ(found.has_value(), c.major.has_value());
        if (!found) continue;
        EXPECT_EQ(found->major, *c.major);
        EXPECT_EQ(found->text, c.text);
    }
}

TEST(UbxLegacyConfig, KeysMapToTheirMessagesAndTheRestToNone)
{
    EXPECT_EQ(ubxLegacyTarget(kRateMeas), (UbxLegacyTarget{M::Rate}));
    EXPECT_EQ(ubxLegacyTarget(kBaud), (UbxLegacyTarget{M::Port, 1}));
    EXPECT_EQ(ubxLegacyTarget(kUsbOutUbx), (UbxLegacyTarget{M::Port, 3}));
    EXPECT_EQ(ubxLegacyTarget(kPvtUart1), (UbxLegacyTarget{M::Msg, 0x01, 0x07}));
    EXPECT_EQ(ubxLegacyTarget(kPvtUsb), ubxLegacyTarget(kPvtUart1)) << "one CFG-MSG holds every port";
    EXPECT_EQ(ubxLegacyTarget(0x209100bb), (UbxLegacyTarget{M::Msg, 0xF0, 0x00}));  // GGA on UART1
    EXPECT_EQ(ubxLegacyTarget(kGlonass), (UbxLegacyTarget{M::Gnss}));
    for (const std::uint32_t none : {0x20910346u /* NAV-SIG */, 0x10310004u /* GPS L5 */, 0x20110021u /* dynamic model */,
                                     0x10310026u /* NavIC */, 0x40530001u /* UART2 rate */}) {
        SCOPED_TRACE(none);
        EXPECT_FALSE(ubxLegacyTarget(none));
    }
}

TEST(UbxLegacyConfig, PollsAreTheDocumentedBytes)
{
    EXPECT_EQ(ubxLegacyPoll({M::Rate}), (Bytes{0xB5, 0x62, 0x06, 0x08, 0x00, 0x00, 0x0E, 0x30}));
    EXPECT_EQ(ubxLegacyPoll({M::Port, 1}), (Bytes{0xB5, 0x62, 0x06, 0x00, 0x01, 0x00, 0x01, 0x08, 0x22}));
    EXPECT_EQ(ubxLegacyPoll({M::Msg, 0x01, 0x07}), (Bytes{0xB5, 0x62, 0x06, 0x01, 0x02, 0x00, 0x01, 0x07, 0x11, 0x3A}));
    EXPECT_EQ(ubxLegacyPoll({M::Gnss}), (Bytes{0xB5, 0x62, 0x06, 0x3E, 0x00, 0x00, 0x44, 0xD2}));
}

TEST(UbxLegacyConfig, ValuesAreReadFromWholeAnswers)
{
    const Bytes rate{0xE8, 0x03, 0x01, 0x00, 0x01, 0x00};
    EXPECT_EQ(ubxLegacyValues({M::Rate}, rate, std::vector{kRateMeas, kRateNav, kBaud}),
              (std::vector<UbxConfigValue>{{kRateMeas, 1000}, {kRateNav, 1}})) << "a key of another message is left out";
    EXPECT_EQ(ubxLegacyValues({M::Port, 1}, kPortAnswer, std::vector{kBaud, kUart1OutNmea}),
              (std::vector<UbxConfigValue>{{kBaud, 9600}, {kUart1OutNmea, 1}}));
    const Bytes msg{0x01, 0x07, 0x00, 0x02, 0x00, 0x05, 0x00, 0x00};
    EXPECT_EQ(ubxLegacyValues({M::Msg, 0x01, 0x07}, msg, std::vector{kPvtUart1, kPvtUsb}),
              (std::vector<UbxConfigValue>{{kPvtUart1, 2}, {kPvtUsb, 5}}));
    EXPECT_EQ(ubxLegacyValues({M::Gnss}, kGnssAnswer, std::vector{0x1031001fu, kGalileo, kGlonass, 0x10310022u}),
              (std::vector<UbxConfigValue>{{0x1031001f, 1}, {kGalileo, 0}, {kGlonass, 1}}))
        << "BeiDou has no block: not a value";
}

TEST(UbxLegacyConfig, MalformedAnswersGiveNothing)
{
    const Bytes gnssCut(kGnssAnswer.begin(), kGnssAnswer.begin() + 27);
    Bytes gnssMoreBlocks = kGnssAnswer;
    gnssMoreBlocks[3] = 4;
    const Bytes otherMessage{0x01, 0x35, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00};
    Bytes otherPort = kPortAnswer;
    otherPort[0] = 3;
    struct Case {
        const char* name;
        UbxLegacyTarget target;
        Bytes answer;
        std::uint32_t key;
    };
    const Case cases[] = {
        {"rate cut short", {M::Rate}, {0xE8, 0x03, 0x01}, kRateMeas},
        {"rate too long", {M::Rate}, Bytes(8, 0x01), kRateMeas},
        {"empty", {M::Rate}, {}, kRateMeas},
        {"port cut short", {M::Port, 1}, Bytes(kPortAnswer.begin(), kPortAnswer.begin() + 10), kBaud},
        {"answer for another port", {M::Port, 1}, otherPort, kBaud},
        {"answer for another message", {M::Msg, 0x01, 0x07}, otherMessage, kPvtUart1},
        {"message short form", {M::Msg, 0x01, 0x07}, {0x01, 0x07, 0x01}, kPvtUart1},
        {"gnss block cut", {M::Gnss}, gnssCut, kGlonass},
        {"gnss count beyond the blocks", {M::Gnss}, gnssMoreBlocks, kGlonass},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(ubxLegacyValues(c.target, c.answer, std::vector{c.key}));
        EXPECT_TRUE(ubxLegacySet(c.target, c.answer, std::vector<UbxConfigValue>{{c.key, 1}}).empty());
    }
}

TEST(UbxLegacyConfig, ASetSendsTheAnswerBackWithOnlyTheNamedFieldsChanged)
{
    const Bytes rate{0xE8, 0x03, 0x01, 0x00, 0x00, 0x00};  // time reference UTC kept
    EXPECT_EQ(payloadOf(ubxLegacySet({M::Rate}, rate, std::vector<UbxConfigValue>{{kRateMeas, 200}})),
              (Bytes{0xC8, 0x00, 0x01, 0x00, 0x00, 0x00}));

    Bytes port = kPortAnswer;
    port[8] = 0x00, port[9] = 0xC2, port[10] = 0x01;  // 115200
    port[14] = 0x01;                                   // NMEA out off
    EXPECT_EQ(payloadOf(ubxLegacySet({M::Port, 1}, kPortAnswer,
                                     std::vector<UbxConfigValue>{{kBaud, 115200}, {kUart1OutNmea, 0}})),
              port);

    const Bytes msg{0x01, 0x07, 0x03, 0x01, 0x00, 0x01, 0x00, 0x00};
    const Bytes frame = ubxLegacySet({M::Msg, 0x01, 0x07}, msg, std::vector<UbxConfigValue>{{kPvtUart1, 0}});
    EXPECT_EQ(payloadOf(frame), (Bytes{0x01, 0x07, 0x03, 0x00, 0x00, 0x01, 0x00, 0x00})) << "the other ports keep theirs";
    ASSERT_GE(frame.size(), 4u);
    EXPECT_EQ(frame[3], 0x01);

    Bytes gnss = kGnssAnswer;
    gnss[16] = 0x01;  // Galileo on, its signal mask kept
    gnss[24] = 0x00;  // GLONASS off
    EXPECT_EQ(payloadOf(ubxLegacySet({M::Gnss}, kGnssAnswer,
                                     std::vector<UbxConfigValue>{{kGalileo, 1}, {kGlonass, 0}})),
              gnss);
}

TEST(UbxLegacyConfig, ASetThatCannotBeMadeIsEmpty)
{
    const Bytes rate{0xE8, 0x03, 0x01, 0x00, 0x01, 0x00};
    const Bytes msg{0x01, 0x07, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00};
    struct Case {
        const char* name;
        UbxLegacyTarget target;
        Bytes answer;
        UbxConfigValue value;
    };
    const Case cases[] = {
        {"no measurement period", {M::Rate}, rate, {kRateMeas, 0}},
        {"period beyond its field", {M::Rate}, rate, {kRateMeas, 70000}},
        {"key of another message", {M::Rate}, rate, {kBaud, 9600}},
        {"no line rate", {M::Port, 1}, kPortAnswer, {kBaud, 0}},
        {"output rate beyond a byte", {M::Msg, 0x01, 0x07}, msg, {kPvtUart1, 256}},
        {"constellation without a block", {M::Gnss}, kGnssAnswer, {0x10310022, 1}},
        {"key with no older place", {M::Gnss}, kGnssAnswer, {0x10310004, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(ubxLegacySet(c.target, c.answer, std::vector{c.value}).empty());
    }
}

}  // namespace
