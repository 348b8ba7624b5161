// SPDX-License-Identifier: BSD-2-Clause
#include "serial/ReceiverCommands.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "serial/Serial.h"

namespace {

constexpr std::uint8_t kLineFeed = 10;
constexpr std::uint32_t kLineLimit = 256;
constexpr int kInitializeLines = 15;
constexpr int kIdentLines = 25;

ByteBuffer bytesOf(std::string_view text)
{
    return ByteBuffer(text.begin(), text.end());
}

// A received line read as C text: anything after a stray NUL byte does not count.
std::string_view lineText(const ByteBuffer& line)
{
    const auto* chars = reinterpret_cast<const char*>(line.data());
    return std::string_view(chars, strnlen(chars, line.size()));
}

// The integer value of a rate text the way a text-to-integer conversion reads it: leading
// blanks, an optional sign, then digits up to the first other character; 0 when none.
// Clamped to 32 bits either way.
long rateValue(const std::string& rate)
{
    constexpr long long kLargest = 0x7FFFFFFF;
    std::size_t i = rate.find_first_not_of(" \t\n");
    if (i == std::string::npos) return 0;
    const bool negative = rate[i] == '-';
    if (rate[i] == '+' || negative) ++i;
    // The sign is taken above: from_chars would take a second one.
    if (i == rate.size() || rate[i] < '0' || rate[i] > '9') return 0;
    long long value = 0;
    const auto [end, error] = std::from_chars(rate.data() + i, rate.data() + rate.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range || value > kLargest) value = kLargest;
    return static_cast<long>(negative ? -value : value);
}

void appendBigEndian16(ByteBuffer& buffer, std::uint16_t value)
{
    buffer.push_back(static_cast<std::uint8_t>(value >> 8));
    buffer.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

}  // namespace

ReceiverCommands::ReceiverCommands() = default;
ReceiverCommands::~ReceiverCommands() = default;

void ReceiverCommands::setPort(Serial* port, const std::string& portString, const std::string& rateString)
{
    m_serialPort = port;
    m_portString = portString;
    m_rateString = rateString;
}

ByteBuffer ReceiverCommands::nmeaSentence(const ByteBuffer& body)
{
    std::uint8_t checksum = 0;
    for (std::size_t i = 1; i < body.size(); ++i) checksum ^= body[i];
    char trailer[8];
    std::snprintf(trailer, sizeof trailer, "*%02X\r\n", checksum);
    ByteBuffer sentence = body;
    sentence.insert(sentence.end(), trailer, trailer + 5);
    return sentence;
}

ByteBuffer ReceiverCommands::binaryFrame(const ByteBuffer& payload)
{
    std::uint32_t sum = 0;
    for (const std::uint8_t byte : payload) sum += byte;
    ByteBuffer frame;
    frame.reserve(payload.size() + 8);
    frame.push_back(0xA0);
    frame.push_back(0xA2);
    appendBigEndian16(frame, static_cast<std::uint16_t>(payload.size()));
    frame.insert(frame.end(), payload.begin(), payload.end());
    appendBigEndian16(frame, static_cast<std::uint16_t>(sum & 0x7FFF));
    frame.push_back(0xB0);
    frame.push_back(0xB3);
    return frame;
}

ByteBuffer ReceiverCommands::initializeBody(const std::string& rateString)
{
    return bytesOf("$PSRF100,1," + rateString + ",8,1,0");
}

ByteBuffer ReceiverCommands::rateControlBody(int message, int periodSeconds)
{
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%s,%02d,00,%02d,01", "$PSRF103",
                                     message, periodSeconds);
    return bytesOf(std::string_view(text, static_cast<std::size_t>(length)));
}

ByteBuffer ReceiverCommands::dgpsSourcePayload(bool useSbas)
{
    // Message 133: source, then the internal beacon frequency (4 bytes) and bit rate (1).
    return ByteBuffer{0x85, static_cast<std::uint8_t>(useSbas ? 0x01 : 0x00), 0, 0, 0, 0, 0};
}

