// SPDX-License-Identifier: BSD-2-Clause
#include "sim/Scenario.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using sim::Scenario;
using sim::Sentence;

std::vector<std::string> fields(const std::string& sentence)
{
    const std::string body = sentence.substr(0, sentence.find('*'));
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = body.find(',', start);
        out.push_back(body.substr(start, comma - start));
        if (comma == std::string::npos) return out;
        start = comma + 1;
    }
}

// Checked independently of the generator: $, body, *, two upper-case hex digits, CR LF,
// at most 82 characters.
::testing::AssertionResult wellFormed(const std::string& s)
{
    if (s.size() > 82) return ::testing::AssertionFailure() << "longer than 82: " << s;
    if (s.size() < 6 || s[0] != '$' || s.substr(s.size() - 2) != "\r\n")
        return ::testing::AssertionFailure() << "framing: " << s;
    const std::size_t star = s.size() - 5;
    if (s[star] != '*') return ::testing::AssertionFailure() << "no checksum: " << s;
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(s[i]);
    char expected[3];
    std::snprintf(expected, sizeof expected, "%02X", sum);
    if (s.substr(star + 1, 2) != expected)
        return ::testing::AssertionFailure() << "checksum should be " << expected << ": " << s;
    return ::testing::AssertionSuccess();
}

TEST(Scenario, SameSeedSameRunOtherSeedOtherRun)
{
    Scenario a(7, true), b(7, true), c(8, true);
    bool differs = false;
    for (int second = 0; second < 40; ++second) {
        a.step();
        b.step();
        c.step();
        for (int s = 0; s < sim::kSentenceCount; ++s) {
            EXPECT_EQ(a.sentences(Sentence(s)), b.sentences(Sentence(s)));
            differs |= a.sentences(Sentence(s)) != c.sentences(Sentence(s));
        }
    }
    EXPECT_TRUE(differs);
}

TEST(Scenario, OneLapCoversTheRouteTheSkyAndTheFixStates)
{
    Scenario scenario(3, true);
    double topSpeed = 0;
    bool slowAfterFast = false;
    int wrapsThroughNorth = 0;
    double previousCourse = -1;
    std::set<int> qualities;
    std::set<std::size_t> gsvCounts;
    std::set<std::string> firstSky;
    bool oneSet = false;
    bool sawNoFix = false;

    for (int second = 0; second < 300; ++second) {
        const auto& state = scenario.step();
        ASSERT_EQ(state.second, static_cast<std::uint64_t>(second));
        for (int s = 0; s < sim::kSentenceCount; ++s)
            for (const auto& sentence : scenario.sentences(Sentence(s)))
                ASSERT_TRUE(wellFormed(sentence)) << "second " << second;

        const auto rmc = fields(scenario.sentences(Sentence::RMC).front());
        const auto gga = fields(scenario.sentences(Sentence::GGA).front());
        const auto gsa = fields(scenario.sentences(Sentence::GSA).front());
        const auto gsv = scenario.sentences(Sentence::GSV);
        ASSERT_EQ(rmc.size(), 13u);
        ASSERT_EQ(gga.size(), 15u);
        EXPECT_EQ(gga[1], rmc[1]) << "one time per second";

        const double speed = std::stod(rmc[7]);
        const double course = std::stod(rmc[8]);
        EXPECT_GE(course, 0.0);
        EXPECT_LT(course, 360.0);
        topSpeed = std::max(topSpeed, speed);
        // A course is shown from half a knot on; a first look at the demo should see one.
        if (second == 4) {
            EXPECT_GT(speed, 0.5) << "still standing 5 s after the start";
        }
        if (topSpeed > 55 && speed > 0 && speed < 0.5) slowAfterFast = true;
        if (previousCourse >= 0 && std::abs(course - previousCourse) > 300) ++wrapsThroughNorth;
        previousCourse = course;

        gsvCounts.insert(gsv.size());
        const auto header = fields(gsv.front());
        const int inView = std::stoi(header[3]);
        int listed = 0;
        std::set<std::string> sky;
        for (const auto& line : gsv) {
            const auto f = fields(line);
            listed += static_cast<int>((f.size() - 4) / 4);
            for (std::size_t i = 4; i + 3 < f.size(); i += 4) sky.insert(f[i]);
        }
        EXPECT_EQ(listed, inView);

        const int quality = std::stoi(gga[6]);
        qualities.insert(quality);
        if (quality == 0) {
            sawNoFix = true;
            EXPECT_EQ(rmc[2], "V");
            EXPECT_EQ(gsa[2], "1");
        } else {
            EXPECT_EQ(rmc[2], "A");
            EXPECT_EQ(gsa[2], "3");
            EXPECT_GE(inView, 8);
            EXPECT_LE(inView, 12);
            if (firstSky.empty()) firstSky = sky;
            for (const auto& prn : firstSky)
                if (!sky.count(prn) && second > 100) oneSet = true;
        }
    }
    EXPECT_GE(topSpeed, 59.0);
    EXPECT_LE(topSpeed, 61.0);
    EXPECT_TRUE(slowAfterFast) << "never slowed below 0.5 knots";
    EXPECT_GE(wrapsThroughNorth, 2) << "course should wrap past 360 and back";
    EXPECT_EQ(qualities, (std::set<int>{0, 1, 2}));
    EXPECT_TRUE(sawNoFix);
    EXPECT_TRUE(oneSet) << "no satellite went below the horizon";
    EXPECT_TRUE(gsvCounts.count(1) && gsvCounts.count(3)) << "GSV cycles of 1 to 3 sentences";
}

}  // namespace

TEST(Scenario, ColdRestartLosesSignalsThenFixesIn2DBefore3D)
{
    Scenario scenario(5, false);
    for (int second = 0; second < 10; ++second) ASSERT_GT(scenario.step().fixQuality, 0);
    scenario.restart(4);
    int firstSignal = -1, first2d = -1, first3d = -1;
    for (int since = 0; since < 60; ++since) {
        const auto& state = scenario.step();
        const bool heard = std::any_of(state.inView.begin(), state.inView.end(),
                                       [](const Scenario::SatelliteView& v) { return v.snr >= 0; });
        if (heard && firstSignal < 0) firstSignal = since;
        if (state.fixQuality > 0 && state.fixMode == 2 && first2d < 0) first2d = since;
        if (state.fixQuality > 0 && state.fixMode == 3 && first3d < 0) first3d = since;
        const auto gsa = scenario.sentences(Sentence::GSA).front();
        ASSERT_EQ(gsa.substr(0, 10), state.fixQuality == 0 ? "$GPGSA,A,1" : state.fixMode == 2 ? "$GPGSA,A,2" : "$GPGSA,A,3");
    }
    EXPECT_EQ(firstSignal, 5);
    EXPECT_EQ(first2d, 34);
    EXPECT_EQ(first3d, 38);

    // A hot start is back within two seconds; an unknown configuration changes nothing.
    scenario.restart(1);
    EXPECT_EQ(scenario.step().fixQuality, 0);
    scenario.step();
    EXPECT_GT(scenario.step().fixQuality, 0);
    scenario.restart(3);
    EXPECT_GT(scenario.step().fixQuality, 0);
}
