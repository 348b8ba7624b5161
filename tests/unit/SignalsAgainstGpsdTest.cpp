// SPDX-License-Identifier: BSD-2-Clause
// Satellites and their signals of every recorded UBX log, and of every NMEA log whose GSV
// sentences carry signal ids, epoch by epoch against gpsd's SKY reports in the .chk beside
// each log: the satellites of each constellation within one of gpsd's, and as many signals
// per satellite as gpsd lists. Prints one table row per log.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "base/FormatText.h"
#include "stream/GpsdReport.h"
#include "receiver/ReceiverState.h"
#include "stream/SentencePipeline.h"
#include "fakes/TestData.h"

namespace {

namespace fs = std::filesystem;
using Sat = std::pair<int, int>;  // (gnssid, svid)

// Signals listed per satellite in one SKY report.
std::map<Sat, int> signalsPerSatellite(const nlohmann::json& sky)
{
    std::map<Sat, int> signals;
    for (const auto& s : sky["satellites"]) ++signals[{s["gnssid"].get<int>(), s["svid"].get<int>()}];
    return signals;
}

std::map<int, int> perSystem(const std::map<Sat, int>& signals)
{
    std::map<int, int> count;
    for (const auto& [sat, n] : signals) ++count[sat.first];
    return count;
}

// "22:37:45.000" of a gpsd time "2020-07-11T22:37:45.000Z".
std::string timeOfDay(const std::string& iso)
{
    const auto t = iso.find('T');
    return t == std::string::npos ? std::string() : iso.substr(t + 1, 12);
}

// Our last SKY of each epoch (the time of day the state holds when the sky changed).
std::map<std::string, nlohmann::json> ourSkies(const fs::path& log)
{
    std::ifstream in(log, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SentencePipeline pipeline;
    ReceiverState state;
    std::vector<LineResult> results;
    pipeline.feed({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, results);
    pipeline.drain(results);
    std::map<std::string, nlohmann::json> skies;
    double now = 0.0;
    for (const LineResult& result : results) {
        now += 0.001;
        ReceiverState::Changes changes = 0;
        if (result.kind == LineResult::Kind::Decoded) changes = state.apply(*result.record, now);
        else if (result.kind == LineResult::Kind::Ubx && result.ubx) changes = state.apply(*result.ubx, now);
        if (!(changes & ReceiverState::kSatellites) || !state.time()) continue;
        const UtcTime& t = *state.time();
        const auto millis = static_cast<long long>(t.seconds * 1000.0 + 1e-6);
        const std::string key = formatText("%02u:%02u:%02lld.%03lld", unsigned{t.hours}, unsigned{t.minutes},
                                           millis / 1000, millis % 1000);
        skies[key] = nlohmann::json::parse(gpsdreport::sky(state));
    }
    return skies;
}

// gpsd's last SKY with satellites of each epoch: its own time, else the last TPV's. Where
// the receiver sent both, gpsd alternates between skies of its binary messages and of the
// GSV cycle; ours takes the binary ones, so gpsd's binary sky of the epoch is the one to
// compare (gpsd writes "prRes" only from those).
std::map<std::string, nlohmann::json> gpsdSkies(const fs::path& chk)
{
    std::map<std::string, nlohmann::json> binary, nmea;
    std::ifstream in(chk);
    std::string epoch;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("{\"class\":\"TPV\"", 0) == 0) {
            const auto tpv = nlohmann::json::parse(line);
            if (tpv.contains("time")) epoch = timeOfDay(tpv["time"]);
        } else if (line.rfind("{\"class\":\"SKY\"", 0) == 0) {
            const auto sky = nlohmann::json::parse(line);
            const std::string key = sky.contains("time") ? timeOfDay(sky["time"]) : epoch;
            if (key.empty() || !sky.contains("satellites") || sky["satellites"].empty()) continue;
            (sky["satellites"][0].contains("prRes") ? binary : nmea)[key] = sky;
        }
    }
    for (auto& [key, sky] : binary) nmea[key] = std::move(sky);
    return nmea;
}

// Whether the log's GSV sentences end in a signal id (one field past the blocks, one hex
// digit), not just a stray corrupt line or two.
bool hasGsvSignalIds(const fs::path& log)
{
    std::ifstream in(log, std::ios::binary);
    std::size_t withId = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.size() < 7 || line[0] != '$' || line.compare(3, 4, "GSV,") != 0) continue;
        const std::string body = line.substr(0, line.find('*'));
        const auto fields = static_cast<std::size_t>(std::count(body.begin(), body.end(), ',')) + 1;
        const std::string last = body.substr(body.rfind(',') + 1);
        if (fields > 4 && (fields - 4) % 4 == 1 && last.size() == 1 && std::isxdigit(static_cast<unsigned char>(last[0])))
            ++withId;
    }
    return withId >= 3;
}

