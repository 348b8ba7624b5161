// SPDX-License-Identifier: BSD-2-Clause
// The receiver state: satellites of every constellation, each GSV stream replacing only its
// own, used-in-fix from GSA, and the recorded logs against gpsd's reading of them.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "nmea/NMEA.h"
#include "receiver/ReceiverState.h"
#include "nmea/SentenceTable.h"
#include "fakes/TestData.h"

namespace fs = std::filesystem;

namespace {

// Feeds a sentence body (no checksum) through the table at time `now`.
ReceiverState::Changes feed(ReceiverState& state, const std::string& text, double now = 0.0)
{
    const auto fields = SentenceFields::split(text);
    const SentenceKind* kind = fields ? sentenceKind(fields->type()) : nullptr;
    if (!kind) return 0;
    const Decoded decoded = kind->decode(*fields);
    return decoded.record ? state.apply(*decoded.record, now) : 0;
}

using SatelliteSet = std::set<std::pair<int, int>>;  // (gnssid, svid)

SatelliteSet inView(const ReceiverState& state, bool usedOnly = false)
{
    SatelliteSet set;
    for (const SatelliteInView& s : state.satellites())
        if (!usedOnly || s.usedInFix) set.emplace(gpsdGnssId(s.constellation), s.svid);
    return set;
}

TEST(ReceiverState, AGsvCycleReplacesOnlyItsOwnConstellationAndSignal)
{
    ReceiverState state;
    feed(state, "$GPGSV,1,1,02,01,40,083,46,02,17,308,41");
    feed(state, "$GLGSV,1,1,01,70,10,100,30");
    EXPECT_EQ(inView(state), (SatelliteSet{{0, 1}, {0, 2}, {6, 6}}));

    // A new GPS cycle drops GPS 2, never GLONASS.
    EXPECT_TRUE(feed(state, "$GPGSV,1,1,01,01,41,083,45") & ReceiverState::kSatellites);
    EXPECT_EQ(inView(state), (SatelliteSet{{0, 1}, {6, 6}}));

    // Signals are separate streams: L5 listing only 01 leaves 03 (L1 only) alone.
    feed(state, "$GPGSV,1,1,02,01,41,083,45,03,20,200,30,1");
    feed(state, "$GPGSV,1,1,01,01,41,083,48,8");
    EXPECT_EQ(inView(state), (SatelliteSet{{0, 1}, {0, 3}, {6, 6}}));
    EXPECT_EQ(state.satellites()[0].snrDbHz, 48);  // the stronger signal is shown

}

// A lost GSV sentence must not keep the last cycle's satellites on the plot: the cycle still
// began with sentence 1 and ended with its last one, and what it did not list is gone.
TEST(ReceiverState, ACycleWithALostSentenceDropsTheLastCyclesSatellites)
{
    ReceiverState state;
    feed(state, "$GLGSV,3,1,09,65,10,100,30,66,10,100,30,67,10,100,30,68,10,100,30");
    feed(state, "$GLGSV,3,2,09,69,10,100,30,70,10,100,30,71,10,100,30,72,10,100,30");
    feed(state, "$GLGSV,3,3,09,80,10,100,30");
    EXPECT_EQ(inView(state).size(), 9u);

    feed(state, "$GLGSV,3,1,09,65,10,100,30,66,10,100,30,67,10,100,30,68,10,100,30");
    EXPECT_TRUE(feed(state, "$GLGSV,3,3,09,81,10,100,30") & ReceiverState::kSatellites);
    EXPECT_EQ(inView(state), (SatelliteSet{{6, 1}, {6, 2}, {6, 3}, {6, 4}, {6, 17}}));

    // Without its first sentence a cycle cannot say who left: it only adds.
    feed(state, "$GLGSV,3,3,09,82,10,100,30");
    EXPECT_EQ(inView(state).size(), 6u);
}

// An elevation or azimuth the receiver left empty is unknown, not the horizon or north, and
// not what an earlier sentence said.
TEST(ReceiverState, AnUnsentPlaceIsUnknown)
{
    ReceiverState state;
    feed(state, "$GPGSV,1,1,02,07,40,083,46,08,17,308,41");
    feed(state, "$GPGSV,1,1,02,07,,,42,08,17,,41");
    const std::vector<SatelliteInView> sky = state.satellites();
    ASSERT_EQ(sky.size(), 2u);
    EXPECT_EQ(sky[0].elevationDegrees, std::nullopt);
    EXPECT_EQ(sky[0].azimuthDegrees, std::nullopt);
    EXPECT_EQ(sky[0].snrDbHz, 42);
    EXPECT_EQ(sky[1].elevationDegrees, 17);
    EXPECT_EQ(sky[1].azimuthDegrees, std::nullopt);
}

// A value the current epoch does not supply is unknown. Each case follows an epoch that said
// 10 kn and 90 degrees; the next epoch's RMC does not say it (gpsd leaves track out then).
TEST(ReceiverState, SpeedAndCourseAreOfTheirEpochOnly)
{
    const char* next[] = {
        "$GPRMC,120001,A,4807.038,N,01131.000,E,,,230394,,",
        "$GPRMC,120001,A,4807.038,N,01131.000,E,1e30,1e30,230394,,",
        "$GPRMC,120001,A,4807.038,N,01131.000,E,nan,nan,230394,,",
        "$GPRMC,120001,A,4807.038,N,01131.000,E,inf,inf,230394,,",
        "$GPRMC,120001,A,4807.038,N,01131.000,E,-5,-5,230394,,",
        "$GPRMC,120001,V,,,,,10.0,90.0,230394,,",
    };
    for (const char* text : next) {
        SCOPED_TRACE(text);
        ReceiverState state;
        feed(state, "$GPRMC,120000,A,4807.038,N,01131.000,E,10.0,90.0,230394,,");
        ASSERT_EQ(state.speedKnots(), 10.0f);
        const auto changes = feed(state, text);
        EXPECT_EQ(state.time(), (UtcTime{12, 0, 1.0}));
        EXPECT_FALSE(state.speedKnots());
        EXPECT_FALSE(state.courseDegrees());
        EXPECT_TRUE(changes & ReceiverState::kSpeed);
        EXPECT_TRUE(changes & ReceiverState::kCourse);
    }

    // Within one epoch a sentence that leaves them out keeps what another one said.
    ReceiverState state;
    feed(state, "$GPGGA,120002,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    feed(state, "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K,A");
    feed(state, "$GPRMC,120002,A,4807.038,N,01131.000,E,,,230394,,");
    EXPECT_EQ(state.speedKnots(), 5.5f);
    EXPECT_EQ(state.courseDegrees(), 54.7f);
}

TEST(ReceiverState, ABadDateIsNoDateAndABadPositionNoPosition)
{
    ReceiverState state;
    feed(state, "$GPRMC,120000,A,4807.038,N,01131.000,E,10.0,90.0,230394,,");
    ASSERT_TRUE(state.date());
    EXPECT_TRUE(feed(state, "$GPRMC,120001,A,4807.038,N,01131.000,E,10.0,90.0,991394,,") & ReceiverState::kDate);
    EXPECT_FALSE(state.date());
    feed(state, "$GPRMC,120002,A,4807.038,N,01131.000,E,10.0,90.0,240394,,");
    EXPECT_EQ(state.date(), (UtcDate{1994, 3, 24}));
    feed(state, "$GPZDA,120002.50,25,03,1994,00,00");
    EXPECT_EQ(state.date(), (UtcDate{1994, 3, 25}));
    feed(state, "$GPZDA,120002.60,32,02,1994,00,00");
    EXPECT_FALSE(state.date());

    // The position of the last epoch is not this one's; time, fix and altitude still count.
    feed(state, "$GPGGA,120003,4899.999,N,01131.000,E,1,08,0.9,600.0,M,46.9,M,,");
    EXPECT_FALSE(state.position());
    EXPECT_EQ(state.time(), (UtcTime{12, 0, 3.0}));
    EXPECT_EQ(state.fixQuality(), 1);
    EXPECT_EQ(state.altitudeMeters(), 600.0f);
    EXPECT_EQ(state.mode(), 3);
}

TEST(ReceiverState, SatellitesNotReportedForTenSecondsAreDropped)
{
    ReceiverState state;
    feed(state, "$GLGSV,1,1,01,70,10,100,30", 0.0);
    feed(state, "$GPGSV,1,1,01,01,40,083,46", 9.0);
    EXPECT_EQ(state.satellitesInView(), 2u);
    EXPECT_TRUE(feed(state, "$GPGSV,1,1,01,01,40,083,46", 10.5) & ReceiverState::kSatellites);
    EXPECT_EQ(inView(state), (SatelliteSet{{0, 1}}));

    // Asked at every sentence, each goes at its own time, not before and not later; one
    // seen again (GPS 1 at 12) keeps its place past the time it was first due.
    feed(state, "$GAGSV,1,1,01,11,30,300,33", 10.6);
    feed(state, "$GPGSV,1,1,01,01,40,083,46", 12.0);
    for (double now = 12.0; now <= 20.6; now += 0.05) EXPECT_EQ(state.expire(now), 0u) << now;
    EXPECT_TRUE(state.expire(20.61) & ReceiverState::kSatellites);
    EXPECT_EQ(inView(state), (SatelliteSet{{0, 1}}));
    EXPECT_EQ(state.expire(22.0), 0u);
    EXPECT_TRUE(state.expire(22.01) & ReceiverState::kSatellites);
    EXPECT_EQ(state.satellitesInView(), 0u);
}

// The reports' sky, built into a kept vector, is the same as a new one, whatever the vector
// held before: more satellites, signal lists, strengths.
TEST(ReceiverState, TheSkyBuiltIntoAKeptVectorIsTheSkyBuiltAnew)
{
    ReceiverState state;
    feed(state, "$GPGSV,1,1,03,01,40,083,46,02,10,100,30,03,20,200,35,1", 0.0);
    feed(state, "$GPGSV,1,1,03,01,40,083,41,02,10,100,,03,20,200,33,6", 0.0);
    feed(state, "$GPGSA,A,3,01,02,,,,,,,,,,,1.8,1.0,1.5", 0.0);
    std::vector<SatelliteInView> kept;
    state.satellitesInto(kept);
    ASSERT_EQ(kept.size(), 3u);
    ASSERT_EQ(kept[0].signalList.size(), 2u);

    feed(state, "$GPGSV,1,1,01,02,10,100,,1", 0.5);
    feed(state, "$GPGSV,1,1,01,02,10,100,,6", 0.5);
    feed(state, "$GPGSA,A,3,,,,,,,,,,,,,1.8,1.0,1.5", 0.5);
    state.satellitesInto(kept);
    const std::vector<SatelliteInView> anew = state.satellites();
    ASSERT_EQ(kept.size(), anew.size());
    for (std::size_t i = 0; i < anew.size(); ++i) {
        EXPECT_EQ(kept[i].svid, anew[i].svid);
        EXPECT_EQ(kept[i].snrDbHz, anew[i].snrDbHz);
        EXPECT_EQ(kept[i].usedInFix, anew[i].usedInFix);
        EXPECT_EQ(kept[i].signalList, anew[i].signalList);
    }
    EXPECT_FALSE(kept[0].snrDbHz.has_value());
    state.satellitesInto(kept, false);
    EXPECT_TRUE(kept[0].signalList.empty());
}

TEST(ReceiverState, NoTwelveSatelliteLimit)
{
    ReceiverState state;
    // Five constellations of up to 16 each: 72 in view.
    const char* talkers[] = {"GP", "GL", "GA", "GB", "GQ"};
    const int first[] = {1, 65, 1, 1, 193};
    const int count[] = {16, 16, 16, 16, 8};
    for (int t = 0; t < 5; ++t) {
        const int sentences = (count[t] + 3) / 4;
        for (int n = 1; n <= sentences; ++n) {
            std::string text = std::string("$") + talkers[t] + "GSV," + std::to_string(sentences) + "," +
                               std::to_string(n) + "," + std::to_string(count[t]);
            for (int b = 0; b < 4 && 4 * (n - 1) + b < count[t]; ++b)
                text += "," + std::to_string(first[t] + 4 * (n - 1) + b) + ",30,100,40";
            feed(state, text);
        }
    }
    EXPECT_EQ(state.satellitesInView(), 72u);
}

TEST(ReceiverState, UsedInFixBySystemIdTalkerOrNumberRange)
{
    ReceiverState state;
    feed(state, "$GPGSV,1,1,03,01,40,083,46,02,17,308,41,44,45,171,45");
    feed(state, "$GLGSV,1,1,02,70,10,100,30,71,10,100,30");
    feed(state, "$GAGSV,1,1,01,05,10,100,30");

    feed(state, "$GNGSA,A,3,01,44,,,,,,,,,,,1.0,0.5,0.8,1");     // system id: GPS (and SBAS)
    feed(state, "$GNGSA,A,3,05,,,,,,,,,,,,1.0,0.5,0.8,3");       // system id: Galileo
    feed(state, "$GNGSA,A,3,70,,,,,,,,,,,,1.0,0.5,0.8");         // no id: number range
    EXPECT_EQ(inView(state, true), (SatelliteSet{{0, 1}, {1, 131}, {2, 5}, {6, 6}}));
    EXPECT_EQ(state.satellitesUsed(), 4u);

    // A GPS-talker GSA speaks for GPS only: GLONASS and Galileo keep theirs.
    feed(state, "$GPGSA,A,3,02,,,,,,,,,,,,1.0,0.5,0.8");
    EXPECT_EQ(inView(state, true), (SatelliteSet{{0, 2}, {2, 5}, {6, 6}}));
    EXPECT_EQ(state.fixType(), 3);
    EXPECT_EQ(state.hdop(), 0.5f);
}

TEST(ReceiverState, SaysWhatChanged)
{
    ReceiverState state;
    const std::string gga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";
    EXPECT_EQ(feed(state, gga), ReceiverState::kTime | ReceiverState::kPosition | ReceiverState::kAltitude |
                                    ReceiverState::kFix);
    EXPECT_EQ(feed(state, gga), 0u);
    EXPECT_EQ(state.mode(), 3);
    EXPECT_EQ(feed(state, "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K,A"),
              ReceiverState::kSpeed | ReceiverState::kCourse);
    // Invalid RMC of a new epoch: the fix is lost, and with it the last epoch's position,
    // speed and course; its own position is not taken.
    EXPECT_EQ(feed(state, "$GPRMC,123520,V,5000.000,N,00800.000,E,,,230394,,"),
              ReceiverState::kTime | ReceiverState::kDate | ReceiverState::kFix | ReceiverState::kPosition |
                  ReceiverState::kSpeed | ReceiverState::kCourse);
    EXPECT_EQ(state.mode(), 1);
    EXPECT_FALSE(state.position());
}

// ---- Against gpsd ------------------------------------------------------------------------

struct Comparison {
    int compared = 0;
    int inViewDiffers = 0;
    int usedDiffers = 0;
    std::string firstDifference;
    SatelliteSet lastInView, lastUsed;
};

std::string describe(const SatelliteSet& set)
{
    std::string text;
    for (const auto& [gnss, svid] : set) text += " " + std::to_string(gnss) + ":" + std::to_string(svid);
    return text;
}

// Replays the sentences of a .chk (input lines and gpsd's JSON reports interleaved) into a
// ReceiverState. gpsd builds its SKY anew each epoch, growing with every GSV cycle, so the
// state is compared where gpsd's picture is whole: at each SKY report with satellites that
// the next such report does not outgrow.
Comparison compareWithGpsd(const fs::path& chk)
{
    std::ifstream in(chk, std::ios::binary);
    std::string line;
    ReceiverState state;
    double now = 0.0;
    struct Report {
        SatelliteSet gpsdInView, gpsdUsed, ourInView, ourUsed;
    };
    std::vector<Report> reports;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (line.empty()) continue;
        if (line[0] == '$' || line[0] == '!') {
            ByteBuffer buffer(line.begin(), line.end());
            buffer.push_back('\r');
            buffer.push_back(0);
            if (!NMEA::checkSumValid(buffer)) continue;
            const auto fields = SentenceFields::split(buffer);
            if (!fields) continue;
            const Decoded decoded = decodeSentence(*fields);
            if (!decoded.record) continue;
            if (const auto* rmc = std::get_if<RMC>(&*decoded.record); rmc && rmc->time)
                now = rmc->time->hours * 3600.0 + rmc->time->minutes * 60.0 + rmc->time->seconds;
            state.apply(*decoded.record, now);
            continue;
        }
        if (line[0] != '{') continue;
        const auto json = nlohmann::json::parse(line, nullptr, false);
        if (json.is_discarded() || json.value("class", "") != "SKY" || !json.contains("satellites")) continue;
        Report report;
        for (const auto& s : json["satellites"]) {
            const std::pair<int, int> key{s.value("gnssid", -1), s.value("svid", -1)};
            report.gpsdInView.insert(key);
            if (s.value("used", false)) report.gpsdUsed.insert(key);
        }
        report.ourInView = inView(state);
        report.ourUsed = inView(state, true);
        reports.push_back(std::move(report));
    }
    Comparison result;
    for (std::size_t i = 0; i < reports.size(); ++i) {
        const Report& r = reports[i];
        if (i + 1 < reports.size() && reports[i + 1].gpsdInView.size() > r.gpsdInView.size()) continue;
        ++result.compared;
        const bool inViewSame = r.gpsdInView == r.ourInView;
        const bool usedSame = r.gpsdUsed == r.ourUsed;
        result.inViewDiffers += !inViewSame;
        result.usedDiffers += !usedSame;
        if ((!inViewSame || !usedSame) && result.firstDifference.empty())
            result.firstDifference = "report " + std::to_string(i) + ": gpsd" + describe(r.gpsdInView) +
                                     " used" + describe(r.gpsdUsed) + " / ours" + describe(r.ourInView) +
                                     " used" + describe(r.ourUsed);
        result.lastInView = r.ourInView;
        result.lastUsed = r.ourUsed;
    }
    return result;
}

TEST(ReceiverStateAgainstGpsd, UbloxM9nHasEveryConstellationInView)
{
    REQUIRE_TESTDATA(root);
    const Comparison c = compareWithGpsd(root / "nmea" / "ublox-neo-m9n-nmea.log.chk");
    ASSERT_GT(c.compared, 0);
    EXPECT_EQ(c.inViewDiffers, 0) << c.firstDifference;
    EXPECT_EQ(c.usedDiffers, 0) << c.firstDifference;
    std::map<int, int> perSystem;
    for (const auto& [gnss, svid] : c.lastInView) ++perSystem[gnss];
    EXPECT_EQ(c.lastInView.size(), 43u);
    EXPECT_EQ(perSystem, (std::map<int, int>{{0, 13}, {1, 3}, {2, 10}, {3, 7}, {6, 10}}));
    EXPECT_EQ(c.lastUsed.size(), 25u);
}

// Every log with satellites: the in-view and used sets agree with gpsd's wherever its
// picture is whole.
TEST(ReceiverStateAgainstGpsd, EveryRecordedLog)
{
    REQUIRE_TESTDATA(root);
    std::vector<fs::path> logs;
    for (const auto& entry : fs::directory_iterator(root / "nmea"))
        if (entry.path().extension() == ".chk") logs.push_back(entry.path());
    std::sort(logs.begin(), logs.end());
    int comparedInAll = 0;
    for (const fs::path& log : logs) {
        SCOPED_TRACE(log.filename().string());
        const Comparison c = compareWithGpsd(log);
        if (c.compared == 0) continue;
        comparedInAll += c.compared;
        std::printf("%-40s compared %4d  in view differs %3d  used differs %3d\n",
                    log.filename().string().c_str(), c.compared, c.inViewDiffers, c.usedDiffers);
        EXPECT_EQ(c.inViewDiffers, 0) << c.firstDifference;
        EXPECT_EQ(c.usedDiffers, 0) << c.firstDifference;
    }
    EXPECT_GT(comparedInAll, 100);
}

}  // namespace
