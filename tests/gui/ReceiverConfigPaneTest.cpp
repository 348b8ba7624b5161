// SPDX-License-Identifier: BSD-2-Clause
// The configuration pane against the simulated generation-9 receiver, in process: its answers
// come back on the next turn of the event loop, as the reader's frames do.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <filesystem>

#include "GuiTestApp.h"
#include "binary/StreamFramer.h"
#include "platform/Services.h"
#include "posix/StringsBundle.h"
#include "qt/ReceiverConfigPane.h"
#include "sim/UbxReceiver.h"

using qtplatform::ReceiverConfigPane;

namespace {

constexpr std::uint32_t kRateMeas = 0x30210001;
constexpr std::uint32_t kGalileo = 0x10310021;
constexpr std::uint32_t kBaud = 0x40520001;

class ReceiverConfigPaneTest : public ::testing::Test {
protected:
    ReceiverConfigPaneTest()
    {
        guiTestApp();
        saved = platform::services();
        platform::services().bundle = &english;
    }
    ~ReceiverConfigPaneTest() override { platform::services() = saved; }

    ReceiverConfigPane::ReceiverLink link(bool connected = true)
    {
        ReceiverConfigPane::ReceiverLink l;
        l.connected = [connected] { return connected; };
        l.send = [this](std::vector<std::uint8_t> frame) {
            ++framesSent;
            const auto answer = receiver.receive(frame);
            QTimer::singleShot(0, [this, answer] {
                binary::StreamFramer framer;
                framer.feed(answer);
                binary::Frame frame;
                while (framer.next(frame)) pane->onUbxFrame(frame.ubxClass, frame.ubxId, frame.payload());
            });
        };
        l.lineRate = [] { return std::optional<std::uint32_t>(38400); };
        return l;
    }

    void settle()
    {
        QElapsedTimer clock;
        clock.start();
        do QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        while (pane->configuration().busy() && clock.elapsed() < 5000);
        QCoreApplication::processEvents();
    }

