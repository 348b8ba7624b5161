// SPDX-License-Identifier: BSD-2-Clause
#include <gtest/gtest.h>

#include "instruments/SatelliteStore.h"
#include "receiver/Satellite.h"
#include "fakes/FakeControls.h"
#include "instruments/SkyPlotView.h"

namespace {

struct Store {
    fakes::FakeDrawer drawer;
    fakes::FakeViewHost host;
    SkyPlotView view;
    SatelliteStore controller;

    Store()
    {
        view.setHost(&host);
        view.setSatelliteStore(&controller);
        controller.setSatelliteDrawer(&drawer);
        controller.setSatelliteView(&view);
    }
};

}  // namespace

TEST(SatelliteStoreTest, StrengthStepsFromTheSignalToNoiseRatio)
{
    struct Step {
        std::int64_t snrFrom, snrTo;
        std::int32_t strength;
    };
    const Step steps[] = {
        {0, 7, 1}, {8, 12, 2}, {13, 15, 3}, {20, 20, 6}, {25, 25, 9}, {30, 30, 14},
        {35, 35, 23}, {40, 40, 36}, {45, 45, 57}, {49, 49, 81}, {50, 99, 89},
        {-1, -1, 0}, {-1000, -1000, 0},
        {INT32_MAX, INT32_MAX, 89}, {INT32_MIN, INT32_MIN, 0},
    };
    auto satellite = Satellite::satellite();
    for (const auto& step : steps) {
        for (std::int64_t snr = step.snrFrom; snr <= step.snrTo; ++snr) {
            SCOPED_TRACE(snr);
            satellite->set(5, 40, 120, static_cast<std::int32_t>(snr));
            EXPECT_EQ(satellite->strength(), step.strength);
        }
    }
}

TEST(SatelliteStoreTest, WakeMakesTwelveEmptySlotsAndOpensTheDrawer)
{
    Store store;
    EXPECT_EQ(store.controller.satellite(0), nullptr);  // no table before wake-up
    store.controller.start();
    for (std::uint32_t i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        const Satellite* satellite = store.controller.satellite(i);
        ASSERT_NE(satellite, nullptr);
        EXPECT_EQ(satellite->number(), 0);
        EXPECT_EQ(satellite->elevation(), 0);
        EXPECT_EQ(satellite->degrees(), 0);
        EXPECT_EQ(satellite->strength(), 1);
    }
    EXPECT_EQ(store.controller.satellite(12), nullptr);
    EXPECT_EQ(store.controller.satellite(static_cast<std::uint32_t>(-1)), nullptr);
    EXPECT_EQ(store.controller.pDop(), 0.0f);
    EXPECT_EQ(store.controller.hDop(), 0.0f);
    EXPECT_EQ(store.controller.vDop(), 0.0f);
    EXPECT_TRUE(store.drawer.isOpen());
    EXPECT_EQ(store.host.redrawRequests, 1);
}

TEST(SatelliteStoreTest, EstimatedPositionErrorIsTwentyFourAndAHalfFeetPerHdop)
{
    Store store;
    store.controller.start();
    EXPECT_FLOAT_EQ(store.controller.epe(), 0.0f);
    store.controller.setDop(2.1f, 1.0f, 1.8f);
    EXPECT_FLOAT_EQ(store.controller.epe(), 24.5f);
    store.controller.setDop(2.1f, 1.2f, 1.8f);
    EXPECT_EQ(store.controller.epe(), 24.5f * 1.2f);  // single precision, as shown
    EXPECT_FLOAT_EQ(store.controller.pDop(), 2.1f);
    EXPECT_FLOAT_EQ(store.controller.vDop(), 1.8f);
}

TEST(SatelliteStoreTest, RedrawsWhenShownDataChangeButNotOnClearOrUnit)
{
    Store store;
    store.controller.start();
    int expected = store.host.redrawRequests;

    // A GSV sequence: clear on message 1, store, update on the last message.
    store.controller.clear();
    store.controller.satellite(0)->set(3, 40, 100, 35);
    EXPECT_EQ(store.host.redrawRequests, expected);
    store.controller.update();
    EXPECT_EQ(store.host.redrawRequests, ++expected);

    store.controller.setMeters(true);  // shows with the next redraw
    EXPECT_EQ(store.host.redrawRequests, expected);
    EXPECT_TRUE(store.controller.meters());
    store.controller.setDop(1, 1, 1);
    EXPECT_EQ(store.host.redrawRequests, ++expected);
    store.controller.setAltitude(300.0f);
    EXPECT_EQ(store.host.redrawRequests, ++expected);
    EXPECT_FLOAT_EQ(store.controller.altitude(), 300.0f);
}

