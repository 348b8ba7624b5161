// SPDX-License-Identifier: BSD-2-Clause
// The identity and health rows as the user reads them, through the shipped message tables:
// folded from the receiver's own messages, every state in words, nothing unknown passed off
// as fine.
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "app/ReceiverHealthText.h"
#include "receiver/ReceiverState.h"
#include "platform/Services.h"
#include "posix/StringsBundle.h"

namespace {

using binary::UbxAntennaPower;
using binary::UbxAntennaStatus;
using binary::UbxJammingState;
using binary::UbxSpoofingState;

const std::filesystem::path kResources = std::filesystem::path(GPSDESK_SOURCE_DIR) / "resources";

class ReceiverHealthTextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = platform::services();
        platform::services().bundle = &english;
    }
    void TearDown() override { platform::services() = saved; }

    static std::map<std::string, ReceiverHealthRow> byKey(const ReceiverHealth& health)
    {
        std::map<std::string, ReceiverHealthRow> rows;
        for (const ReceiverHealthRow& row : ReceiverHealthText::rows(health)) rows[row.key] = row;
        return rows;
    }

    platform::posix::StringsBundle english{kResources, std::vector<std::string>{"en"}};
    platform::Services saved;
};

TEST_F(ReceiverHealthTextTest, NothingReportedSaysUnknownAndWhyOnEveryRow)
{
    const auto rows = ReceiverHealthText::rows(ReceiverHealth{});
    std::vector<std::string> keys;
    for (const ReceiverHealthRow& row : rows) {
        SCOPED_TRACE(row.key);
        keys.push_back(row.key);
        EXPECT_EQ(row.level, HealthLevel::Unknown);
        EXPECT_EQ(row.value.rfind("unknown — ", 0), 0u) << row.value;
        EXPECT_NE(row.label, row.key) << "the label comes from the table";
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"health.model", "health.firmware", "health.protocol",
                                              "health.systems", "health.software", "health.hardware",
                                              "health.jamming", "health.jamIndicator", "health.agc",
                                              "health.noise", "health.antenna", "health.antennaPower",
                                              "health.spoofing"}));
    EXPECT_EQ(rows[6].value, "unknown — the receiver's monitor is off");
    EXPECT_EQ(rows[12].value, "unknown — the receiver's monitor is off");
}

// The version report of the u-blox 8 in the shared recordings (it names no model), then
// the monitor messages of a generation-9 receiver, through the receiver state.
TEST_F(ReceiverHealthTextTest, FoldedReportsReadAsTheReceiverSentThem)
{
    ReceiverState state;
    binary::UbxMonVer version;
    version.software = "ROM CORE 3.01 (107888)";
    version.hardware = "00080000";
    version.extensions = {"FWVER=SPG 3.01", "PROTVER=18.00", "GPS;GLO;GAL;BDS", "SBAS;IMES;QZSS"};
    state.apply(binary::UbxRecord(version), 1.0);

    auto rows = byKey(state.health());
    EXPECT_EQ(rows["health.model"].value, "not reported by this receiver");
    EXPECT_EQ(rows["health.model"].level, HealthLevel::Unknown);
    EXPECT_EQ(rows["health.firmware"].value, "SPG 3.01");
    EXPECT_EQ(rows["health.protocol"].value, "18.00");
    EXPECT_EQ(rows["health.systems"].value, "GPS, GLONASS, Galileo, BeiDou, SBAS, IMES, QZSS");
    EXPECT_EQ(rows["health.software"].value, "ROM CORE 3.01 (107888)");
    EXPECT_EQ(rows["health.hardware"].value, "00080000");
    EXPECT_EQ(rows.count("health.details"), 0u) << "every extension is shown in its own row";

    binary::UbxMonRf rf;
    binary::UbxRfBlock l1;
    l1.jamming = UbxJammingState::Ok;
    l1.jamIndicator = 9;
    l1.agcCount = 4096;
    l1.noisePerMs = 85;
    l1.antennaStatus = UbxAntennaStatus::Ok;
    l1.antennaPower = UbxAntennaPower::On;
    binary::UbxRfBlock l5 = l1;
    l5.blockId = 1;
    l5.jamming = UbxJammingState::Warning;
    l5.jamIndicator = 140;
    rf.blocks = {l1, l5};
    state.apply(binary::UbxRecord(rf), 2.0);
    binary::UbxNavStatus status;
    status.spoofing = UbxSpoofingState::None;
    state.apply(binary::UbxRecord(status), 2.0);

    rows = byKey(state.health());
    EXPECT_EQ(rows["health.jamming"].value, "warning — interference, the fix holds");  // the worse band
    EXPECT_EQ(rows["health.jamming"].level, HealthLevel::Warning);
    EXPECT_EQ(rows["health.jamIndicator"].value, "140 of 255");
    EXPECT_EQ(rows["health.agc"].value, "4096 of 8191 (50 %)");
    EXPECT_EQ(rows["health.noise"].value, "85");
    EXPECT_EQ(rows["health.antenna"].value, "OK");
    EXPECT_EQ(rows["health.antennaPower"].value, "on");
    EXPECT_EQ(rows["health.spoofing"].value, "none");
}

