// SPDX-License-Identifier: BSD-2-Clause
#include <chrono>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "app/CorrectionsController.h"
#include "app/CorrectionsStatusText.h"
#include "fakes/FakeSecretStore.h"
#include "fakes/FakeServices.h"
#include "fakes/TestData.h"
#include "platform/Services.h"
#include "posix/StringsBundle.h"
#include "sources/Rtcm3Framer.h"
#include "unit/RecordedFrames.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::filesystem::path kResources = std::filesystem::path(GPSDESK_SOURCE_DIR) / "resources";

class CorrectionsControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = platform::services();
        platform::services().bundle = &english;
    }
    void TearDown() override { platform::services() = saved; }

    CorrectionsController controller() { return CorrectionsController(&secrets, [this] { return now; }); }

    platform::posix::StringsBundle english{kResources, std::vector<std::string>{"en"}};
    platform::Services saved;
    fakes::FakeSecretStore secrets;
    Clock::time_point now = Clock::time_point(1000s);
};

std::vector<std::vector<std::uint8_t>> framesOf(const std::filesystem::path& log)
{
    const std::vector<std::uint8_t> bytes = recorded::stream(log);
    std::vector<std::vector<std::uint8_t>> frames;
    Rtcm3Framer framer;
    framer.feed(bytes, [&](std::span<const std::uint8_t> frame) { frames.emplace_back(frame.begin(), frame.end()); });
    return frames;
}

// A u-blox timing receiver's base stream: 1005, MSM7 of four systems, 1230 and a proprietary
// type. The pane's counts, station and base position are gpsd's decoding of the same frames.
TEST_F(CorrectionsControllerTest, RecordedBaseStreamGivesGpsdsTypesStationAndPosition)
{
    REQUIRE_TESTDATA(root);
    const auto frames = framesOf(root / "rtcm3/ublox-zed-f9t-rtcm3.log");
    ASSERT_FALSE(frames.empty());
    std::map<std::uint16_t, std::uint64_t> expectedCounts;
    nlohmann::json lastBase;
    std::optional<int> lastStation;
    std::ifstream chk(root / "rtcm3/ublox-zed-f9t-rtcm3.log.chk");
    std::string previous;
    for (std::string line; std::getline(chk, line);) {
        const auto report = nlohmann::json::parse(line, nullptr, false);
        if (!report.is_object() || report.value("class", "") != "RTCM3") continue;
        // gpsd writes most epochs' 1230 twice in a row: the log holds 26 of them (182 frames,
        // 7 per epoch), its check file 48 lines.
        if (line == previous) continue;
        previous = line;
        ++expectedCounts[report["type"].get<std::uint16_t>()];
        if (report["type"] == 1005) lastBase = report;
        if (report.contains("station_id")) lastStation = report["station_id"].get<int>();
    }
    ASSERT_FALSE(lastBase.is_null());

    CorrectionsController corrections = controller();
    std::vector<std::uint8_t> sent;
    for (const auto& frame : frames) {
        sent.insert(sent.end(), frame.begin(), frame.end());
        corrections.frameReceived(frame);
        now += 100ms;
    }
    std::vector<std::uint8_t> queued;
    for (const auto& frame : corrections.queue().takeAll()) queued.insert(queued.end(), frame.begin(), frame.end());
    EXPECT_EQ(queued, sent) << "every frame whole, in order, for the receiver";

    const CorrectionsStatus status = corrections.status();
    std::map<std::uint16_t, std::uint64_t> counts;
    for (const auto& count : status.messages) counts[count.type] = count.frames;
    EXPECT_EQ(counts, expectedCounts);
    EXPECT_EQ(status.frames, frames.size());
    ASSERT_TRUE(status.stationId);
    EXPECT_EQ(*status.stationId, lastStation.value_or(-1));
    ASSERT_TRUE(status.base);
    EXPECT_EQ(status.base->station, lastBase["station_id"].get<int>());
    EXPECT_NEAR(status.base->ecefXM, lastBase["x"].get<double>(), 0.001);
    EXPECT_NEAR(status.base->ecefYM, lastBase["y"].get<double>(), 0.001);
    EXPECT_NEAR(status.base->ecefZM, lastBase["z"].get<double>(), 0.001);

    // The pane shows the same, to the millimetre.
    std::map<std::string, CorrectionsRow> rows;
    for (const auto& row : CorrectionsStatusText::rows(status)) rows[row.key] = row;
    char x[32];
    std::snprintf(x, sizeof x, "X %.4f", lastBase["x"].get<double>());
    EXPECT_NE(rows["corrections.base"].value.find(x), std::string::npos) << rows["corrections.base"].value;
    EXPECT_EQ(rows["rtcm.1077"].label, "1077 GPS MSM7");
    EXPECT_EQ(rows["rtcm.1005"].label, "1005 base position");
    EXPECT_EQ(rows["rtcm.1230"].label, "1230 GLONASS code-phase biases");
    EXPECT_EQ(rows["corrections.caster"].value, "Off");
}

