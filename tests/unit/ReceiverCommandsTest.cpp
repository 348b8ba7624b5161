// SPDX-License-Identifier: BSD-2-Clause
#include "serial/ReceiverCommands.h"

#include <string>

#include <gtest/gtest.h>

#include "fakes/PseudoTerminal.h"
#include "serial/Serial.h"

namespace {

using namespace std::chrono_literals;

std::string hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[c >> 4];
        out += digits[c & 0xF];
    }
    return out;
}

std::string text(const ByteBuffer& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// The receiver side is the master of a pseudo-terminal; the commands go out through a real
// port on its slave.
class ReceiverCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.ok());
        ASSERT_TRUE(port.openPort(pty.slavePath(), "4800", false));
    }
    void use(const std::string& rate) { commands.setPort(&port, pty.slavePath(), rate); }

    testpty::PseudoTerminal pty;
    Serial port;
    ReceiverCommands commands;
};

TEST_F(ReceiverCommandsTest, InitializeNamesTheRateWithAnUpperCaseChecksum)
{
    const struct {
        const char* rate;
        const char* wire;
    } cases[] = {
        {"4800", "$PSRF100,1,4800,8,1,0*0E\r\n"},
        {"9600", "$PSRF100,1,9600,8,1,0*0D\r\n"},
        {"38400", "$PSRF100,1,38400,8,1,0*3D\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        use(c.rate);
        commands.initialize();
        EXPECT_EQ(pty.readAll(), c.wire);
    }
}

TEST_F(ReceiverCommandsTest, SetNMEASendsSixRateControlSentencesInOrder)
{
    use("4800");
    commands.setNMEA();
    EXPECT_EQ(pty.readAll(),
              "$PSRF103,00,00,01,01*25\r\n"
              "$PSRF103,01,00,01,01*24\r\n"
              "$PSRF103,02,00,05,01*23\r\n"
              "$PSRF103,03,00,05,01*22\r\n"
              "$PSRF103,04,00,01,01*21\r\n"
              "$PSRF103,05,00,01,01*20\r\n");
}

TEST_F(ReceiverCommandsTest, SetDebugTurnsDevelopmentDataOn)
{
    use("4800");
    commands.setDebug();
    EXPECT_EQ(pty.readAll(), "$PSRF105,1*3E\r\n");
}

TEST_F(ReceiverCommandsTest, RestartSendsTheInitialiseSentenceOfEachDepth)
{
    const struct {
        RestartDepth depth;
        const char* wire;
    } cases[] = {
        {RestartDepth::Hot, "$PSRF101,0,0,0,0,0,0,12,1*15\r\n"},
        {RestartDepth::Warm, "$PSRF101,0,0,0,0,0,0,12,2*16\r\n"},
        {RestartDepth::Cold, "$PSRF101,0,0,0,0,0,0,12,4*10\r\n"},
    };
    use("4800");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wire);
        commands.restart(c.depth);
        EXPECT_EQ(pty.readAll(), c.wire);
    }
    EXPECT_EQ(ReceiverCommands::restartRefusalKey(false, false), "TestRestartNotConnected");
    EXPECT_EQ(ReceiverCommands::restartRefusalKey(true, true), "TestRestartUnknownReceiver");
    EXPECT_FALSE(ReceiverCommands::restartRefusalKey(true, false));
}

TEST_F(ReceiverCommandsTest, SetWAASSwitchesToBinarySetsTheSourceAndSwitchesBack)
{
    const std::string switchSentence = "$PSRF100,0,4800,8,1,0*0F\r\n";
    const std::string message129 =
        "A0 A2 00 18 81 02 01 01 01 01 01 01 01 01 01 01 01 01 01 01 00 00 00 00 00 00 12 C0 "
        "01 63 B0 B3";
    use("4800");
    commands.setWAAS(true);
    std::string wire = pty.readAll();
    ASSERT_EQ(wire.substr(0, switchSentence.size()), switchSentence);
    EXPECT_EQ(hex(wire.substr(switchSentence.size())),
              "A0 A2 00 07 85 01 00 00 00 00 00 00 86 B0 B3 " + message129);

    commands.setWAAS(false);
    wire = pty.readAll();
    EXPECT_EQ(hex(wire.substr(switchSentence.size())),
              "A0 A2 00 07 85 00 00 00 00 00 00 00 85 B0 B3 " + message129);
}

