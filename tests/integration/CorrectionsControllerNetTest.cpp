// SPDX-License-Identifier: BSD-2-Clause
// The window's corrections against the test caster: the password from the secret store, the
// position to the caster, every frame into the receiver's queue, the source table nearest first.
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "app/CorrectionsController.h"
#include "nmea/NMEA.h"
#include "receiver/ReceiverState.h"
#include "nmea/SentenceFields.h"
#include "nmea/SentenceTable.h"
#include "fakes/FakeSecretStore.h"
#include "fakes/TestData.h"
#include "integration/TestCaster.h"

namespace {

using namespace std::chrono_literals;
using testcaster::TestCaster;

// Munich, 3D fix: near the VRS and ONCE mountpoints of the test caster.
void feedFix(ReceiverState& state)
{
    for (const char* text : {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47",
                             "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39"}) {
        ByteBuffer line(text, text + std::char_traits<char>::length(text));
        line.push_back(0);
        const auto fields = SentenceFields::split(line);
        ASSERT_TRUE(fields);
        const Decoded decoded = sentenceKind(fields->type())->decode(*fields);
        ASSERT_TRUE(decoded.record) << text;
        state.apply(*decoded.record, 0.0);
    }
}

bool eventually(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

class CorrectionsControllerNetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_TESTDATA(root);
        stream = testcaster::readLogBody((root / "rtcm3/rtcm3.2.log").string());
        ASSERT_FALSE(stream.empty());
        caster = std::make_unique<TestCaster>(stream, stream.size());
        ASSERT_TRUE(caster->ok());
        corrections.setClientTuning([](NtripSettings& s) {
            s.connectTimeout = 2s;
            s.answerTimeout = 1s;
            s.firstBackoff = 50ms;
            s.maxBackoff = 200ms;
        });
        feedFix(fix);
    }

    std::string url(const std::string& mountpoint) const
    {
        return "ntrip://rover@127.0.0.1:" + std::to_string(caster->port()) + "/" + mountpoint;
    }
    std::string secretName() const { return "ntrip:rover@127.0.0.1:" + std::to_string(caster->port()); }

    std::string stream;
    std::unique_ptr<TestCaster> caster;
    fakes::FakeSecretStore secrets;
    CorrectionsController corrections{&secrets};
    ReceiverState fix;
};

TEST_F(CorrectionsControllerNetTest, PasswordFromTheStoreGgaToTheCasterFramesToTheQueue)
{
    secrets.secrets[secretName()] = TestCaster::kPassword;
    corrections.observe(fix);
    SourceMessage whyNot;
    ASSERT_TRUE(corrections.start({url("VRS"), 1}, whyNot)) << whyNot.key;

    // The log starts inside a frame: what must arrive is every whole frame from the first on.
    constexpr std::size_t kFirstFrame = 344;
    const std::string expected = stream.substr(kFirstFrame);
    std::string received;
    ASSERT_TRUE(eventually([&] {
        for (const auto& frame : corrections.queue().takeAll()) received.append(frame.begin(), frame.end());
        return received.size() >= expected.size();
    })) << received.size() << " of " << expected.size() << " bytes";
    EXPECT_EQ(received, expected);

    const CorrectionsStatus status = corrections.status();
    EXPECT_EQ(status.state, NtripStatus::State::Streaming);
    EXPECT_EQ(status.frames, 192u);
    EXPECT_TRUE(status.secretNote.empty()) << status.secretNote.key;
    ASSERT_FALSE(caster->ggas().empty());
    EXPECT_NE(caster->ggas().front().sentence.find("4807.038"), std::string::npos) << caster->ggas().front().sentence;
    // Every second while connected.
    ASSERT_TRUE(eventually([&] { return caster->ggas().size() >= 3; }, 6s));
    const auto ggas = caster->ggas();
    for (std::size_t i = 1; i < ggas.size(); ++i) {
        const double gap = std::chrono::duration<double>(ggas[i].at - ggas[i - 1].at).count();
        EXPECT_GT(gap, 0.5);
        EXPECT_LT(gap, 3.0);
    }
    corrections.stop();
    EXPECT_FALSE(corrections.running());
}

TEST_F(CorrectionsControllerNetTest, AMissingOrWrongPasswordIsToldWithoutTheSecret)
{
    SourceMessage whyNot;
    ASSERT_TRUE(corrections.start({url("RTCM"), 10}, whyNot));
    EXPECT_EQ(corrections.status().secretNote.key, "corrections.password.missing");
    ASSERT_TRUE(eventually([&] {
        const std::string key = corrections.status().lastMessage.key;
        return key == "NtripNeedsCredentials" || key == "NtripWrongCredentials";
    })) << corrections.status().lastMessage.key;

    secrets.secrets[secretName()] = "wrong-secret";
    ASSERT_TRUE(corrections.start({url("RTCM"), 10}, whyNot));
    ASSERT_TRUE(eventually([&] { return corrections.status().lastMessage.key == "NtripWrongCredentials"; }))
        << corrections.status().lastMessage.key;
    for (const std::string& argument : corrections.status().lastMessage.arguments)
        EXPECT_EQ(argument.find("wrong-secret"), std::string::npos);
    EXPECT_EQ(corrections.status().frames, 0u);

    secrets.unavailable = "no secret service";
    ASSERT_TRUE(corrections.start({url("RTCM"), 10}, whyNot));
    EXPECT_EQ(corrections.status().secretNote.key, "corrections.password.unavailable");
}

TEST_F(CorrectionsControllerNetTest, TheSourceTableComesNearestFirst)
{
    corrections.observe(fix);
    corrections.requestSourceTable(url(""));
    std::optional<CorrectionsController::SourceTableAnswer> answer;
    ASSERT_TRUE(eventually([&] { return (answer = corrections.takeSourceTable()).has_value(); }));
    ASSERT_TRUE(answer->error.empty()) << answer->error.key;
    ASSERT_EQ(answer->mountpoints.size(), 7u);
    // ONCE (48.13 N 11.57 E) is a little nearer to 48.1173 N 11.5167 E than VRS (48.12 N 11.58 E).
    EXPECT_EQ(answer->mountpoints[0].name, "ONCE");
    EXPECT_EQ(answer->mountpoints[1].name, "VRS");
    for (std::size_t i = 1; i < answer->mountpoints.size(); ++i)
        if (answer->mountpoints[i].distanceKm) {
            EXPECT_LE(answer->mountpoints[i - 1].distanceKm.value_or(0), *answer->mountpoints[i].distanceKm);
        }
    EXPECT_EQ(answer->mountpoints.back().name, "NOISE") << "no position (0/0): last";

    corrections.requestSourceTable("ntrip://rover@127.0.0.1:1/X");
    ASSERT_TRUE(eventually([&] { return (answer = corrections.takeSourceTable()).has_value(); }));
    EXPECT_FALSE(answer->error.empty()) << "a refused connection is told";
}

}  // namespace