TEST_F(CorrectionsControllerTest, AgeAndRatesFollowTheClockPerType)
{
    CorrectionsController corrections = controller();
    // 1077 (GPS MSM7, station 0) every second for 10 s; the 1005 only from the fifth second.
    std::vector<std::uint8_t> msm = {0xD3, 0x00, 0x08, 0x43, 0x50, 0x00, 0, 0, 0, 0, 0};
    std::vector<std::uint8_t> base(3 + 19 + 3, 0);
    base[0] = 0xD3;
    base[2] = 19;
    base[3] = 0x3E;  // 1005 = 0x3ED
    base[4] = 0xD0;
    for (int second = 0; second < 10; ++second) {
        corrections.frameReceived(msm);
        if (second >= 5) corrections.frameReceived(base);
        now += 1s;
    }
    CorrectionsStatus status = corrections.status();
    ASSERT_EQ(status.messages.size(), 2u);
    EXPECT_EQ(status.messages[0].type, 1005);
    EXPECT_NEAR(status.messages[0].perSecond.value_or(0), 1.0, 1e-9) << "counted from the type's first frame";
    EXPECT_EQ(status.messages[1].type, 1077);
    EXPECT_NEAR(status.messages[1].perSecond.value_or(0), 1.0, 1e-9);
    EXPECT_NEAR(status.ageSeconds.value_or(-1), 1.0, 1e-9);

    now += 20s;
    status = corrections.status();
    EXPECT_NEAR(status.ageSeconds.value_or(-1), 21.0, 1e-9);
    for (const auto& row : CorrectionsStatusText::rows(status))
        if (row.key == "corrections.age") {
            EXPECT_TRUE(row.warning) << "stale corrections stand out";
        }
}

TEST_F(CorrectionsControllerTest, BaselineIsTheStraightLineFromTheBaseOnWgs84)
{
    binary::Rtcm3StationPosition base;
    base.ecefXM = 6378137.0;  // on the equator at the prime meridian, on the ellipsoid
    EXPECT_NEAR(CorrectionsController::baselineMeters(base, 0, 0, 0), 0.0, 1e-6);
    EXPECT_NEAR(CorrectionsController::baselineMeters(base, 0, 0, 100), 100.0, 1e-6);
    // The pole is the semi-minor axis away along Z.
    EXPECT_NEAR(CorrectionsController::baselineMeters(base, 90, 0, 0), std::hypot(6378137.0, 6356752.314245), 1e-3);
    // 1/1000 of a degree east along the equator: 111.32 m.
    EXPECT_NEAR(CorrectionsController::baselineMeters(base, 0, 0.001, 0), 111.3195, 1e-3);
}

