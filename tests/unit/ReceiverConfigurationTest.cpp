// SPDX-License-Identifier: BSD-2-Clause
// The configuration controller against the simulated generation-9 receiver, in process: what
// it sends goes to the receiver only when the line rates agree (as on a real UART), and the
// receiver's answers come back through the program's own framer.

#include "serial/ReceiverConfiguration.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "binary/StreamFramer.h"
#include "binary/UbxCommands.h"
#include "binary/UbxFrame.h"
#include "platform/Services.h"
#include "posix/StringsBundle.h"
#include "sim/UbxReceiver.h"
#include "ConfigurationTestBase.h"

namespace {

constexpr std::uint32_t kRateMeas = 0x30210001;
constexpr std::uint32_t kBaud = 0x40520001;
constexpr std::uint32_t kGlonass = 0x10310025;
constexpr std::uint32_t kGps = 0x1031001f;

binary::UbxConfigValue parsed(const std::string& text) { return *binary::parseUbxConfigAssignment(text).value; }

// A receiver on a line: bytes pass only when the port and the receiver's UART run at the same
// rate; the answers wait until deliver(), as they would in the port's buffer.
struct Line {
    explicit Line(std::uint32_t receiverBaud = 38400) : receiver(receiverBaud), portBaud(receiverBaud) {}

    sim::UbxReceiver receiver;
    std::uint32_t portBaud;
    // A receiver whose UART stays here whatever it acknowledges (0: it follows its settings).
    std::uint32_t stuckAt = 0;
    // Questions for this key are refused whole, as by a receiver that lacks it.
    std::uint32_t missingKey = 0;
    std::vector<std::vector<std::uint8_t>> sent;
    std::vector<std::uint8_t> pending;
    std::vector<std::uint32_t> reopened;

    std::uint32_t uartBaud() const { return stuckAt != 0 ? stuckAt : receiver.baudRate(); }

    void send(const std::vector<std::uint8_t>& frame)
    {
        sent.push_back(frame);
        if (portBaud != uartBaud()) return;  // noise to the receiver
        if (missingKey != 0 && frame[3] == 0x8B && asks(frame, missingKey)) {
            const auto nak = binary::ubxFrame(0x05, 0x00, std::vector<std::uint8_t>{0x06, 0x8B});
            pending.insert(pending.end(), nak.begin(), nak.end());
            return;
        }
        const auto answer = receiver.receive(frame);
        pending.insert(pending.end(), answer.begin(), answer.end());
    }

    static bool asks(const std::vector<std::uint8_t>& frame, std::uint32_t key)
    {
        for (std::size_t at = 10; at + 4 <= frame.size() - 2; at += 4)
            if ((frame[at] | frame[at + 1] << 8 | frame[at + 2] << 16 | std::uint32_t{frame[at + 3]} << 24) == key)
                return true;
        return false;
    }

    // The answers reach the program only at the rate they were sent at (the receiver answers
    // a rate change at the old rate, and the program reads that before it reopens).
    void deliver(ReceiverConfiguration& configuration) { deliverAnswers(pending, configuration); }

