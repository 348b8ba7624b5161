// SPDX-License-Identifier: BSD-2-Clause
#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "serial/Serial.h"
#include "fakes/PseudoTerminal.h"
#include "fakes/TestData.h"
#include "integration/TestCaster.h"
#include "integration/TlsFront.h"
#include "fakes/TempDir.h"
#include "sources/NtripClient.h"
#include "sources/Rtcm3Framer.h"

namespace {

using namespace std::chrono_literals;
using testcaster::TestCaster;
using Clock = std::chrono::steady_clock;

// Everything a client hands out, collected for the test thread.
struct Collector {
    std::mutex mutex;
    std::condition_variable changed;
    std::string bytes;  // the frames, concatenated in arrival order
    std::vector<std::uint16_t> types;
    std::vector<SourceMessage> messages;

    NtripClient::FrameHandler frames()
    {
        return [this](std::vector<std::uint8_t> frame) {
            std::lock_guard lock(mutex);
            types.push_back(Rtcm3Framer::messageType(frame));
            bytes.append(frame.begin(), frame.end());
            changed.notify_all();
        };
    }
    NtripClient::MessageHandler messagesHandler()
    {
        return [this](const SourceMessage& message) {
            std::lock_guard lock(mutex);
            messages.push_back(message);
            changed.notify_all();
        };
    }
    template <typename Predicate>
    bool waitFor(Predicate predicate, std::chrono::milliseconds timeout = 5s)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, timeout, [&] { return predicate(*this); });
    }
    int count(const std::string& key)
    {
        int n = 0;
        for (const auto& m : messages) n += m.key == key;
        return n;
    }
};

class NtripClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto root = testdata::root();
        if (!root) GTEST_SKIP() << "recorded logs not found (../shared/testdata); skipped";
        stream = testcaster::readLogBody((*root / "rtcm3/rtcm3.2.log").string());
        ASSERT_FALSE(stream.empty());
        // gpsd's own decoding of the same log: one line per frame, in order.
        std::ifstream chk(*root / "rtcm3/rtcm3.2.log.chk");
        for (std::string line; std::getline(chk, line);) {
            const auto at = line.find("\"type\":");
            if (line.find("\"class\":\"RTCM3\"") != std::string::npos && at != std::string::npos)
                expectedTypes.push_back(static_cast<std::uint16_t>(std::stoi(line.substr(at + 7))));
        }
        ASSERT_EQ(expectedTypes.size(), 192u);
        // CUT stops halfway into the frame after the first ten; lengths read by hand here.
        std::size_t at = kFirstFrame;
        for (int frame = 0; frame < 10; ++frame)
            at += 6 + (((static_cast<std::uint8_t>(stream[at + 1]) & 3u) << 8) |
                       static_cast<std::uint8_t>(stream[at + 2]));
        tenFramesEnd = at;
        at += 20;
        caster = std::make_unique<TestCaster>(stream, at);
        ASSERT_TRUE(caster->ok());
    }

    NtripSettings settings(const std::string& mountpoint, int version = 2)
    {
        NtripSettings s;
        s.host = "127.0.0.1";
        s.port = caster->port();
        s.mountpoint = mountpoint;
        s.user = TestCaster::kUser;
        s.password = TestCaster::kPassword;
        s.version = version;
        s.connectTimeout = 2s;
        s.answerTimeout = 300ms;
        s.silenceTimeout = 400ms;
        s.firstBackoff = 50ms;
        s.maxBackoff = 200ms;
        return s;
    }

    // The frames of the log as they must arrive: everything from the first whole frame on.
    std::string expectedFrames(const std::string& received) const
    {
        return stream.substr(stream.size() - std::min(stream.size(), received.size()));
    }

    // The log starts inside a frame; its first whole frame begins this far into the body.
    static constexpr std::size_t kFirstFrame = 344;

    std::string stream;
    std::vector<std::uint16_t> expectedTypes;
    std::size_t tenFramesEnd = 0;
    std::unique_ptr<TestCaster> caster;
};

