// SPDX-License-Identifier: BSD-2-Clause
// The configuration controller against the simulated M8 in process: the same keys read and
// written through its older CFG messages, a key they cannot reach refused before anything is
// sent, and the dialect found even when MON-VER does not tell it.

#include "serial/ReceiverConfiguration.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "binary/StreamFramer.h"
#include "platform/Services.h"
#include "posix/StringsBundle.h"
#include "sim/UbxReceiver.h"
#include "ConfigurationTestBase.h"

namespace {

constexpr std::uint32_t kRateMeas = 0x30210001;
constexpr std::uint32_t kBaud = 0x40520001;
constexpr std::uint32_t kPvtUart1 = 0x20910007;
constexpr std::uint32_t kGgaUart1 = 0x209100bb;
constexpr std::uint32_t kGalileo = 0x10310021;
constexpr std::uint32_t kGlonass = 0x10310025;

binary::UbxConfigValue parsed(const std::string& text) { return *binary::parseUbxConfigAssignment(text).value; }

// The M8 on a line: bytes pass only when the port and its UART agree; answers wait for deliver().
struct Line {
    sim::UbxReceiver receiver{9600, sim::UbxModel::M8};
    std::uint32_t portBaud = 9600;
    bool hideVersion = false;  // MON-VER goes unanswered
    bool loseRateAck = false;  // the ACK of a CFG-PRT is garbled by the rate change
    std::vector<std::vector<std::uint8_t>> sent;
    std::vector<std::uint8_t> pending;