TEST_F(ReceiverHealthTextTest, EveryStateIsNamedInWordsWithItsWeight)
{
    // One reported value each, the rest unknown.
    const auto with = [](auto ReceiverHealth::*field, auto value) {
        ReceiverHealth health;
        health.*field = value;
        return health;
    };
    const auto jamming = [&](UbxJammingState state) { return with(&ReceiverHealth::jamming, state); };
    const auto antenna = [&](UbxAntennaStatus status) { return with(&ReceiverHealth::antenna, status); };
    const auto power = [&](UbxAntennaPower state) { return with(&ReceiverHealth::antennaPower, state); };
    const auto spoofing = [&](UbxSpoofingState state) { return with(&ReceiverHealth::spoofing, state); };
    const auto agc = [&](int count) { return with(&ReceiverHealth::agcCount, count); };
    const struct {
        const char* name;
        ReceiverHealth health;
        const char* key;
        const char* value;
        HealthLevel level;
    } cases[] = {
        {"no jamming", jamming(UbxJammingState::Ok), "health.jamming", "no interference", HealthLevel::Good},
        {"jamming critical", jamming(UbxJammingState::Critical), "health.jamming",
         "critical — interference, no fix", HealthLevel::Critical},
        {"jamming detector off", jamming(UbxJammingState::Unknown), "health.jamming",
         "unknown — the receiver's jamming detection is off", HealthLevel::Unknown},
        {"antenna open", antenna(UbxAntennaStatus::Open), "health.antenna", "open circuit", HealthLevel::Warning},
        {"antenna short", antenna(UbxAntennaStatus::Short), "health.antenna", "short circuit", HealthLevel::Critical},
        {"antenna starting", antenna(UbxAntennaStatus::Init), "health.antenna", "being checked", HealthLevel::Unknown},
        {"antenna supervisor off", antenna(UbxAntennaStatus::DontKnow), "health.antenna",
         "unknown — the receiver's antenna supervisor is off", HealthLevel::Unknown},
        {"antenna power off", power(UbxAntennaPower::Off), "health.antennaPower", "off", HealthLevel::Plain},
        {"spoofing indicated", spoofing(UbxSpoofingState::Indicated), "health.spoofing", "indicated",
         HealthLevel::Warning},
        {"spoofing multiple", spoofing(UbxSpoofingState::Multiple), "health.spoofing", "multiple indications",
         HealthLevel::Critical},
        {"spoofing detector off or absent", spoofing(UbxSpoofingState::Unknown), "health.spoofing",
         "unknown — the receiver's spoofing detection is off or missing", HealthLevel::Unknown},
        {"gain outside its range gets no share", agc(9000), "health.agc", "9000", HealthLevel::Plain},
        {"zero gain is a value, not nothing", agc(0), "health.agc", "0 of 8191 (0 %)", HealthLevel::Plain},
        {"no interference measured is a value", with(&ReceiverHealth::jamIndicator, 0), "health.jamIndicator",
         "0 of 255", HealthLevel::Plain},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto rows = byKey(c.health);
        ASSERT_EQ(rows.count(c.key), 1u);
        EXPECT_EQ(rows.at(c.key).value, c.value);
        EXPECT_EQ(rows.at(c.key).level, c.level);
    }
}

TEST_F(ReceiverHealthTextTest, ReceiverTextIsShownAsPlainAsciiAndUnknownEntriesAreKept)
{
    ReceiverHealth health;
    health.software = std::string("EXT CORE 1.00\n<b>\x1b[2J\xC3\xA9  ");
    health.model = "ZED-F9P";
    health.extensions = {"MOD=ZED-F9P", "ROM BASE 0x118B2060", "GPS;GAL;FOO", "", "FIS=0xEF4015 (100111)",
                         "GPS;GAL", "GAL;BDS;NAVIC"};

    const auto rows = byKey(health);
    EXPECT_EQ(rows.at("health.software").value, "EXT CORE 1.00?<b>?[2J??");
    EXPECT_EQ(rows.at("health.model").value, "ZED-F9P");
    EXPECT_EQ(rows.at("health.firmware").value, "not reported by this receiver");
    // A list with a name this program does not know is not taken for systems, nor dropped.
    EXPECT_EQ(rows.at("health.systems").value, "GPS, Galileo, BeiDou, NavIC");
    ASSERT_EQ(rows.count("health.details"), 1u);
    EXPECT_EQ(rows.at("health.details").value, "ROM BASE 0x118B2060; GPS;GAL;FOO; FIS=0xEF4015 (100111)");
}

TEST_F(ReceiverHealthTextTest, GermanTablesGiveGermanRows)
{
    platform::posix::StringsBundle german{kResources, std::vector<std::string>{"de"}};
    platform::services().bundle = &german;
    ReceiverHealth health;
    health.antenna = UbxAntennaStatus::Short;
    health.agcCount = 2048;
    const auto rows = byKey(health);
    EXPECT_EQ(rows.at("health.antenna").label, "Antenne");
    EXPECT_EQ(rows.at("health.antenna").value, "Kurzschluss");
    EXPECT_EQ(rows.at("health.agc").value, "2048 von 8191 (25 %)");
    EXPECT_EQ(rows.at("health.spoofing").value, "unbekannt – die Überwachung im Empfänger ist aus");
}

}  // namespace
