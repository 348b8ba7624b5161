// SPDX-License-Identifier: BSD-2-Clause
#include "quality/AccuracyStatistics.h"

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

const GeodeticPosition kOrigin{38.11049, -122.62690, 83.0};

// A fix placed at exact east/north metres from kOrigin.
FixSample at(double east, double north, float hdop = 1.0f, float knots = 0.0f)
{
    const LocalTangentPlane plane(kOrigin);
    FixSample fix;
    fix.position = plane.toGeodetic({east, north, 0.0});
    fix.hdop = hdop;
    fix.speedKnots = knots;
    return fix;
}

}  // namespace

TEST(AccuracyStatisticsTest, FiguresOfAHandComputedSetOfPoints)
{
    // Points (2,1) (4,1) (2,5) (4,5) (3,3): mean (3,3).
    //   east deviations -1 1 -1 1 0   σE = √(4/5) = 0.894427
    //   north deviations -2 -2 2 2 0  σN = √(16/5) = 1.788854
    //   CEP50 estimate 0.5887 (σE + σN) = 1.579648
    //   2DRMS 2 √(4/5 + 16/5) = 4
    //   radii sorted 0 √5 √5 √5 √5: median √5 = 2.236068, 95 % at rank 3.8 → √5
    AccuracyStatistics stats;
    for (const auto& p : {at(2, 1), at(4, 1), at(2, 5), at(4, 5), at(3, 3)}) ASSERT_TRUE(stats.add(p));
    const AccuracySummary& s = *stats.summary();
    EXPECT_EQ(s.points, 5u);
    EXPECT_NEAR(s.sigmaEastMetres, 0.894427, 1e-5);
    EXPECT_NEAR(s.sigmaNorthMetres, 1.788854, 1e-5);
    EXPECT_NEAR(s.cep50EstimateMetres, 1.579648, 1e-5);
    EXPECT_NEAR(s.drms2Metres, 4.0, 1e-5);
    EXPECT_NEAR(s.cep50Metres, 2.236068, 1e-5);
    EXPECT_NEAR(s.cep95Metres, 2.236068, 1e-5);
    const LocalOffset mean = LocalTangentPlane(kOrigin).toLocal(s.mean);
    EXPECT_NEAR(mean.eastMetres, 3.0, 1e-5);
    EXPECT_NEAR(mean.northMetres, 3.0, 1e-5);
    ASSERT_EQ(stats.scatter().size(), 5u);
    EXPECT_NEAR(stats.scatter()[0].eastMetres, -1.0, 1e-5);
    EXPECT_NEAR(stats.scatter()[0].northMetres, -2.0, 1e-5);
    // HDOP 1 is the sky plot's 24.5 feet: 7.4676 m.
    EXPECT_NEAR(*s.receiverEstimateMetres, 7.4676, 1e-4);
}

TEST(AccuracyStatisticsTest, EmpiricalRadiiInterpolateBetweenRanks)
{
    // Radii 1 1 2 2 around mean 0: median at rank 1.5 → 1.5; 95 % at rank 2.85 → 2.
    AccuracyStatistics stats;
    for (const auto& p : {at(1, 0), at(-1, 0), at(0, 2), at(0, -2)}) stats.add(p);
    EXPECT_NEAR(stats.summary()->cep50Metres, 1.5, 1e-5);
    EXPECT_NEAR(stats.summary()->cep95Metres, 2.0, 1e-5);
    EXPECT_DOUBLE_EQ(AccuracyStatistics::percentile({0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}, 0.95), 95.0);
    EXPECT_DOUBLE_EQ(AccuracyStatistics::percentile({}, 0.5), 0.0);
}

TEST(AccuracyStatisticsTest, KeepsOnlyTheNewestFixesAndStartsOverOnReset)
{
    AccuracyStatistics stats(4);
    for (int i = 0; i < 10; ++i) stats.add(at(1000.0 * i, 0));  // the old ones must not count
    for (const auto& p : {at(1, 0), at(-1, 0), at(0, 2), at(0, -2)}) stats.add(p);
    EXPECT_EQ(stats.size(), 4u);
    EXPECT_EQ(stats.summary()->points, 4u);
    EXPECT_NEAR(stats.summary()->sigmaEastMetres, std::sqrt(0.5), 1e-5);
    EXPECT_NEAR(stats.summary()->sigmaNorthMetres, std::sqrt(2.0), 1e-5);

    stats.reset();
    EXPECT_EQ(stats.size(), 0u);
    EXPECT_FALSE(stats.summary());
    EXPECT_TRUE(stats.scatter().empty());
}

