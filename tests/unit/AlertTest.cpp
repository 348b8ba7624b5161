// SPDX-License-Identifier: BSD-2-Clause
#include <algorithm>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include <cctype>
#include <nlohmann/json.hpp>

#include "fakes/FakeControls.h"
#include "fakes/FakeServices.h"
#include "posix/StringsBundle.h"
#include "platform/Alert.h"
#include "nmea/Sentences.h"
#include "tests/unit/ServicesTestSupport.h"

namespace {

const std::filesystem::path kResources = std::filesystem::path(GPSDESK_SOURCE_DIR) / "resources";

class AlertTest : public ::testing::Test {
protected:
    AlertTest()
    {
        fake.bundle.entries = {{"CFBundleName", "GPS Desk"}, {"OK", "OK"},
                               {"NoGPS", "No serial port."},
                               {"Save", "Save"}, {"DontSave", "Don't Save"},
                               {"Delete", "Delete"}, {"DontDelete", "Don't Delete"},
                               {"Yes", "Yes"}, {"No", "No"}};
    }
    fakes::FakePlatform fake;
};

TEST_F(AlertTest, ResolvesThroughTheShippedTablesGermanFirstThenEnglishThenTheKey)
{
    servicestest::TempDir dir;
    // A German table missing one entry, beside the shipped English one.
    nlohmann::json german = nlohmann::json::parse(servicestest::readFile(kResources / "strings/de.json"));
    german.erase("NoGPS");
    servicestest::writeFile(dir.path() / "strings/de.json", german.dump());
    servicestest::writeFile(dir.path() / "strings/en.json",
                            servicestest::readFile(kResources / "strings/en.json"));
    platform::posix::StringsBundle bundle(dir.path(), {"de_DE", "de"});
    platform::services().bundle = &bundle;

    EXPECT_EQ(Alert::localizedStringWithKey("Yes"), "Ja");
    EXPECT_EQ(Alert::localizedStringWithKey("NoGPS"),
              nlohmann::json::parse(servicestest::readFile(kResources / "strings/en.json"))["NoGPS"]);
    EXPECT_EQ(Alert::localizedStringWithKey("NoSuchKey"), "NoSuchKey");
    EXPECT_EQ(Alert::localizedStringWithKey("CFBundleName"), "GPS Desk");
}

// Every figure on the screens is written with a decimal point (the formatters' and the
// drawn views' own texts), so a table text with a decimal comma, or with other names for
// the axes than the views draw (σE, σN), would mix two conventions on one screen.
TEST_F(AlertTest, TableTextsWriteNumbersAndAxesAsTheScreensDo)
{
    for (const char* language : {"en", "de"}) {
        SCOPED_TRACE(language);
        const nlohmann::json table =
            nlohmann::json::parse(servicestest::readFile(kResources / "strings" / (std::string(language) + ".json")));
        for (auto entry = table.begin(); entry != table.end(); ++entry) {
            if (!entry.value().is_string()) continue;
            const std::string text = entry.value().get<std::string>();
            SCOPED_TRACE(entry.key() + ": " + text);
            for (std::size_t i = 1; i + 1 < text.size(); ++i) {
                const bool digitCommaDigit = text[i] == ',' && std::isdigit(static_cast<unsigned char>(text[i - 1])) &&
                                             std::isdigit(static_cast<unsigned char>(text[i + 1]));
                EXPECT_FALSE(digitCommaDigit) << "decimal comma";
            }
            for (std::size_t at = text.find("σ"); at != std::string::npos; at = text.find("σ", at + 1)) {
                const char axis = at + 2 < text.size() ? text[at + 2] : '\0';
                EXPECT_TRUE(axis == 'E' || axis == 'N') << "axis σ" << axis;
            }
        }
    }
}

TEST_F(AlertTest, MessagePanelHasTheNameAsTitleOneOkButtonAndTheTextLiterally)
{
    Alert::showMessageWithKey("NoGPS");
    Alert::showMessageWithKey("UnknownKey");
    Alert::showMessage("100% %s %n <b>bold</b>");
    ASSERT_EQ(fake.alerts.panels.size(), 3u);
    const auto& first = fake.alerts.panels[0];
    EXPECT_EQ(first.title, "GPS Desk");
    EXPECT_EQ(first.message, "No serial port.");
    EXPECT_EQ(first.defaultButton, "OK");
    EXPECT_FALSE(first.alternateButton.has_value());
    EXPECT_EQ(fake.alerts.panels[1].message, "UnknownKey");
    EXPECT_EQ(fake.alerts.panels[2].message, "100% %s %n <b>bold</b>");
}

TEST_F(AlertTest, SheetReturnsBeforeItIsAnsweredAndCarriesNoInformativeText)
{
    fakes::FakeWindow window;
    Alert::showMessageWithKey(&window, "NoGPS");
    Alert::showMessage(&window, "50% done");
    ASSERT_EQ(fake.alerts.sheets.size(), 2u);
    EXPECT_EQ(fake.alerts.openSheets(), 2u);
    EXPECT_TRUE(fake.alerts.panels.empty());
    const auto& sheet = fake.alerts.sheets[0];
    EXPECT_EQ(sheet.window, &window);
    EXPECT_EQ(sheet.message, "No serial port.");
    EXPECT_FALSE(sheet.informative.has_value());
    EXPECT_EQ(sheet.button, "OK");
    EXPECT_EQ(fake.alerts.sheets[1].message, "50% done");
    fake.alerts.answerSheet(0);
    EXPECT_EQ(fake.alerts.openSheets(), 1u);
}

TEST_F(AlertTest, QuestionsAnswerYesOnlyForTheDefaultButton)
{
    struct Case {
        const char* name;
        bool (*ask)(const std::string&);
        const char* defaultButton;
        const char* alternateButton;
    };
    const Case cases[] = {{"save", &Alert::showSave, "Save", "Don't Save"},
                          {"delete", &Alert::showDelete, "Delete", "Don't Delete"},
                          {"yes", &Alert::showYes, "Yes", "No"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake.alerts.panels.clear();
        fake.alerts.panelAnswer = 0;
        EXPECT_TRUE(c.ask("NoGPS"));
        fake.alerts.panelAnswer = 1;
        EXPECT_FALSE(c.ask("NoGPS"));
        fake.alerts.panelAnswer = -1;  // closed without choosing
        EXPECT_FALSE(c.ask("NoGPS"));
        ASSERT_EQ(fake.alerts.panels.size(), 3u);
        EXPECT_EQ(fake.alerts.panels[0].title, "GPS Desk");
        EXPECT_EQ(fake.alerts.panels[0].message, "No serial port.");
        EXPECT_EQ(fake.alerts.panels[0].defaultButton, c.defaultButton);
        EXPECT_EQ(fake.alerts.panels[0].alternateButton, std::optional<std::string>(c.alternateButton));
    }
}

TEST_F(AlertTest, MissingServicesShowNothingAndQuestionsAnswerNo)
{
    platform::services().alerts = nullptr;
    platform::services().speech = nullptr;
    Alert::showMessageWithKey("NoGPS");
    Alert::showMessageWithKey(nullptr, "NoGPS");
    Alert::speakMessageWithKey("NoGPS");
    EXPECT_FALSE(Alert::showYes("NoGPS"));
    EXPECT_TRUE(fake.alerts.panels.empty());
    EXPECT_TRUE(fake.speech.spoken.empty());
}

TEST_F(AlertTest, SpeaksTheResolvedText)
{
    Alert::speakMessageWithKey("NoGPS");
    EXPECT_EQ(fake.speech.spoken, std::vector<std::string>{"No serial port."});
    fake.speech.available = false;
    Alert::speakMessageWithKey("NoGPS");  // no speech service: silently nothing
    EXPECT_EQ(fake.speech.spoken.size(), 1u);
}

TEST(StringTablesTest, EnglishAndGermanCoverEveryMessageKey)
{
    const std::set<std::string> listed = {
        "CFBundleName", "OK", "UnableToOpenPort", "NoGPSPositionData", "NoGPS",
        "CorruptSettings", "CorruptSettingsList", "SettingsSetAside", "SettingsInMemory",
        "SettingsNotSaved", "ConnectionLost", "Start", "Stop", "Automatic", "Manual",
        "NoFix", "2D", "3D", "Invalid", "GPS", "DGPS", "HDOP", "HPE", "ALT",
        "Save", "DontSave", "Delete", "DontDelete", "Yes", "No", "UsedInView",
        "UpdatesDropped", "SentenceRejected", "BrokenLine",
        "DoctorPermission", "DoctorAddToGroup", "DoctorLoginAgain", "DoctorModeDenies",
        "DoctorHeldBy", "DoctorHeldByOurs", "DoctorLikelyHolder", "DoctorRemedyGpsd",
        "DoctorRemedyModemManager", "DoctorRemedyOther", "DoctorStaleLock",
        "DoctorGone", "DoctorPortsNow", "DoctorNoPorts", "DoctorOther",
        "DoctorSharedUse", "DoctorSharedUseLikely", "DoctorWrongRate",
        "DoctorRateTrying", "DoctorRateFound", "DoctorRateNotFound",
        "DoctorReconnected", "DoctorWaitingForDevice"};
    // Every reason a decoder gives has its text.
    std::set<std::string> keys = listed;
    for (int problem = 1; problem <= static_cast<int>(DecodeProblem::BadNumber); ++problem)
        keys.insert(std::string(decodeProblemKey(static_cast<DecodeProblem>(problem))));
    // Every key the program looks up is in both tables, and neither table has a key the
    // other lacks, so a text added in one language only is caught.
    std::map<std::string, std::set<std::string>> presentByLanguage;
    for (const char* language : {"en", "de"}) {
        SCOPED_TRACE(language);
        platform::posix::StringsBundle bundle(kResources, {language});
        ASSERT_EQ(bundle.loadedLanguages().front(), language);
        const nlohmann::json table = nlohmann::json::parse(
            servicestest::readFile(kResources / "strings" / (std::string(language) + ".json")));
        std::set<std::string> present;
        for (const auto& [key, value] : table.items()) {
            EXPECT_TRUE(value.is_string() && !value.get<std::string>().empty()) << key;
            present.insert(key);
        }
        EXPECT_TRUE(std::includes(present.begin(), present.end(), keys.begin(), keys.end()));
        EXPECT_EQ(bundle.objectForInfoDictionaryKey("CFBundleName"), "GPS Desk");
        presentByLanguage[language] = present;
    }
    EXPECT_EQ(presentByLanguage["en"], presentByLanguage["de"]);
}

}  // namespace