TEST(SatelliteStoreTest, ResetAndCloseEmptyTheStore)
{
    Store store;
    store.controller.start();
    store.controller.satellite(11)->set(31, 12, 300, 20);
    store.controller.setDop(3, 2, 1);
    store.controller.setAltitude(120.0f);

    store.controller.reset();
    EXPECT_EQ(store.controller.satellite(11)->number(), 0);
    EXPECT_EQ(store.controller.hDop(), 0.0f);
    EXPECT_EQ(store.controller.altitude(), 0.0f);
    EXPECT_TRUE(store.drawer.isOpen());

    store.controller.satellite(4)->set(8, 12, 300, 20);
    store.controller.close();
    EXPECT_EQ(store.controller.satellite(4)->number(), 0);
    EXPECT_FALSE(store.drawer.isOpen());
}

TEST(SatelliteStoreTest, TransparencySetsTheWindowOpacity)
{
    Store store;
    store.controller.setTransparent(false);
    EXPECT_FLOAT_EQ(store.host.windowAlpha, 0.7f);
    store.controller.setTransparent(true);
    EXPECT_FLOAT_EQ(store.host.windowAlpha, 1.0f);

    SatelliteStore bare;  // no drawer, no view: nothing to crash on
    bare.start();
    bare.setTransparent(false);
    bare.close();
}

TEST(SatelliteStoreTest, WholeSkyIsGroupedByConstellationWithoutATwelveSlotLimit)
{
    Store store;
    store.controller.start();
    const int redraws = store.host.redrawRequests;

    // Seventy satellites, systems interleaved as a GN receiver might list them.
    std::vector<SatelliteInView> sky;
    const Constellation order[] = {Constellation::GLONASS, Constellation::GPS,
                                   Constellation::Galileo};
    for (int i = 0; i < 70; ++i)
        sky.push_back({order[i % 3], i + 1, 10 + i % 80, i * 5 % 360, 30, i % 2 == 0, {}, {}, {}});
    sky[1].snrDbHz.reset();  // GPS 2: not tracked
    store.controller.setSatellitesInView(sky);

    ASSERT_EQ(store.controller.size(), 70u);
    EXPECT_EQ(store.host.redrawRequests, redraws + 1);
    // GPS first, then Galileo, then GLONASS; each group in the order the receiver gave.
    const Satellite* first = store.controller.satellite(0);
    EXPECT_EQ(first->constellation(), Constellation::GPS);
    EXPECT_EQ(first->number(), 2);
    EXPECT_EQ(first->strength(), 0);
    EXPECT_EQ(store.controller.satellite(1)->number(), 5);
    EXPECT_EQ(store.controller.satellite(1)->strength(), Satellite::strengthForSnr(30));
    EXPECT_EQ(store.controller.satellite(23)->constellation(), Constellation::Galileo);
    EXPECT_EQ(store.controller.satellite(23)->number(), 3);
    EXPECT_TRUE(store.controller.satellite(23)->usedInFix());
    EXPECT_EQ(store.controller.satellite(69)->constellation(), Constellation::GLONASS);
    EXPECT_EQ(store.controller.satellite(69)->number(), 70);
    EXPECT_FALSE(store.controller.satellite(69)->usedInFix());

    // A smaller sky shrinks back to twelve slots, the rest empty; the legacy set() makes a
    // slot plain GPS again.
    store.controller.setSatellitesInView({{Constellation::BeiDou, 14, 40, 100, 25, true, {}, {}, {}}});
    ASSERT_EQ(store.controller.size(), 12u);
    EXPECT_EQ(store.controller.satellite(0)->constellation(), Constellation::BeiDou);
    EXPECT_EQ(store.controller.satellite(11)->number(), 0);
    EXPECT_EQ(store.controller.satellite(12), nullptr);
    store.controller.satellite(0)->set(7, 40, 100, 25);
    EXPECT_EQ(store.controller.satellite(0)->constellation(), Constellation::GPS);
    EXPECT_FALSE(store.controller.satellite(0)->usedInFix());
}
