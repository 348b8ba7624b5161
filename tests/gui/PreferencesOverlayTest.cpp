// SPDX-License-Identifier: BSD-2-Clause
// A run on the simulated receiver must not overwrite the user's own port and rate.
#include <gtest/gtest.h>

#include "fakes/FakeServices.h"
#include "qt/PreferencesOverlay.h"

using platform::PreferenceValue;

TEST(PreferencesOverlayTest, SimulatedPortIsReadAndSavedInMemoryOnly)
{
    fakes::FakePreferences user;
    user.values["serialPort"] = std::string("/dev/ttyUSB0");
    user.values["rate"] = std::string("38400");
    user.values["units"] = std::int64_t{1};
    qtplatform::PreferencesOverlay overlay(
        user, {{"serialPort", std::string("/dev/pts/7")}, {"rate", std::string("4800")}});

    EXPECT_EQ(overlay.objectForKey("serialPort"), PreferenceValue(std::string("/dev/pts/7")));
    EXPECT_EQ(overlay.objectForKey("units"), PreferenceValue(std::int64_t{1}));

    // What the settings drawer writes at the end of the run.
    overlay.setObject("serialPort", std::string("/dev/pts/7"));
    overlay.setObject("rate", std::string("9600"));
    overlay.setObject("units", std::int64_t{2});
    EXPECT_TRUE(overlay.synchronize());

    EXPECT_EQ(user.values["serialPort"], PreferenceValue(std::string("/dev/ttyUSB0")));
    EXPECT_EQ(user.values["rate"], PreferenceValue(std::string("38400")));
    EXPECT_EQ(user.values["units"], PreferenceValue(std::int64_t{2})) << "units are the user's";
    EXPECT_EQ(user.synchronizeCount, 1);
    EXPECT_EQ(overlay.objectForKey("rate"), PreferenceValue(std::string("9600")));
}

TEST(PreferencesOverlayTest, AFailedSaveSaysWhyThroughTheOverlay)
{
    fakes::FakePreferences user;
    user.failure = std::string("/home/u/.config/gpsdesk: Not a directory");
    qtplatform::PreferencesOverlay overlay(user, {{"serialPort", std::string("/dev/pts/7")}});
    EXPECT_EQ(overlay.failureReason(), "/home/u/.config/gpsdesk: Not a directory");
}