struct Row {
    std::size_t epochs = 0, epochsWithinOne = 0, oursSats = 0, gpsdSats = 0;
    std::size_t satellitesCompared = 0, signalsMatch = 0, multiSignalGpsd = 0;
};

Row compare(const fs::path& log)
{
    const auto ours = ourSkies(log);
    const auto gpsd = gpsdSkies(log.string() + ".chk");
    Row row;
    bool first = true;
    for (const auto& [epoch, theirs] : gpsd) {
        // A log starts anywhere in a cycle: the first sky either of us reports may lack
        // constellations whose sentences came before the cut.
        if (std::exchange(first, false)) continue;
        const auto mine = ours.find(epoch);
        if (mine == ours.end()) continue;
        ++row.epochs;
        const auto gpsdSignals = signalsPerSatellite(theirs);
        const auto ourSignals = signalsPerSatellite(mine->second);
        row.gpsdSats += gpsdSignals.size();
        row.oursSats += ourSignals.size();
        bool withinOne = true;
        const auto gpsdCount = perSystem(gpsdSignals), ourCount = perSystem(ourSignals);
        std::set<int> systems;
        for (const auto& [system, n] : gpsdCount) systems.insert(system);
        for (const auto& [system, n] : ourCount) systems.insert(system);
        for (const int system : systems) {
            const int a = gpsdCount.count(system) ? gpsdCount.at(system) : 0;
            const int b = ourCount.count(system) ? ourCount.at(system) : 0;
            withinOne = withinOne && std::abs(a - b) <= 1;
        }
        if (withinOne) ++row.epochsWithinOne;
        for (const auto& [sat, n] : gpsdSignals) {
            const auto it = ourSignals.find(sat);
            if (it == ourSignals.end()) continue;
            ++row.satellitesCompared;
            if (it->second == n) ++row.signalsMatch;
            if (n > 1) ++row.multiSignalGpsd;
        }
    }
    return row;
}

TEST(SignalsAgainstGpsd, SatellitesPerConstellationAndSignalsPerSatelliteAgreeWithGpsd)
{
    REQUIRE_TESTDATA(root);
    std::vector<fs::path> logs;
    for (const auto& entry : fs::directory_iterator(root / "ubx"))
        if (entry.path().extension() == ".log") logs.push_back(entry.path());
    std::size_t nmeaLogs = 0;
    for (const auto& entry : fs::directory_iterator(root / "nmea"))
        if (entry.path().extension() == ".log" && hasGsvSignalIds(entry.path())) {
            logs.push_back(entry.path());
            ++nmeaLogs;
        }
    std::sort(logs.begin(), logs.end());
    std::printf("| log | epochs compared | per system within 1 | sats ours/gpsd | signals match | gpsd multi-signal sats |\n");
    std::printf("|---|---|---|---|---|---|\n");
    std::size_t multiSignal = 0;
    for (const fs::path& log : logs) {
        SCOPED_TRACE(log.filename().string());
        const Row row = compare(log);
        multiSignal += row.multiSignalGpsd;
        const double within = row.epochs ? 100.0 * row.epochsWithinOne / row.epochs : 0.0;
        const double match = row.satellitesCompared ? 100.0 * row.signalsMatch / row.satellitesCompared : 0.0;
        std::printf("| %s | %zu | %.1f%% | %zu/%zu | %.1f%% (%zu of %zu) | %zu |\n", log.filename().c_str(),
                    row.epochs, within, row.oursSats, row.gpsdSats, match, row.signalsMatch,
                    row.satellitesCompared, row.multiSignalGpsd);
        if (row.epochs == 0) continue;  // a log without a sky (gpsd reported none we can place)
        EXPECT_GE(row.epochsWithinOne * 10, row.epochs * 9);
        EXPECT_GE(row.signalsMatch * 10, row.satellitesCompared * 9);
    }
    EXPECT_EQ(logs.size() - nmeaLogs, 8u);
    EXPECT_GE(nmeaLogs, 1u);
    // The dual-band logs must really have been compared signal by signal.
    EXPECT_GT(multiSignal, 0u);
}

}  // namespace