TEST(AccuracyStatisticsTest, APlaceFarFromTheFirstFixIsMeasuredOnItsOwnHorizon)
{
    // 50 km apart the horizons tilt by 0.45°; a scatter measured on the first one would take
    // in part of the 100 m height difference.
    AccuracyStatistics stats(2);
    stats.add(at(0, 0));
    FixSample a = at(50000.0, 0);
    FixSample b = a;
    const LocalTangentPlane there(a.position);
    b.position = there.toGeodetic({1.0, 0.0, 100.0});
    stats.add(a);
    stats.add(b);
    EXPECT_NEAR(stats.summary()->sigmaEastMetres, 0.5, 1e-6);
    EXPECT_NEAR(stats.summary()->sigmaNorthMetres, 0.0, 1e-6);
}

// The kept fixes move to a new origin's horizon when one far away comes, also when the
// summary is asked only after more fixes near it.
TEST(AccuracyStatisticsTest, FixesKeptFromBeforeAMoveAreMeasuredFromTheNewOrigin)
{
    AccuracyStatistics stats(4);
    stats.add(at(0, 0));
    stats.add(at(0, 2));
    ASSERT_TRUE(stats.summary());  // worked out once on the first origin
    stats.add(at(3000, 0));
    stats.add(at(3000, 2));
    const LocalTangentPlane origin(kOrigin);
    const LocalOffset mean = origin.toLocal(stats.summary()->mean);
    EXPECT_NEAR(mean.eastMetres, 1500.0, 0.5);
    EXPECT_NEAR(mean.northMetres, 1.0, 0.5);
    EXPECT_NEAR(stats.summary()->sigmaEastMetres, 1500.0, 1.0);
}

TEST(AccuracyStatisticsTest, MovingFollowsTheNewestFixAndBadFixesAreDropped)
{
    AccuracyStatistics stats;
    stats.add(at(0, 0, 1.0f, 0.5f));
    EXPECT_FALSE(stats.summary()->moving);
    stats.add(at(0, 0, 1.0f, 0.6f));
    EXPECT_TRUE(stats.summary()->moving);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const GeodeticPosition& bad : {GeodeticPosition{nan, 0, 0}, GeodeticPosition{91, 0, 0},
                                        GeodeticPosition{0, 181, 0}, GeodeticPosition{0, 0, nan}}) {
        FixSample fix;
        fix.position = bad;
        EXPECT_FALSE(stats.add(fix));
    }
    EXPECT_EQ(stats.size(), 2u);
    EXPECT_TRUE(std::isfinite(stats.summary()->cep95Metres));

    // No HDOP anywhere: no receiver estimate, rather than one made of zeros.
    AccuracyStatistics without;
    FixSample fix = at(0, 0);
    fix.hdop.reset();
    without.add(fix);
    EXPECT_FALSE(without.summary()->receiverEstimateMetres);
}

TEST(AccuracyStatisticsTest, CsvHasAHeaderAndOneLinePerFixOldestFirst)
{
    AccuracyStatistics stats;
    FixSample first = at(-1, 0);
    first.timeSeconds = 10.0;
    FixSample second = at(1, 0, 0.8f, 0.25f);
    second.timeSeconds = 11.0;
    second.hdop.reset();
    stats.add(first);
    stats.add(second);
    std::istringstream csv(stats.csv());
    std::string header, line1, line2, extra;
    std::getline(csv, header);
    std::getline(csv, line1);
    std::getline(csv, line2);
    EXPECT_FALSE(std::getline(csv, extra));
    EXPECT_EQ(header, "time_s,latitude_deg,longitude_deg,height_m,east_m,north_m,hdop,speed_kn");
    const auto fields = [](const std::string& line) {
        std::vector<std::string> out;
        std::istringstream in(line);
        for (std::string field; std::getline(in, field, ',');) out.push_back(field);
        if (!line.empty() && line.back() == ',') out.emplace_back();
        return out;
    };
    const auto f1 = fields(line1);
    const auto f2 = fields(line2);
    ASSERT_EQ(f1.size(), 8u);
    ASSERT_EQ(f2.size(), 8u);
    EXPECT_EQ(f1[0], "10.000");
    EXPECT_NEAR(std::stod(f1[1]), 38.11049, 1e-4);
    EXPECT_NEAR(std::stod(f1[4]), -1.0, 1e-4);
    EXPECT_EQ(f1[6], "1.00");
    EXPECT_EQ(f2[0], "11.000");
    EXPECT_NEAR(std::stod(f2[4]), 1.0, 1e-4);
    EXPECT_EQ(f2[6], "");  // no HDOP sent
    EXPECT_EQ(f2[7], "0.250");
}
