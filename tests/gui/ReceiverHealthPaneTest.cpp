// SPDX-License-Identifier: BSD-2-Clause
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <cstdlib>
#include <filesystem>

#include "GuiTestApp.h"
#include "platform/Services.h"
#include "posix/StringsBundle.h"
#include "qt/ReceiverHealthPane.h"

using qtplatform::ReceiverHealthPane;

namespace {

// The English tables, so that what is asserted (and pictured) is what the user reads.
class ReceiverHealthPaneTest : public ::testing::Test {
protected:
    ReceiverHealthPaneTest()
    {
        guiTestApp();
        saved = platform::services();
        platform::services().bundle = &english;
    }
    ~ReceiverHealthPaneTest() override { platform::services() = saved; }

    platform::posix::StringsBundle english{std::filesystem::path(GPSDESK_SOURCE_DIR) / "resources",
                                           std::vector<std::string>{"en"}};
    platform::Services saved;
};

// A ZED-F9P as it reports itself and a jammed L5 band with a shorted antenna.
ReceiverHealth troubledReceiver()
{
    ReceiverHealth health;
    health.model = "ZED-F9P";
    health.firmware = "HPG 1.32";
    health.software = "EXT CORE 1.00 (fb6a8d)";
    health.hardware = "00190000";
    health.protocolVersion = "27.31";
    health.extensions = {"ROM BASE 0x118B2060", "FWVER=HPG 1.32", "PROTVER=27.31", "MOD=ZED-F9P",
                         "GPS;GLO;GAL;BDS", "SBAS;QZSS"};
    health.jamming = binary::UbxJammingState::Critical;
    health.jamIndicator = 212;
    health.agcCount = 1210;
    health.noisePerMs = 97;
    health.antenna = binary::UbxAntennaStatus::Short;
    health.antennaPower = binary::UbxAntennaPower::Off;
    health.spoofing = binary::UbxSpoofingState::Indicated;
    return health;
}

TEST_F(ReceiverHealthPaneTest, ShowsUnknownUntilTheReceiverSpeaksThenItsWordsInColour)
{
    ReceiverHealth health;
    ReceiverHealthPane pane([&health] { return health; });
    QLabel* antenna = pane.valueLabel("health.antenna");
    ASSERT_NE(antenna, nullptr);
    EXPECT_EQ(antenna->text(), "unknown — the receiver's monitor is off");
    EXPECT_TRUE(antenna->font().italic());
    EXPECT_EQ(pane.valueLabel("health.details"), nullptr);
    const QColor normal = pane.palette().color(QPalette::WindowText);

    health = troubledReceiver();
    pane.refresh();
    antenna = pane.valueLabel("health.antenna");
    ASSERT_NE(antenna, nullptr);
    EXPECT_EQ(antenna->text(), "short circuit");
    EXPECT_NE(antenna->palette().color(QPalette::WindowText), normal) << "a fault stands out";
    EXPECT_EQ(pane.valueLabel("health.model")->palette().color(QPalette::WindowText), normal);
    EXPECT_FALSE(pane.valueLabel("health.model")->font().italic());
    ASSERT_NE(pane.valueLabel("health.details"), nullptr);
    EXPECT_EQ(pane.valueLabel("health.details")->text(), "ROM BASE 0x118B2060");

    pane.resize(pane.sizeHint());
    if (const char* folder = std::getenv("GPSDESK_GUI_PICTURES"))
        pane.grab().save(QString::fromUtf8(folder) + "/receiver-health.png");

    // A new connection forgets the receiver: the extra row goes, the unknowns come back.
    health = ReceiverHealth{};
    pane.refresh();
    EXPECT_EQ(pane.valueLabel("health.details"), nullptr);
    EXPECT_EQ(pane.valueLabel("health.model")->text(), "unknown — the receiver has not sent its version report");
    for (QLabel* label : pane.findChildren<QLabel*>()) {
        if (label->text() == "ROM BASE 0x118B2060") {
            EXPECT_TRUE(label->isHidden());
        }
    }
}

TEST_F(ReceiverHealthPaneTest, ReceiverTextIsNeverMarkup)
{
    ReceiverHealth health;
    health.model = "<b>NEO</b><img src=x>";
    ReceiverHealthPane pane([&health] { return health; });
    QLabel* model = pane.valueLabel("health.model");
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->textFormat(), Qt::PlainText);
    EXPECT_EQ(model->text(), "<b>NEO</b><img src=x>");
}

TEST_F(ReceiverHealthPaneTest, AShownPaneFollowsTheReceiverOnItsOwn)
{
    ReceiverHealth health;
    int asked = 0;
    ReceiverHealthPane pane([&] {
        ++asked;
        return health;
    });
    pane.show();
    health.antenna = binary::UbxAntennaStatus::Open;
    QElapsedTimer clock;
    clock.start();
    // The pane's own timer, about once a second; bounded in case it never comes.
    while (pane.valueLabel("health.antenna")->text() != "open circuit" && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    EXPECT_EQ(pane.valueLabel("health.antenna")->text(), "open circuit");

    // A hidden pane does not ask.
    pane.hide();
    const int before = asked;
    clock.restart();
    while (clock.elapsed() < 1300) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    EXPECT_EQ(asked, before);
}

}  // namespace