    std::size_t framesWithId(std::uint8_t id) const
    {
        std::size_t n = 0;
        for (const auto& frame : sent) n += frame.size() > 3 && frame[2] == 0x06 && frame[3] == id;
        return n;
    }
};

class ReceiverConfigurationTest : public ConfigurationTestBase {
protected:
    ReceiverConfiguration::Hooks hooks(Line& line, bool canReopen = true)
    {
        ReceiverConfiguration::Hooks h;
        h.send = [&line](std::vector<std::uint8_t> frame) { line.send(frame); };
        h.message = [this](const std::string& text, bool problem) { messages.push_back({text, problem}); };
        h.now = [this] { return seconds; };
        if (canReopen)
            h.reopenAt = [&line](std::uint32_t baud) {
                line.reopened.push_back(baud);
                line.portBaud = baud;
                return true;
            };
        return h;
    }
};

TEST_F(ReceiverConfigurationTest, ReadsBackTheShownSettingsFromTheReceiver)
{
    Line line;
    ReceiverConfiguration configuration(hooks(line));
    configuration.readBack();
    run(line, configuration, 1.0);
    EXPECT_FALSE(configuration.busy());
    EXPECT_FALSE(configuration.failed());
    EXPECT_EQ(configuration.value(kRateMeas), 1000u);
    EXPECT_EQ(configuration.value(kBaud), 38400u);
    EXPECT_EQ(configuration.value(kGps), 1u);
    EXPECT_EQ(configuration.value(0x10740002), 0u);  // NMEA off on UART1: the receiver speaks UBX
    for (const ReceiverConfiguration::Setting& setting : ReceiverConfiguration::shownSettings()) {
        SCOPED_TRACE(setting.label);
        EXPECT_TRUE(configuration.value(setting.key).has_value());
        EXPECT_NE(binary::ubxConfigKeyById(setting.key), nullptr) << "every shown key has its name";
    }
}

// One key the receiver lacks refuses the whole question: the others are still read, key by
// key, and only that one is marked.
TEST_F(ReceiverConfigurationTest, AKeyTheReceiverLacksLeavesOnlyThatKeyOut)
{
    Line line;
    line.missingKey = kGlonass;
    ReceiverConfiguration configuration(hooks(line));
    configuration.readBack();
    run(line, configuration, 2.0);
    EXPECT_FALSE(configuration.failed());
    EXPECT_FALSE(configuration.supported(kGlonass));
    EXPECT_FALSE(configuration.value(kGlonass));
    EXPECT_TRUE(configuration.supported(kGps));
    EXPECT_EQ(configuration.value(kRateMeas), 1000u);
    EXPECT_EQ(configuration.value(kBaud), 38400u);
}

TEST_F(ReceiverConfigurationTest, AWriteIsConfirmedThenKeptWhenAsked)
{
    Line line;
    ReceiverConfiguration configuration(hooks(line));
    ASSERT_TRUE(configuration.apply({parsed("CFG-RATE-MEAS=200"), parsed("CFG-SIGNAL-GLO_ENA=0")}, true));
    run(line, configuration, 1.0);
    EXPECT_FALSE(configuration.failed());
    EXPECT_EQ(line.receiver.measurementPeriodMs(), 200u);
    EXPECT_EQ(configuration.value(kRateMeas), 200u);
    EXPECT_EQ(line.framesWithId(0x8A), 1u) << "both values in one message";
    EXPECT_EQ(line.framesWithId(0x09), 1u) << "the save";
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].first, "The receiver took CFG-RATE-MEAS=200, CFG-SIGNAL-GLO_ENA=0.");
    EXPECT_NE(messages[1].first.find("keep its configuration"), std::string::npos) << messages[1].first;
}

// A refusal names the key and value, counts as a failure, and nothing queued after it goes
// out: a save would keep a configuration the user did not ask for.
TEST_F(ReceiverConfigurationTest, ARefusalNamesTheKeyAndStopsWhatFollows)
{
    Line line;
    ReceiverConfiguration configuration(hooks(line));
    ASSERT_TRUE(configuration.apply({parsed("CFG-RATE-MEAS=10")}, true));  // below its 25 ms
    run(line, configuration, 1.0);
    EXPECT_TRUE(configuration.failed());
    EXPECT_TRUE(lastWasProblem());
    EXPECT_NE(lastMessage().find("CFG-RATE-MEAS=10"), std::string::npos) << lastMessage();
    EXPECT_NE(lastMessage().find("refused"), std::string::npos) << lastMessage();
    EXPECT_EQ(line.framesWithId(0x09), 0u);
    EXPECT_EQ(line.receiver.measurementPeriodMs(), 1000u);
}

