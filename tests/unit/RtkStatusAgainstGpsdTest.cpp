// SPDX-License-Identifier: BSD-2-Clause
// A receiver in RTK, recorded as NMEA: the fix status of every epoch as gpsd reads it (GGA
// quality 2 DGPS, 4 RTK fixed, 5 RTK float), and the reference station the corrections come
// from.

#include <fstream>
#include <map>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "stream/GpsdReport.h"
#include "receiver/ReceiverState.h"
#include "stream/SentencePipeline.h"
#include "fakes/TestData.h"

namespace {

TEST(RtkStatusAgainstGpsd, EveryEpochOfTheRtkLogHasGpsdsStatus)
{
    REQUIRE_TESTDATA(root);
    const auto log = root / "nmea" / "nmea-rtk.log";
    std::map<std::string, std::pair<int, int>> gpsdStatus;  // by time: status and station, 0 where gpsd gives none
    std::ifstream chk(log.string() + ".chk");
    for (std::string line; std::getline(chk, line);) {
        if (line.rfind("{\"class\":\"TPV\"", 0) != 0) continue;
        const auto tpv = nlohmann::json::parse(line);
        if (tpv.contains("time") && tpv.contains("lat")) gpsdStatus[tpv["time"]] = {tpv.value("status", 0), tpv.value("dgpsSta", 0)};
    }
    ASSERT_FALSE(gpsdStatus.empty());

    ReceiverState state;
    std::map<std::string, std::pair<int, int>> ours;
    std::ifstream in(log);
    double now = 0.0;
    for (std::string line; std::getline(in, line);) {
        const LineResult result = SentencePipeline::decodeText(line);
        if (result.kind != LineResult::Kind::Decoded) continue;
        state.apply(*result.record, now += 0.05);
        const auto tpv = nlohmann::json::parse(gpsdreport::tpv(state));
        if (tpv.contains("time") && tpv.contains("lat")) ours[tpv["time"]] = {tpv.value("status", 0), tpv.value("dgpsSta", 0)};
    }
    std::size_t compared = 0;
    std::map<int, int> seen;
    for (const auto& [time, status] : gpsdStatus) {
        const auto it = ours.find(time);
        if (it == ours.end()) continue;
        ++compared;
        ++seen[status.first];
        EXPECT_EQ(it->second, status) << time << ": status and reference station";
    }
    EXPECT_GE(compared * 10, gpsdStatus.size() * 9) << compared << " of " << gpsdStatus.size();
    EXPECT_GT(seen.size(), 1u) << "the log moves between fix states";
    for (const auto& [status, count] : seen) std::printf("status %d: %d epochs\n", status, count);
}

}  // namespace