TEST_F(NtripClientTest, EveryFrameArrivesWholeAndInOrderOverVersionOneAndTwo)
{
    for (const int version : {1, 2}) {
        SCOPED_TRACE(version);
        Collector got;
        NtripClient client(settings("RTCM", version), got.frames(), got.messagesHandler());
        client.start();
        ASSERT_TRUE(got.waitFor([&](Collector& c) { return c.types.size() >= expectedTypes.size(); }));
        std::this_thread::sleep_for(100ms);  // nothing more may come
        client.stop();
        std::lock_guard lock(got.mutex);
        EXPECT_EQ(got.types, expectedTypes);
        EXPECT_EQ(got.bytes.size(), stream.size() - kFirstFrame);
        EXPECT_TRUE(got.bytes == expectedFrames(got.bytes)) << "frames differ from the log's bytes";
        const NtripStatus status = client.status();
        EXPECT_EQ(status.frames, 192u);
        EXPECT_EQ(status.connections, 1u);
        EXPECT_FALSE(status.ggaRequired);  // the table says nmea 0
        EXPECT_EQ(status.ggaSent, 0u);
        EXPECT_EQ(status.stationId, 633);
        EXPECT_EQ(status.framesByType.at(1077), static_cast<std::uint64_t>(std::count(
                                                    expectedTypes.begin(), expectedTypes.end(), 1077)));
        ASSERT_TRUE(status.lastFrameTime.has_value());
        EXPECT_LT(*status.ageSeconds(Clock::now()), 5.0);
        EXPECT_LE(*status.firstFrameTime, *status.lastFrameTime);
        // The whole log came in a burst: no rate until a second has passed, then counts/seconds.
        EXPECT_FALSE(status.ratePerSecond(1077, *status.firstFrameTime + 500ms));
        EXPECT_NEAR(*status.ratePerSecond(1077, *status.firstFrameTime + 2s),
                    static_cast<double>(status.framesByType.at(1077)) / 2.0, 1e-9);
        EXPECT_EQ(*status.ratePerSecond(1005, *status.firstFrameTime + 2s), 0.0);
        EXPECT_EQ(got.count("NtripConnected"), 1);
    }
    // The requests as a caster sees them.
    const auto heads = caster->heads();
    ASSERT_GE(heads.size(), 4u);  // table and stream, twice
    bool sawV1 = false;
    bool sawV2 = false;
    for (const auto& head : heads) {
        if (head.starts_with("GET /RTCM HTTP/1.0\r\n")) {
            sawV1 = true;
            EXPECT_EQ(head.find("Ntrip-Version"), std::string::npos);
        }
        if (head.starts_with("GET /RTCM HTTP/1.1\r\n")) {
            sawV2 = true;
            EXPECT_NE(head.find("\r\nNtrip-Version: Ntrip/2.0\r\n"), std::string::npos);
        }
        EXPECT_NE(head.find("\r\nUser-Agent: NTRIP GPSDesk/"), std::string::npos);
        EXPECT_EQ(head.find(TestCaster::kPassword), std::string::npos);  // only as Base64
    }
    EXPECT_TRUE(sawV1);
    EXPECT_TRUE(sawV2);
}

TEST_F(NtripClientTest, GgaGoesOutAtOnceThenEveryIntervalAndUnlocksTheStream)
{
    Collector got;
    auto s = settings("VRS");
    s.ggaInterval = 150ms;
    s.silenceTimeout = 300ms;
    NtripClient client(s, got.frames(), got.messagesHandler());
    client.start();
    // No position yet: the caster stays silent, the client says what it waits for and holds
    // the connection instead of calling the silence a failure.
    ASSERT_TRUE(got.waitFor([](Collector& c) { return c.count("NtripWaitingForPosition") > 0; }));
    std::this_thread::sleep_for(600ms);
    EXPECT_EQ(caster->requests("VRS"), 1);
    EXPECT_EQ(got.count("NtripSilent"), 0);
    EXPECT_TRUE(got.types.empty());
    GgaPosition position;
    position.latitudeDegrees = 48.1173;
    position.longitudeDegrees = 11.5167;
    position.altitudeMeters = 545.4;
    position.satellites = 8;
    position.hdop = 0.9;
    client.setPosition(position);
    ASSERT_TRUE(got.waitFor([&](Collector& c) { return c.types.size() >= expectedTypes.size(); }));
    std::this_thread::sleep_for(500ms);
    client.stop();

    EXPECT_TRUE(client.status().ggaRequired);
    const auto ggas = caster->ggas();
    ASSERT_GE(ggas.size(), 3u);
    EXPECT_EQ(ggas[0].mountpoint, "VRS");
    EXPECT_NE(ggas[0].sentence.find(",4807.03800,N,01131.00200,E,1,08,0.9,545.4,M,"), std::string::npos)
        << ggas[0].sentence;
    int gaps = 0;
    for (std::size_t i = 1; i < ggas.size(); ++i) {
        if (ggas[i].connectedAt != ggas[i - 1].connectedAt) continue;  // a reconnect starts afresh
        const auto gap = ggas[i].at - ggas[i - 1].at;
        EXPECT_GT(gap, 100ms) << i;
        EXPECT_LT(gap, 400ms) << i;
        ++gaps;
    }
    EXPECT_GE(gaps, 2);
    // The first connection's stream, whole (the caster's later silence may cause a reconnect).
    std::lock_guard lock(got.mutex);
    ASSERT_GE(got.types.size(), expectedTypes.size());
    EXPECT_TRUE(std::equal(expectedTypes.begin(), expectedTypes.end(), got.types.begin()));
    EXPECT_TRUE(got.bytes.substr(0, stream.size() - kFirstFrame) == stream.substr(kFirstFrame));
}