TEST_F(ReceiverConfigurationTest, ASilentReceiverIsToldAfterTheAnswerTime)
{
    Line line;
    line.portBaud = 9600;  // nothing gets through
    ReceiverConfiguration configuration(hooks(line));
    configuration.apply({parsed("CFG-RATE-MEAS=200")});
    seconds += ReceiverConfiguration::kAnswerSeconds - 0.2;
    configuration.tick();
    EXPECT_TRUE(messages.empty()) << "not before its time";
    // Unheard, it is asked who it is (MON-VER), then whether it takes keys (CFG-VALGET).
    run(line, configuration, ReceiverConfiguration::kAnswerSeconds + 1.0);
    EXPECT_TRUE(configuration.failed());
    EXPECT_FALSE(configuration.busy());
    EXPECT_NE(lastMessage().find("did not answer CFG-RATE-MEAS=200"), std::string::npos) << lastMessage();
}

// The line rate: the port follows a receiver that moved, goes back when it did not, and says
// so when it is heard at neither rate. The other values go first, the save last.
TEST_F(ReceiverConfigurationTest, ALineRateChangeIsFollowedOrFallsBack)
{
    struct Case {
        const char* name;
        std::uint32_t stuckAt;  // where the receiver's UART is once it acknowledged (0: it moved)
        std::uint32_t lineRateAfter;
        bool failed;
        const char* said;
    };
    const Case cases[] = {
        {"followed", 0, 115200, false, "answers at 115200 Bd"},
        {"not moved", 38400, 38400, true, "not heard at 115200 Bd; the port is back at 38400 Bd"},
        {"gone", 57600, 38400, true, "heard neither at 115200 Bd nor, back again, at 38400 Bd"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        Line line;
        ReceiverConfiguration configuration(hooks(line));
        configuration.setLineRate(38400);
        ASSERT_TRUE(configuration.apply({parsed("CFG-UART1-BAUDRATE=115200"), parsed("CFG-RATE-MEAS=500")}, true));
        // The first answer brings the rate change out; the receiver acknowledges it at 38400.
        line.deliver(configuration);
        line.stuckAt = c.stuckAt;
        run(line, configuration, 12.0);
        EXPECT_FALSE(configuration.busy());
        EXPECT_EQ(configuration.lineRate(), c.lineRateAfter);
        EXPECT_EQ(line.portBaud, c.lineRateAfter);
        EXPECT_EQ(configuration.failed(), c.failed);
        EXPECT_TRUE(said(c.said, c.failed)) << allMessages();
        EXPECT_EQ(line.framesWithId(0x8A), 2u) << "the rate alone, after the rest";
        EXPECT_EQ(line.framesWithId(0x09), c.failed ? 0u : 1u) << "saved only when heard at the new rate";
        EXPECT_EQ(line.receiver.measurementPeriodMs(), 500u) << "the other value went first either way";
    }
}

// Without a way to reopen the port (a network source) the change is told, not followed.
TEST_F(ReceiverConfigurationTest, ARateChangeThatCannotBeFollowedIsTold)
{
    Line line;
    ReceiverConfiguration configuration(hooks(line, false));
    configuration.setLineRate(38400);
    configuration.apply({parsed("CFG-UART1-BAUDRATE=115200")});
    run(line, configuration, 2.0);
    EXPECT_TRUE(configuration.failed());
    EXPECT_NE(lastMessage().find("now talks at 115200 Bd"), std::string::npos) << lastMessage();
}

// A receiver kept at 115200 in flash goes back to its factory 38400 on a reset: the port
// follows and the factory values are read back.
TEST_F(ReceiverConfigurationTest, AResetToDefaultsFollowsTheFactoryRateAndReadsBack)
{
    Line line(115200);
    ReceiverConfiguration configuration(hooks(line));
    configuration.setLineRate(115200);
    configuration.apply({parsed("CFG-RATE-MEAS=250")});
    run(line, configuration, 1.0);
    ASSERT_EQ(line.receiver.measurementPeriodMs(), 250u);
    configuration.resetToDefaults();
    run(line, configuration, 12.0);
    EXPECT_FALSE(configuration.failed());
    EXPECT_EQ(line.reopened, std::vector<std::uint32_t>{38400});
    EXPECT_EQ(configuration.lineRate(), 38400u);
    EXPECT_EQ(configuration.value(kRateMeas), 1000u);
    EXPECT_EQ(configuration.value(kBaud), 38400u);
    EXPECT_EQ(line.receiver.measurementPeriodMs(), 1000u);
}

}  // namespace
