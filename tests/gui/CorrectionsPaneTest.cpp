// SPDX-License-Identifier: BSD-2-Clause
// The corrections pane, the source settings and the secret store on the real toolkit.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStandardPaths>

#include <cstdlib>
#include <fstream>
#include <variant>

#include "GuiTestApp.h"
#include "app/CorrectionsController.h"
#include "fakes/FakeSecretStore.h"
#include "fakes/FakeServices.h"
#include "fakes/TestData.h"
#include "platform/Services.h"
#include "posix/StringsBundle.h"
#include "qt/CorrectionsPane.h"
#include "qt/QtSecretStore.h"
#include "qt/SourceSettingsPane.h"
#include "sources/Rtcm3Framer.h"

namespace {

using qtplatform::CorrectionsPane;
using qtplatform::SourceSettingsPane;

class CorrectionsPaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        guiTestApp();
        saved = platform::services();
        platform::services().bundle = &english;
    }
    void TearDown() override { platform::services() = saved; }

    platform::posix::StringsBundle english{std::string(GPSDESK_SOURCE_DIR) + "/resources", {"en"}};
    platform::Services saved;
    fakes::FakeSecretStore secrets;
    CorrectionsController corrections{&secrets};
};

TEST_F(CorrectionsPaneTest, ShowsTheBaseStationItsPositionAndEveryMessageType)
{
    REQUIRE_TESTDATA(root);
    std::ifstream log(root / "rtcm3/ublox-zed-f9t-rtcm3.log", std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>()};
    Rtcm3Framer framer;
    framer.feed({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()},
                [&](std::span<const std::uint8_t> frame) { corrections.frameReceived({frame.begin(), frame.end()}); });

    CorrectionsPane pane(corrections, [] { return nullptr; });
    pane.show();
    pane.refresh();
    // gpsd's decoding of the log's 1005: station 0 at these ECEF coordinates.
    ASSERT_NE(pane.valueLabel("corrections.base"), nullptr);
    EXPECT_EQ(pane.valueLabel("corrections.base")->text().toStdString(),
              "X -2386072.7310  Y -3922192.5049  Z 4414363.4131 m");
    EXPECT_EQ(pane.valueLabel("corrections.station")->text(), QStringLiteral("0"));
    for (const char* type : {"rtcm.1005", "rtcm.1077", "rtcm.1087", "rtcm.1097", "rtcm.1127", "rtcm.1230", "rtcm.4072"})
        EXPECT_NE(pane.valueLabel(type), nullptr) << type;
    EXPECT_EQ(pane.valueLabel("rtcm.1005")->text(), QStringLiteral("26"));
    // One a frame: gpsd's check file writes most of the 26 twice.
    EXPECT_EQ(pane.valueLabel("rtcm.1230")->text(), QStringLiteral("26"));
    EXPECT_NE(pane.valueLabel("corrections.age"), nullptr);
}

TEST_F(CorrectionsPaneTest, SettingsKeepThePasswordOutOfThePreferencesAndRefuseWrongSources)
{
    fakes::FakePreferences preferences;
    SourceSettingsPane settings(corrections, preferences, [] { return std::optional<std::string>(); });
    const QString secret = QStringLiteral("Geheim-42");

    settings.sourceField().setText(QStringLiteral("ntrip://rover@127.0.0.1:9/M"));
    EXPECT_FALSE(settings.apply());
    EXPECT_TRUE(settings.note().contains(QStringLiteral("corrections, not the receiver's data"))) << settings.note().toStdString();
    EXPECT_TRUE(preferences.values.empty()) << "nothing saved from a wrong form";

    settings.sourceField().setText(QStringLiteral("gpsd://localhost/dev/ttyACM0"));
    // Port 9 on this computer: nobody listens, the client only retries quietly.
    settings.casterField().setText(QStringLiteral("ntrip://rover@127.0.0.1:9/NEAR"));
    settings.passwordField().setText(secret);
    settings.ggaSecondsField().setValue(5);
    ASSERT_TRUE(settings.apply()) << settings.note().toStdString();
    EXPECT_TRUE(settings.passwordField().text().isEmpty()) << "the password leaves the form at once";
    EXPECT_EQ(secrets.secrets["ntrip:rover@127.0.0.1:9"], secret.toStdString());
    EXPECT_EQ(std::get<std::string>(preferences.values["SourceURL"]), "gpsd://localhost/dev/ttyACM0");
    EXPECT_EQ(std::get<std::string>(preferences.values["NtripURL"]), "ntrip://rover@127.0.0.1:9/NEAR");
    EXPECT_EQ(std::get<std::int64_t>(preferences.values["NtripGgaSeconds"]), 5);
    for (const auto& [key, value] : preferences.values)
        if (const auto* text = std::get_if<std::string>(&value)) {
            EXPECT_EQ(text->find(secret.toStdString()), std::string::npos) << key;
        }
    EXPECT_TRUE(corrections.running());
    EXPECT_FALSE(settings.note().contains(secret));
    corrections.stop();

    // No secret service: the window says so plainly.
    secrets.unavailable = "The name org.freedesktop.secrets was not provided";
    settings.passwordField().setText(secret);
    ASSERT_TRUE(settings.apply());
    EXPECT_TRUE(settings.note().contains(QStringLiteral("secret store cannot be used"))) << settings.note().toStdString();
    corrections.stop();
}

// Without a secret service a password lives in memory for the session and nowhere else: no
// clear-text fall-back file.
TEST_F(CorrectionsPaneTest, WithoutASecretServiceThePasswordStaysInMemoryOnly)
{
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    const std::string secret = "not-in-any-file-" + std::to_string(std::rand());
    qtplatform::QtSecretStore store(5000);
    const auto written = store.write("ntrip:test@127.0.0.1:1", secret);
    if (written.status == platform::SecretStore::Status::Stored) {
        store.erase("ntrip:test@127.0.0.1:1");
        if (!bus.isEmpty()) qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
        GTEST_SKIP() << "a secret service runs here; the fall-back cannot be seen";
    }
    EXPECT_EQ(written.status, platform::SecretStore::Status::KeptForSession);
    EXPECT_FALSE(written.detail.empty()) << "the reason is told";
    const auto read = store.read("ntrip:test@127.0.0.1:1");
    EXPECT_EQ(read.status, platform::SecretStore::Status::KeptForSession);
    EXPECT_EQ(read.secret, secret);
    EXPECT_NE(qtplatform::QtSecretStore(5000).read("ntrip:test@127.0.0.1:1").secret, secret)
        << "another session does not find it";
    for (const auto location : {QStandardPaths::GenericConfigLocation, QStandardPaths::AppConfigLocation}) {
        QDirIterator files(QStandardPaths::writableLocation(location), QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            if (file.size() > 1 << 20 || !file.open(QIODevice::ReadOnly)) continue;
            EXPECT_FALSE(file.readAll().contains(QByteArray::fromStdString(secret))) << file.fileName().toStdString();
        }
    }
    if (!bus.isEmpty()) qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
}

}  // namespace
