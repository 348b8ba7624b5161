// SPDX-License-Identifier: BSD-2-Clause
#include <gtest/gtest.h>

#include "fakes/FakeServices.h"
#include "posix/JsonPreferences.h"
#include "platform/Settings.h"
#include "tests/unit/ServicesTestSupport.h"

namespace {

using platform::PreferenceValue;

class SettingsTest : public ::testing::Test {
protected:
    SettingsTest() { fake.bundle.entries = {{"CorruptSettings", "Corrupt settings"}}; }
    fakes::FakePlatform fake;
};

TEST_F(SettingsTest, FirstRunReadsNothingAndShowsNothing)
{
    servicestest::TempDir dir;
    platform::posix::JsonPreferences store(dir.path() / "gpsdesk/preferences.json");
    platform::services().preferences = &store;
    EXPECT_EQ(Settings::item("serialPort", SettingType::Text), std::nullopt);
    EXPECT_EQ(Settings::item("units", SettingType::Number), std::nullopt);
    Settings::save();  // nothing changed: nothing written
    EXPECT_FALSE(std::filesystem::exists(store.path()));
    EXPECT_TRUE(fake.alerts.panels.empty());
}

TEST_F(SettingsTest, TypedValuesSurviveIntoAFreshStore)
{
    servicestest::TempDir dir;
    const auto file = dir.path() / "gpsdesk/preferences.json";
    {
        platform::posix::JsonPreferences store(file);
        platform::services().preferences = &store;
        Settings::setItem("serialPort", PreferenceValue(std::string("/dev/ttyUSB0")));
        Settings::setItem("rate", PreferenceValue(std::string("4800")));
        Settings::setItem("units", PreferenceValue(std::int64_t{2}));
        Settings::save();
    }
    platform::posix::JsonPreferences reopened(file);
    platform::services().preferences = &reopened;
    EXPECT_EQ(Settings::item("serialPort", SettingType::Text), PreferenceValue(std::string("/dev/ttyUSB0")));
    // A number-like text stays a text, and an integer an integer.
    EXPECT_EQ(Settings::item("rate", SettingType::Text), PreferenceValue(std::string("4800")));
    EXPECT_EQ(Settings::item("units", SettingType::Number), PreferenceValue(std::int64_t{2}));
    EXPECT_TRUE(fake.alerts.panels.empty());
}

TEST_F(SettingsTest, WrongTypeWarnsOnEveryReadAndStaysStored)
{
    fake.preferences.values["units"] = std::string("2");
    fake.preferences.values["rate"] = std::int64_t{4800};
    EXPECT_EQ(Settings::item("units", SettingType::Number), std::nullopt);
    EXPECT_EQ(Settings::item("units", SettingType::Number), std::nullopt);
    EXPECT_EQ(Settings::item("rate", SettingType::Text), std::nullopt);
    ASSERT_EQ(fake.alerts.panels.size(), 3u);
    for (const auto& panel : fake.alerts.panels) EXPECT_EQ(panel.message, "Corrupt settings");
    EXPECT_EQ(fake.preferences.values.at("units"), PreferenceValue(std::string("2")));
    EXPECT_EQ(fake.preferences.values.at("rate"), PreferenceValue(std::int64_t{4800}));

    // A write under the key repairs it.
    Settings::setItem("units", PreferenceValue(std::int64_t{1}));
    EXPECT_EQ(Settings::item("units", SettingType::Number), PreferenceValue(std::int64_t{1}));
    EXPECT_EQ(fake.alerts.panels.size(), 3u);
}

TEST_F(SettingsTest, AnyKindOfNumberPassesTheNumberCheck)
{
    fake.preferences.values["a"] = 2.5;
    fake.preferences.values["b"] = true;
    EXPECT_EQ(Settings::item("a", SettingType::Number), PreferenceValue(2.5));
    EXPECT_EQ(Settings::item("b", SettingType::Number), PreferenceValue(true));
    EXPECT_TRUE(fake.alerts.panels.empty());
}

TEST_F(SettingsTest, NullValueOrEmptyKeyWritesNothing)
{
    Settings::setItem("serialPort", PreferenceValue(std::string("/dev/ttyS0")));
    Settings::setItem("serialPort", std::nullopt);
    Settings::setItem("", PreferenceValue(std::string("x")));
    EXPECT_EQ(Settings::item("serialPort", SettingType::Text), PreferenceValue(std::string("/dev/ttyS0")));
    EXPECT_EQ(fake.preferences.values.size(), 1u);
}

}  // namespace
