// SPDX-License-Identifier: BSD-2-Clause
#include "quality/ObstructionMap.h"
#include "quality/SignalHistory.h"

#include <vector>

#include <gtest/gtest.h>

namespace {

SatelliteInView sat(int svid, int elevation, int azimuth, std::optional<int> snr)
{
    SatelliteInView s;
    s.svid = svid;
    s.elevationDegrees = elevation;
    s.azimuthDegrees = azimuth;
    s.snrDbHz = snr;
    return s;
}

}  // namespace

TEST(SignalHistoryTest, KeepsTenMinutesAndStartsOverWhenTheClockGoesBack)
{
    SignalHistory history;
    const std::vector<SatelliteInView> sky{sat(5, 40, 120, 35), sat(7, 10, 200, std::nullopt), sat(0, 10, 10, 20)};
    for (int t = 0; t <= 900; ++t) history.record(t, sky);
    // Seconds 300..900 of two satellites; number 0 is no satellite.
    EXPECT_EQ(history.samples().size(), 2u * 601u);
    EXPECT_DOUBLE_EQ(history.samples().oldest().timeSeconds, 300.0);
    EXPECT_EQ(history.samples().newest().svid, 7);
    EXPECT_EQ(history.samples().newest().snrDbHz, 0) << "no signal is kept as 0";

    history.record(10.0, sky);
    EXPECT_EQ(history.samples().size(), 2u);
}

TEST(SignalHistoryTest, NeverHoldsMoreThanItsCapacity)
{
    SignalHistory history;
    std::vector<SatelliteInView> crowd;
    for (int n = 1; n <= 200; ++n) crowd.push_back(sat(n, 30, 30, 40));
    for (int t = 0; t < 300; ++t) history.record(t, crowd);
    EXPECT_EQ(history.samples().size(), SignalHistory::kCapacity);
    EXPECT_DOUBLE_EQ(history.samples().newest().timeSeconds, 299.0);
}

TEST(ObstructionMapTest, CellsHoldTheMedianSignalSeenThere)
{
    ObstructionMap map;
    // North-east, 40..49° up: 30 35 40 and two without signal → median of 0 0 30 35 40 = 30.
    map.record(std::vector{sat(1, 45, 40, 30), sat(2, 41, 49, 35), sat(3, 49, 45, 40)});
    map.record(std::vector{sat(1, 45, 40, std::nullopt), sat(1, 45, 40, 0)});
    EXPECT_EQ(map.medianSnr(4, 4), 30);
    EXPECT_EQ(map.samples(4, 4), 5u);
    // An even count takes the lower of the middle two: 20 and 44 → 20.
    map.record(std::vector{sat(4, 5, 355, 20), sat(4, 5, 359, 44)});
    EXPECT_EQ(map.medianSnr(35, 0), 20);
    // Zenith goes to the top ring, azimuth 360 to north.
    map.record(std::vector{sat(5, 90, 360, 50)});
    EXPECT_EQ(map.medianSnr(0, 8), 50);
    // Impossible places are skipped, and so are questions about them.
    map.record(std::vector{sat(6, 91, 10, 40), sat(6, -1, 10, 40), sat(6, 10, 361, 40), sat(6, 10, -5, 40)});
    EXPECT_FALSE(map.medianSnr(1, 1));
    EXPECT_FALSE(map.medianSnr(0, 0));
    EXPECT_FALSE(map.medianSnr(36, 0));
    EXPECT_FALSE(map.medianSnr(0, -1));

    map.reset();
    EXPECT_FALSE(map.medianSnr(4, 4));
}