TEST_F(ReceiverCommandsTest, Message129CarriesTheRateAsSixteenBits)
{
    const ByteBuffer payload = ReceiverCommands::switchToNmeaPayload("57600");
    ASSERT_EQ(payload.size(), 24u);
    EXPECT_EQ(payload[22], 0xE1);
    EXPECT_EQ(payload[23], 0x00);
    EXPECT_EQ(ReceiverCommands::switchToNmeaPayload(" 9600x")[22], 0x25);  // leading blank, trailing junk
    EXPECT_EQ(ReceiverCommands::switchToNmeaPayload("")[23], 0x00);
    // Read as the C library's text-to-integer conversion reads it, clamped to 32 bits, then
    // cut to the message's 16.
    const auto rateField = [](const std::string& rate) {
        const ByteBuffer bytes = ReceiverCommands::switchToNmeaPayload(rate);
        return (bytes[22] << 8) | bytes[23];
    };
    EXPECT_EQ(rateField("+4800"), 4800);
    EXPECT_EQ(rateField("\t\n38400 Bd"), 38400);
    EXPECT_EQ(rateField("-1"), 0xFFFF);
    EXPECT_EQ(rateField("+-5"), 0);
    EXPECT_EQ(rateField("99999999999999999999"), 0xFFFF);  // 0x7FFFFFFF, cut
    EXPECT_EQ(rateField("Automatic"), 0);
}

TEST_F(ReceiverCommandsTest, NothingIsWrittenWithoutAnOpenPort)
{
    ReceiverCommands unset;
    EXPECT_FALSE(unset.sendNMEACommand(ByteBuffer{'$', 'A'}));
    EXPECT_FALSE(unset.sendCommand(ByteBuffer{0x85}));
    unset.initialize();
    EXPECT_TRUE(unset.waitForInitialize().empty());

    use("4800");
    port.closePort();
    EXPECT_FALSE(commands.sendNMEACommand(ByteBuffer{'$', 'A'}));
    EXPECT_FALSE(commands.sendCommand(ByteBuffer{0x85}));
    EXPECT_EQ(pty.readAll(20ms), "");
}

TEST_F(ReceiverCommandsTest, WaitForInitializeStopsAtTheBannerOrAfterFifteenLinesAndGivesThemBack)
{
    use("4800");
    std::string lines;
    for (int i = 1; i <= 20; ++i) lines += "$GPGGA," + std::to_string(i) + "\r\n";
    ASSERT_TRUE(pty.write(lines));
    const std::vector<ByteBuffer> first = commands.waitForInitialize();
    ASSERT_EQ(first.size(), 15u);
    EXPECT_EQ(text(first.front()), "$GPGGA,1\r\n");
    EXPECT_EQ(text(first.back()), "$GPGGA,15\r\n");
    EXPECT_EQ(text(port.readPortUntilChar(10, 256).value_or(ByteBuffer{})), "$GPGGA,16\r\n");
    port.flushPort();

    ASSERT_TRUE(pty.write("$GPGGA,1\r\nxx$Version 2.3\r\n$GPGGA,3\r\n"));
    const std::vector<ByteBuffer> toBanner = commands.waitForInitialize();
    ASSERT_EQ(toBanner.size(), 2u);
    EXPECT_EQ(text(toBanner.back()), "xx$Version 2.3\r\n");
    EXPECT_EQ(text(port.readPortUntilChar(10, 256).value_or(ByteBuffer{})), "$GPGGA,3\r\n");
    port.flushPort();

    // A banner behind a NUL byte is not seen: the line is read as C text.
    ASSERT_TRUE(pty.write(std::string("$GPTXT\0$Version\r\n", 17) + "$GPGGA,2\r\n$Version\r\n$GPGGA,4\r\n"));
    commands.waitForInitialize();
    EXPECT_EQ(text(port.readPortUntilChar(10, 256).value_or(ByteBuffer{})), "$GPGGA,4\r\n");
}

TEST(ReceiverCommandsIdent, NothingWhenThePortCannotBeOpened)
{
    ReceiverCommands commands;
    commands.setPort(nullptr, "/nonexistent/ttyUSB9", "4800");
    EXPECT_FALSE(commands.ident().has_value());
    EXPECT_FALSE(commands.sendNMEACommand(ByteBuffer{'$'})) << "ident leaves no port behind";
}

}  // namespace