TEST_F(CorrectionsControllerTest, SettingsKeepNoPasswordAndThePasswordGoesToTheSecretStore)
{
    fakes::FakePreferences preferences;
    CorrectionsSettings settings;
    settings.casterUrl = "ntrip://rover@caster.example:2101/NEAR";
    settings.ggaSeconds = 5;
    settings.save(preferences);
    EXPECT_EQ(CorrectionsSettings::load(preferences).casterUrl, settings.casterUrl);
    EXPECT_EQ(CorrectionsSettings::load(preferences).ggaSeconds, 5);
    preferences.values[CorrectionsSettings::kGgaSecondsKey] = std::int64_t{0};
    EXPECT_EQ(CorrectionsSettings::load(preferences).ggaSeconds, 1) << "never a GGA flood";
    EXPECT_EQ(CorrectionsSettings::load(fakes::FakePreferences()).ggaSeconds, 10);

    CorrectionsController corrections = controller();
    EXPECT_EQ(corrections.storePassword(settings.casterUrl, "s3cret").key, "corrections.password.stored");
    EXPECT_EQ(secrets.secrets["ntrip:rover@caster.example:2101"], "s3cret");
    for (const auto& [key, value] : preferences.values)
        if (const auto* text = std::get_if<std::string>(&value)) {
            EXPECT_EQ(text->find("s3cret"), std::string::npos) << key;
        }
    EXPECT_EQ(corrections.storePassword("ntrip://caster.example/NEAR", "x").key, "corrections.password.noUser");
    EXPECT_EQ(corrections.storePassword("tcp://caster.example:1", "x").key, "corrections.notCaster");

    // No secret service: said plainly, nothing kept anywhere else.
    secrets.unavailable = "org.freedesktop.secrets was not provided";
    const SourceMessage said = corrections.storePassword(settings.casterUrl, "other");
    EXPECT_EQ(said.key, "corrections.password.unavailable");
    EXPECT_NE(said.text().find("org.freedesktop.secrets was not provided"), std::string::npos);
    EXPECT_EQ(said.text().find("other"), std::string::npos);
}

TEST_F(CorrectionsControllerTest, BadCasterAddressesAreRefusedWithAReason)
{
    CorrectionsController corrections = controller();
    const struct {
        const char* url;
        const char* key;
    } cases[] = {
        {"tcp://host:1", "corrections.notCaster"},
        {"ntrip://rover@host:2101", "NtripNoMountpoint"},
        {"ntrip://rover:pw@host/M", "SourceUrlPasswordInUrl"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        SourceMessage whyNot;
        EXPECT_FALSE(corrections.start({c.url, 10}, whyNot));
        EXPECT_EQ(whyNot.key, c.key);
        EXPECT_FALSE(corrections.running());
    }
    SourceMessage whyNot;
    EXPECT_TRUE(corrections.start({"", 10}, whyNot)) << "no caster: corrections off";
    EXPECT_FALSE(corrections.running());
}

TEST_F(CorrectionsControllerTest, FixTypesAreNamedWithRtkFloatAndFixed)
{
    const std::map<int, std::string> names = {{0, "No fix"}, {1, "GPS fix"}, {2, "Differential (DGPS)"},
                                              {4, "RTK fixed"}, {5, "RTK float"}};
    for (const auto& [quality, name] : names) EXPECT_EQ(CorrectionsStatusText::fixName(quality), name);
}

TEST_F(CorrectionsControllerTest, TheReceiversWordOnEachFrameIsCountedAndShownOnlyWhenGiven)
{
    auto corrections = controller();
    const auto useRow = [](const CorrectionsStatus& status) -> std::optional<CorrectionsRow> {
        for (const auto& row : CorrectionsStatusText::rows(status))
            if (row.key == "corrections.receiverUse") return row;
        return std::nullopt;
    };
    EXPECT_FALSE(useRow(corrections.status())) << "most receivers never say";

    binary::UbxRxmRtcm report;
    report.messageType = 1005;
    report.usage = 1;  // not used
    corrections.receiverReport(report);
    auto row = useRow(corrections.status());
    ASSERT_TRUE(row);
    EXPECT_EQ(row->value, "0 used, 1 not used, 0 arrived broken");
    EXPECT_TRUE(row->warning) << "frames the receiver does not use stand out";

    report.usage = 2;
    corrections.receiverReport(report);
    corrections.receiverReport(report);
    report.crcFailed = true;  // broken on the way counts as broken, whatever the usage says
    corrections.receiverReport(report);
    const CorrectionsStatus status = corrections.status();
    EXPECT_EQ(status.receiverUsed, 2u);
    EXPECT_EQ(status.receiverNotUsed, 1u);
    EXPECT_EQ(status.receiverBroken, 1u);
    row = useRow(status);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->value, "2 used, 1 not used, 1 arrived broken");
    EXPECT_FALSE(row->warning);
}

}  // namespace