    void send(const std::vector<std::uint8_t>& frame)
    {
        sent.push_back(frame);
        if (portBaud != receiver.baudRate()) return;
        if (hideVersion && frame[2] == 0x0A && frame[3] == 0x04) return;
        const std::uint32_t before = receiver.baudRate();
        auto answer = receiver.receive(frame);
        if (loseRateAck && receiver.baudRate() != before) answer.clear();
        pending.insert(pending.end(), answer.begin(), answer.end());
    }
    void deliver(ReceiverConfiguration& configuration) { deliverAnswers(pending, configuration); }
    std::size_t framesWithId(std::uint8_t id) const
    {
        std::size_t n = 0;
        for (const auto& frame : sent) n += frame.size() > 3 && frame[2] == 0x06 && frame[3] == id;
        return n;
    }
};

class ReceiverConfigurationM8Test : public ConfigurationTestBase {
protected:
    ReceiverConfiguration::Hooks hooks(Line& line)
    {
        ReceiverConfiguration::Hooks h;
        h.send = [&line](std::vector<std::uint8_t> frame) { line.send(frame); };
        h.message = [this](const std::string& text, bool problem) { messages.push_back({text, problem}); };
        h.now = [this] { return seconds; };
        h.reopenAt = [&line](std::uint32_t baud) {
            line.portBaud = baud;
            return true;
        };
        return h;
    }
};

// What the pane shows: every shown key an M8 has, read from its older messages.
TEST_F(ReceiverConfigurationM8Test, ReadsBackTheShownSettingsThroughTheOlderMessages)
{
    Line line;
    ReceiverConfiguration configuration(hooks(line));
    configuration.readBack();
    run(line, configuration, 5.0);
    EXPECT_FALSE(configuration.failed()) << allMessages();
    EXPECT_EQ(configuration.dialect(), ReceiverConfiguration::Dialect::Legacy);
    EXPECT_EQ(line.framesWithId(0x8B), 0u) << "no key question to a receiver known to lack keys";
    EXPECT_EQ(configuration.value(kRateMeas), 1000u);
    EXPECT_EQ(configuration.value(kBaud), 9600u);
    EXPECT_EQ(configuration.value(kPvtUart1), 1u);
    EXPECT_EQ(configuration.value(kGgaUart1), 0u);
    EXPECT_EQ(configuration.value(kGlonass), 1u);
    EXPECT_EQ(configuration.value(kGalileo), 0u);
    EXPECT_EQ(configuration.value(0x10740002), 0u);  // NMEA off on UART1
    for (const ReceiverConfiguration::Setting& setting : ReceiverConfiguration::shownSettings()) {
        SCOPED_TRACE(setting.label);
        EXPECT_TRUE(configuration.value(setting.key).has_value());
    }
}

// The measurement period, a message output and a constellation, then kept: each message is
// polled and sent back changed, and the receiver really runs at the new period.
TEST_F(ReceiverConfigurationM8Test, WritesRateOutputsAndConstellationsThenSaves)
{
    Line line;
    ReceiverConfiguration configuration(hooks(line));
    ASSERT_TRUE(configuration.apply({parsed("CFG-RATE-MEAS=200"), parsed("CFG-MSGOUT-NMEA_ID_GGA_UART1=1"),
                                     parsed("CFG-SIGNAL-GAL_ENA=1")},
                                    true));
    run(line, configuration, 5.0);
    EXPECT_FALSE(configuration.failed()) << allMessages();
    EXPECT_EQ(line.receiver.measurementPeriodMs(), 200u);
    EXPECT_EQ(line.receiver.outputRate(kGgaUart1), 1u);
    EXPECT_EQ(line.receiver.outputRate(kPvtUart1), 1u) << "the other message kept its rate";
    EXPECT_EQ(configuration.value(kRateMeas), 200u);
    EXPECT_EQ(configuration.value(kGalileo), 1u);
    EXPECT_EQ(line.framesWithId(0x09), 1u) << "the save";
    EXPECT_TRUE(said("The receiver took CFG-RATE-MEAS=200.", false)) << allMessages();
    configuration.readBack();
    run(line, configuration, 5.0);
    EXPECT_EQ(configuration.value(kGalileo), 1u) << "read back from the receiver";
    EXPECT_EQ(configuration.value(kGlonass), 1u);
}

// A key with no place in the older messages: refused by name before anything goes out.
TEST_F(ReceiverConfigurationM8Test, AKeyWithoutAnOlderPlaceIsRefusedBeforeAnythingIsSent)
{
    Line line;
    ReceiverConfiguration configuration(hooks(line));
    configuration.readBack();
    run(line, configuration, 5.0);
    const std::size_t sentBefore = line.sent.size();
    EXPECT_FALSE(configuration.apply({parsed("CFG-RATE-MEAS=200"), parsed("CFG-SIGNAL-GPS_L5_ENA=1")}, true));
    run(line, configuration, 1.0);
    EXPECT_TRUE(configuration.failed());
    EXPECT_EQ(line.sent.size(), sentBefore);
    EXPECT_EQ(line.receiver.measurementPeriodMs(), 1000u);
    EXPECT_TRUE(said("CFG-SIGNAL-GPS_L5_ENA: this receiver (an M8 or older, protocol version 18.00)", true))
        << allMessages();
}

// The UART1 rate through CFG-PRT: followed whether its ACK comes or is lost to the change.
TEST_F(ReceiverConfigurationM8Test, ALineRateChangeIsFollowedWithOrWithoutItsAck)
{
    for (const bool lost : {false, true}) {
        SCOPED_TRACE(lost ? "ACK lost" : "ACK");
        messages.clear();
        Line line;
        line.loseRateAck = lost;
        ReceiverConfiguration configuration(hooks(line));
        configuration.setLineRate(9600);
        ASSERT_TRUE(configuration.apply({parsed("CFG-UART1-BAUDRATE=115200"), parsed("CFG-UART1OUTPROT-NMEA=1")}));
        run(line, configuration, 15.0);
        EXPECT_FALSE(configuration.failed()) << allMessages();
        EXPECT_EQ(line.receiver.baudRate(), 115200u);
        EXPECT_EQ(line.portBaud, 115200u);
        EXPECT_EQ(configuration.lineRate(), 115200u);
        EXPECT_TRUE(line.receiver.nmeaOutput()) << "the other field went first";
        EXPECT_TRUE(said("answers at 115200 Bd", false)) << allMessages();
    }
}

// MON-VER unanswered: a receiver that refuses CFG-VALGET is configured the older way.
TEST_F(ReceiverConfigurationM8Test, WithoutMonVerARefusedKeyQuestionMeansTheOlderWay)
{
    Line line;
    line.hideVersion = true;
    ReceiverConfiguration configuration(hooks(line));
    ASSERT_TRUE(configuration.apply({parsed("CFG-RATE-MEAS=250")}));
    run(line, configuration, 10.0);
    EXPECT_FALSE(configuration.failed()) << allMessages();
    EXPECT_EQ(configuration.dialect(), ReceiverConfiguration::Dialect::Legacy);
    EXPECT_EQ(line.framesWithId(0x8B), 1u) << "one key question, refused";
    EXPECT_EQ(line.receiver.measurementPeriodMs(), 250u);
}

// A reset goes back to the factory 9600 Bd: the port follows and the defaults are read back.
TEST_F(ReceiverConfigurationM8Test, AResetFollowsTheFactoryRate)
{
    Line line;
    ReceiverConfiguration configuration(hooks(line));
    configuration.setLineRate(9600);
    configuration.apply({parsed("CFG-UART1-BAUDRATE=38400"), parsed("CFG-RATE-MEAS=500")}, true);
    run(line, configuration, 15.0);
    ASSERT_EQ(line.portBaud, 38400u) << allMessages();
    configuration.resetToDefaults();
    run(line, configuration, 15.0);
    EXPECT_FALSE(configuration.failed()) << allMessages();
    EXPECT_EQ(line.portBaud, 9600u);
    EXPECT_EQ(configuration.value(kRateMeas), 1000u);
    EXPECT_EQ(configuration.value(kBaud), 9600u);
}

}  // namespace