    platform::posix::StringsBundle english{std::filesystem::path(GPSDESK_SOURCE_DIR) / "resources",
                                           std::vector<std::string>{"en"}};
    platform::Services saved;
    sim::UbxReceiver receiver;
    int framesSent = 0;
    std::unique_ptr<ReceiverConfigPane> pane;
};

TEST_F(ReceiverConfigPaneTest, ShowsWhatTheReceiverHoldsAndWritesOnlyWhatChanged)
{
    pane = std::make_unique<ReceiverConfigPane>(link());
    auto* period = qobject_cast<QSpinBox*>(pane->editor(kRateMeas));
    auto* galileo = qobject_cast<QCheckBox*>(pane->editor(kGalileo));
    auto* baud = qobject_cast<QComboBox*>(pane->editor(kBaud));
    ASSERT_TRUE(period && galileo && baud);
    EXPECT_FALSE(period->isEnabled()) << "nothing to edit before it is read";
    pane->show();  // reads back
    settle();
    EXPECT_EQ(period->value(), 1000);
    EXPECT_TRUE(galileo->isChecked());
    EXPECT_EQ(baud->currentText(), "38400");
    EXPECT_TRUE(period->isEnabled());
    EXPECT_EQ(pane->message(), "Current values read from the receiver.");

    const int before = framesSent;
    pane->apply();
    EXPECT_EQ(framesSent, before);
    EXPECT_EQ(pane->message(), "Nothing changed.");

    period->setValue(200);
    galileo->setChecked(false);
    for (QPushButton* button : pane->findChildren<QPushButton*>())
        if (button->text() == "Apply") button->click();
    settle();
    EXPECT_EQ(receiver.measurementPeriodMs(), 200u);
    EXPECT_FALSE(pane->messageIsProblem());
    EXPECT_EQ(pane->message(), "The receiver took CFG-RATE-MEAS=200, CFG-SIGNAL-GAL_ENA=0.");
}

// An M8 has no configuration keys: the pane shows and writes the same settings through its
// older messages.
TEST_F(ReceiverConfigPaneTest, ShowsAndWritesAnM8)
{
    receiver = sim::UbxReceiver(9600, sim::UbxModel::M8);
    auto m8Link = link();
    m8Link.lineRate = [] { return std::optional<std::uint32_t>(9600); };
    pane = std::make_unique<ReceiverConfigPane>(m8Link);
    pane->show();
    settle();
    auto* period = qobject_cast<QSpinBox*>(pane->editor(kRateMeas));
    auto* galileo = qobject_cast<QCheckBox*>(pane->editor(kGalileo));
    auto* baud = qobject_cast<QComboBox*>(pane->editor(kBaud));
    ASSERT_TRUE(period && galileo && baud);
    EXPECT_EQ(pane->message(), "Current values read from the receiver.");
    EXPECT_EQ(period->value(), 1000);
    EXPECT_FALSE(galileo->isChecked()) << "off on an M8 from the factory";
    EXPECT_TRUE(galileo->isEnabled());
    EXPECT_EQ(baud->currentText(), "9600");
    period->setValue(500);
    galileo->setChecked(true);
    pane->apply();
    settle();
    EXPECT_FALSE(pane->messageIsProblem()) << pane->message().toStdString();
    EXPECT_EQ(receiver.measurementPeriodMs(), 500u);
    pane->readBack();
    settle();
    EXPECT_TRUE(galileo->isChecked()) << "read back from the receiver";
}

TEST_F(ReceiverConfigPaneTest, ARefusalIsShownAsAProblemWithTheKeyNamed)
{
    pane = std::make_unique<ReceiverConfigPane>(link());
    pane->readBack();
    settle();
    qobject_cast<QSpinBox*>(pane->editor(kRateMeas))->setValue(10);  // below the receiver's 25 ms
    pane->apply();
    settle();
    EXPECT_TRUE(pane->messageIsProblem());
    EXPECT_TRUE(pane->message().contains("refused CFG-RATE-MEAS=10")) << pane->message().toStdString();
    EXPECT_EQ(receiver.measurementPeriodMs(), 1000u);
}

TEST_F(ReceiverConfigPaneTest, WithoutAReceiverNothingIsSentAndThatIsSaid)
{
    pane = std::make_unique<ReceiverConfigPane>(link(false));
    pane->show();
    pane->save();
    pane->resetToDefaults();
    settle();
    EXPECT_EQ(framesSent, 0);
    EXPECT_TRUE(pane->messageIsProblem());
    EXPECT_EQ(pane->message(), "No receiver is connected.");
}

// Every text of the pane is in the German table too.
TEST_F(ReceiverConfigPaneTest, TheGermanTableHasEveryTextOfThePane)
{
    platform::posix::StringsBundle german{std::filesystem::path(GPSDESK_SOURCE_DIR) / "resources",
                                          std::vector<std::string>{"de"}};
    std::vector<std::string> keys{"ConfigIntro", "ConfigConstellations", "ConfigOutputs", "ConfigRead",
                                  "ConfigApply", "ConfigSave", "ConfigReset", "ConfigUnknown",
                                  "ConfigUnsupported", "ConfigNothingChanged", "ConfigNoReceiver",
                                  "ConfigValuesRead", "ConfigTitle", "menu.configure", "ConfigReadWhat",
                                  "ConfigResetWhat", "ConfigResetDone", "ConfigRateFollowed",
                                  "ConfigRateFellBack", "ConfigRateLost", "ConfigRateNotFollowed",
                                  "ConfigReopenFailed", "ConfigLegacyNoKey", "ConfigLegacyNotFramed",
                                  "ConfigProtocolUnknown"};
    for (const auto& setting : ReceiverConfiguration::shownSettings())
        if (std::string_view(setting.label).starts_with("Config")) keys.emplace_back(setting.label);
    for (const std::string& key : keys) {
        SCOPED_TRACE(key);
        const auto en = english.objectForInfoDictionaryKey(key);
        const auto de = german.objectForInfoDictionaryKey(key);
        ASSERT_TRUE(en && de);
        EXPECT_NE(*en, *de);
    }
}

}  // namespace