TEST_F(NtripClientTest, GgaGoesOutRightAfterEachReconnect)
{
    Collector got;
    auto s = settings("ONCE", 1);
    s.ggaInterval = 60s;  // so a GGA per connection can only come from the reconnect
    NtripClient client(s, got.frames(), got.messagesHandler());
    GgaPosition position;
    position.latitudeDegrees = 48.1;
    position.longitudeDegrees = 11.5;
    client.setPosition(position);
    client.start();
    ASSERT_TRUE(got.waitFor([&](Collector& c) { return c.types.size() >= 3 * expectedTypes.size(); }));
    client.stop();
    const auto ggas = caster->ggas();
    ASSERT_GE(ggas.size(), 3u);
    for (const auto& gga : ggas) EXPECT_LT(gga.at - gga.connectedAt, 300ms);
    EXPECT_GE(client.status().connections, 3u);
    EXPECT_GE(got.count("NtripClosedByCaster"), 2);
}

TEST_F(NtripClientTest, EachFailureHasItsOwnMessageAndIsTriedAgain)
{
    struct Case {
        const char* name;
        std::string mountpoint;
        int version;
        const char* password;
        bool tls;
        const char* key;
    };
    const Case cases[] = {
        {"wrong password", "RTCM", 2, "guess", false, "NtripWrongCredentials"},
        {"wrong password, v1", "RTCM", 1, "guess", false, "NtripWrongCredentials"},
        {"unknown mountpoint, 404", "NOPE", 2, TestCaster::kPassword, false, "NtripUnknownMountpoint"},
        {"unknown mountpoint, table instead", "NOPE", 1, TestCaster::kPassword, false, "NtripUnknownMountpoint"},
        {"no answer", "HANG", 2, TestCaster::kPassword, false, "NtripNoAnswer"},
        {"accepted but silent", "SILENT", 1, TestCaster::kPassword, false, "NtripSilent"},
        {"not RTCM 3", "NOISE", 2, TestCaster::kPassword, false, "NtripNotRtcm"},
        {"closed in a frame", "CUT", 1, TestCaster::kPassword, false, "NtripClosedMidFrame"},
        {"closed in a frame, chunked", "CUT", 2, TestCaster::kPassword, false, "NtripClosedMidFrame"},
        {"TLS to a plain port", "RTCM", 2, TestCaster::kPassword, true, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Collector got;
        auto s = settings(c.mountpoint, c.version);
        s.password = c.password;
        s.tls = c.tls;
        s.gga = NtripSettings::Gga::Never;
        NtripClient client(s, got.frames(), got.messagesHandler());
        const auto started = Clock::now();
        client.start();
        const auto failures = [&](Collector& col) {
            int n = 0;
            for (const auto& m : col.messages)
                n += c.key ? m.key == c.key : (m.key == "NetTlsFailed" || m.key == "NetTlsNoAnswer");
            return n;
        };
        EXPECT_TRUE(got.waitFor([&](Collector& col) { return failures(col) >= 2; }, 5s))
            << "no second attempt with the same message";
        const auto stopAt = Clock::now();
        client.stop();
        EXPECT_LT(Clock::now() - stopAt, 500ms) << "stop waited on the network";
        EXPECT_LT(stopAt - started, 5s);

        std::lock_guard lock(got.mutex);
        for (const auto& m : got.messages) {
            for (const auto& argument : m.arguments)
                EXPECT_EQ(argument.find(TestCaster::kPassword), std::string::npos) << m.key;
        }
        // One kind of failure gives one kind of message.
        for (const auto& m : got.messages) {
            if (m.key != "NtripConnected") {
                EXPECT_TRUE(c.key ? m.key == c.key : m.key.starts_with("NetTls")) << m.key;
            }
        }
        if (std::string(c.name).starts_with("closed in a frame")) {
            // The whole frames before the cut came through, the cut one did not.
            EXPECT_EQ(got.types.size() % 10, 0u);
            EXPECT_TRUE(got.bytes.starts_with(stream.substr(kFirstFrame, tenFramesEnd - kFirstFrame)));
        }
    }
}

TEST_F(NtripClientTest, NothingListeningIsRefusedAtOnce)
{
    auto s = settings("RTCM");
    caster->stop();
    Collector got;
    s.gga = NtripSettings::Gga::Never;
    NtripClient client(s, got.frames(), got.messagesHandler());
    client.start();
    EXPECT_TRUE(got.waitFor([](Collector& c) { return c.count("NetConnectionRefused") >= 2; }));
    client.stop();
}

TEST_F(NtripClientTest, TlsStreamsOnlyWhenTheCastersCertificateIsTrusted)
{
    TempDir folder;
    testcaster::TlsFront front(caster->port(), folder.path());
    ASSERT_TRUE(front.ok());
    auto s = settings("RTCM");
    s.port = front.port();
    s.tls = true;
    s.gga = NtripSettings::Gga::Never;
    {
        // A self-signed certificate nobody vouches for.
        Collector got;
        NtripClient client(s, got.frames(), got.messagesHandler());
        client.start();
        EXPECT_TRUE(got.waitFor([](Collector& c) { return c.count("NetTlsCertificate") >= 2; }));
        client.stop();
        EXPECT_TRUE(got.types.empty());
        EXPECT_EQ(caster->requests("RTCM"), 0);
    }
    s.extraTrustedCertificates = front.certificatePath().string();
    Collector got;
    NtripClient client(s, got.frames(), got.messagesHandler());
    client.start();
    ASSERT_TRUE(got.waitFor([&](Collector& c) { return c.types.size() >= expectedTypes.size(); }));
    client.stop();
    std::lock_guard lock(got.mutex);
    EXPECT_EQ(got.types, expectedTypes);
    EXPECT_TRUE(got.bytes == expectedFrames(got.bytes));
}

TEST_F(NtripClientTest, SourceTableComesSortedByDistanceOverBothVersions)
{
    for (const int version : {1, 2}) {
        SCOPED_TRACE(version);
        const auto result = NtripClient::fetchSourceTable(settings("", version));
        ASSERT_TRUE(result.table) << result.error.key;
        EXPECT_TRUE(result.table->complete);
        EXPECT_EQ(result.table->casterRecords, 1u);
        EXPECT_EQ(result.table->networkRecords, 1u);
        ASSERT_EQ(result.table->mountpoints.size(), 7u);
        // From Munich (48.12, 11.59): VRS 0.7 km, ONCE 1.9 km, SILENT in Greenwich, ..., NOISE
        // (no position) last.
        const auto sorted = result.table->sortedByDistance(48.12, 11.59);
        EXPECT_EQ(sorted[0].name, "VRS");
        EXPECT_EQ(sorted[1].name, "ONCE");
        EXPECT_EQ(sorted[2].name, "SILENT");
        EXPECT_EQ(sorted.back().name, "NOISE");
        EXPECT_FALSE(sorted.back().distanceKm);
        EXPECT_NEAR(*sorted[0].distanceKm, 0.74, 0.01);
        EXPECT_NEAR(*sorted[2].distanceKm, 910, 5);
        EXPECT_TRUE(sorted[0].nmeaRequired);
        EXPECT_EQ(result.table->find("CUT")->identifier, "\"Cut;short\"");
    }
}

TEST_F(NtripClientTest, FramesReachAPseudoTerminalReceiverByteForByte)
{
    testpty::PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    Serial port;
    ASSERT_TRUE(port.openPort(pty.slavePath(), "115200", false));
    std::string atReceiver;
    std::atomic<bool> reading{true};
    std::thread receiver([&] {
        while (reading) atReceiver += pty.readAll(100ms);
    });
    Collector got;
    std::atomic<int> shortWrites{0};
    NtripClient client(settings("RTCM"),
                       [&](std::vector<std::uint8_t> frame) {
                           // One write per frame, as the receiver's port writer does it.
                           if (port.writePort(frame) != frame.size()) ++shortWrites;
                           got.frames()(std::move(frame));
                       },
                       got.messagesHandler());
    client.start();
    EXPECT_TRUE(got.waitFor([&](Collector& c) { return c.types.size() >= expectedTypes.size(); }));
    client.stop();
    std::this_thread::sleep_for(300ms);
    reading = false;
    receiver.join();
    EXPECT_EQ(shortWrites.load(), 0);
    EXPECT_EQ(atReceiver.size(), stream.size() - kFirstFrame);
    EXPECT_TRUE(atReceiver == stream.substr(kFirstFrame)) << "the receiver got other bytes than the caster's frames";
}

}  // namespace