ByteBuffer ReceiverCommands::switchToNmeaPayload(const std::string& rateString)
{
    // Message 129: mode 2, then (period, checksum flag) for GGA, GLL, GSA, GSV, RMC, VTG and
    // MSS, EPE and ZDA off, two reserved bytes, the bit rate.
    ByteBuffer payload{0x81, 0x02};
    for (int sentence = 0; sentence < 7; ++sentence) {
        payload.push_back(0x01);
        payload.push_back(0x01);
    }
    payload.insert(payload.end(), 6, 0x00);
    appendBigEndian16(payload, static_cast<std::uint16_t>(rateValue(rateString)));
    return payload;
}

ByteBuffer ReceiverCommands::restartBody(RestartDepth depth)
{
    const char* configuration = "1";
    if (depth == RestartDepth::Warm) configuration = "2";
    if (depth == RestartDepth::Cold) configuration = "4";
    return bytesOf(std::string("$PSRF101,0,0,0,0,0,0,12,") + configuration);
}

std::optional<std::string> ReceiverCommands::restartRefusalKey(bool connected, bool otherTalkerSeen)
{
    if (!connected) return "TestRestartNotConnected";
    if (otherTalkerSeen) return "TestRestartUnknownReceiver";
    return std::nullopt;
}

bool ReceiverCommands::sendNMEACommand(const ByteBuffer& body)
{
    if (!m_serialPort) return false;
    if (m_serialPort->writePort(body) < body.size()) return false;
    const ByteBuffer sentence = nmeaSentence(body);
    const ByteBuffer trailer(sentence.end() - 5, sentence.end());
    return m_serialPort->writePort(trailer) == trailer.size();
}

bool ReceiverCommands::sendCommand(const ByteBuffer& payload)
{
    if (!m_serialPort) return false;
    const ByteBuffer frame = binaryFrame(payload);
    return m_serialPort->writePort(frame) == frame.size();
}

void ReceiverCommands::initialize()
{
    (void)sendNMEACommand(initializeBody(m_rateString));
}

std::vector<ByteBuffer> ReceiverCommands::waitForInitialize()
{
    std::vector<ByteBuffer> lines;
    if (!m_serialPort) return lines;
    for (int i = 0; i < kInitializeLines; ++i) {
        auto line = m_serialPort->readPortUntilChar(kLineFeed, kLineLimit);
        if (!line || line->empty()) break;
        const bool banner = lineText(*line).find("$Version") != std::string_view::npos;
        lines.push_back(std::move(*line));
        if (banner) break;
    }
    return lines;
}

void ReceiverCommands::setNMEA()
{
    for (int message = 0; message <= 5; ++message) {
        const int period = (message == 2 || message == 3) ? 5 : 1;
        (void)sendNMEACommand(rateControlBody(message, period));
    }
}

void ReceiverCommands::setWAAS(bool useSbas)
{
    (void)sendNMEACommand(bytesOf("$PSRF100,0," + m_rateString + ",8,1,0"));
    if (!sendCommand(dgpsSourcePayload(useSbas))) return;
    (void)sendCommand(switchToNmeaPayload(m_rateString));
}

void ReceiverCommands::restart(RestartDepth depth)
{
    (void)sendNMEACommand(restartBody(depth));
}

void ReceiverCommands::setDebug()
{
    (void)sendNMEACommand(bytesOf("$PSRF105,1"));
}

std::optional<std::string> ReceiverCommands::ident()
{
    m_ownPort = std::make_unique<Serial>();
    m_serialPort = m_ownPort.get();
    std::optional<std::string> result;
    if (m_ownPort->openPort(m_portString, m_rateString, false)) {
        initialize();
        for (int i = 0; i < kIdentLines; ++i) {
            const auto line = m_ownPort->readPortUntilChar(kLineFeed, kLineLimit);
            if (!line || line->empty()) break;
            const std::string_view text = lineText(*line);
            const auto banner = text.find("$Version");
            if (banner != std::string_view::npos) {
                result = std::string(text.substr(banner + 1));
                break;
            }
        }
        m_ownPort->closePort();
    }
    m_serialPort = nullptr;
    m_ownPort.reset();
    return result;
}
