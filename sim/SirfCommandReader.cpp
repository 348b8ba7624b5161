// SPDX-License-Identifier: BSD-2-Clause
#include "sim/SirfCommandReader.h"

#include "base/Numbers.h"

namespace sim {

namespace {

constexpr std::size_t kMaxNmeaInput = 200;
constexpr std::size_t kMaxBinaryPayload = 1023;

std::optional<long> integer(const std::string& text)
{
    if (text.size() > 9) return std::nullopt;
    return digitsValue<long>(text);
}

std::vector<std::string> split(const std::string& text)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        fields.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return fields;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The body of a "$...*hh" line when the checksum holds.
std::optional<std::string> verifiedBody(const std::string& line)
{
    const std::size_t star = line.rfind('*');
    if (star == std::string::npos || star + 3 != line.size()) return std::nullopt;
    const int high = hexValue(line[star + 1]);
    const int low = hexValue(line[star + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    if (checksumOf(std::string_view(line).substr(0, star)) != high * 16 + low) return std::nullopt;
    return line.substr(0, star);
}

}  // namespace

bool SirfCommandReader::validRate(long rate)
{
    switch (rate) {
    case 1200: case 2400: case 4800: case 9600: case 19200: case 38400: case 57600:
    case 115200:
        return true;
    default:
        return false;
    }
}

std::optional<SirfCommand> SirfCommandReader::read(std::uint8_t byte, bool binary)
{
    return binary ? readBinaryByte(byte) : readNmeaByte(byte);
}

std::optional<SirfCommand> SirfCommandReader::readNmeaByte(std::uint8_t byte)
{
    if (byte == '$') {
        m_nmeaInput.assign(1, '$');
        m_nmeaInputActive = true;
        return std::nullopt;
    }
    if (!m_nmeaInputActive) return std::nullopt;
    if (byte == '\r' || byte == '\n') {
        m_nmeaInputActive = false;
        return nmeaCommand(m_nmeaInput);
    }
    m_nmeaInput.push_back(static_cast<char>(byte));
    if (m_nmeaInput.size() > kMaxNmeaInput) m_nmeaInputActive = false;
    return std::nullopt;
}

std::optional<SirfCommand> SirfCommandReader::readBinaryByte(std::uint8_t byte)
{
    auto& frame = m_binaryInput;
    if (frame.empty()) {
        if (byte == 0xA0) frame.push_back(byte);
        return std::nullopt;
    }
    if (frame.size() == 1) {
        if (byte == 0xA2)
            frame.push_back(byte);
        else if (byte != 0xA0)
            frame.clear();
        return std::nullopt;
    }
    frame.push_back(byte);
    if (frame.size() < 4) return std::nullopt;
    const std::size_t length = (std::size_t{frame[2]} << 8) | frame[3];
    if (length == 0 || length > kMaxBinaryPayload) {
        frame.clear();
        return std::nullopt;
    }
    if (frame.size() < 4 + length + 4) return std::nullopt;
    std::uint32_t sum = 0;
    for (std::size_t i = 4; i < 4 + length; ++i) sum += frame[i];
    const std::uint32_t checksum = (std::uint32_t{frame[4 + length]} << 8) | frame[5 + length];
    const bool valid = (sum & 0x7FFF) == checksum && frame[6 + length] == 0xB0
                       && frame[7 + length] == 0xB3;
    std::vector<std::uint8_t> payload(frame.begin() + 4, frame.begin() + 4 + static_cast<long>(length));
    frame.clear();
    if (!valid) return std::nullopt;
    return binaryCommand(payload);
}

std::optional<SirfCommand> SirfCommandReader::nmeaCommand(const std::string& line)
{
    const auto body = verifiedBody(line);
    if (!body) return std::nullopt;
    const auto fields = split(*body);
    const std::string& id = fields[0];
    SirfCommand command;
    command.text = *body;

    if (id == "$PSRF100" && fields.size() == 6) {
        const auto protocol = integer(fields[1]);
        const auto rate = integer(fields[2]);
        if (!protocol || *protocol > 1 || !rate || !validRate(*rate) || fields[3] != "8"
            || fields[4] != "1" || fields[5] != "0")
            return std::nullopt;
        command.kind = SirfCommand::Kind::SetPort;
        command.rate = static_cast<std::uint32_t>(*rate);
        command.binary = *protocol == 0;
        return command;
    }
    if (id == "$PSRF103" && fields.size() == 5) {
        const auto message = integer(fields[1]);
        const auto mode = integer(fields[2]);
        const auto period = integer(fields[3]);
        if (!message || !mode || !period || *mode > 1 || *period > 255) return std::nullopt;
        command.kind = *mode == 0 ? SirfCommand::Kind::SetPeriod : SirfCommand::Kind::QueryOnce;
        command.message = *message;
        command.periodSeconds = static_cast<int>(*period);
        return command;
    }
    if (id == "$PSRF101" && fields.size() == 9) {
        const auto channels = integer(fields[7]);
        const auto configuration = integer(fields[8]);
        if (!channels || !configuration) return std::nullopt;
        command.kind = SirfCommand::Kind::Restart;
        command.resetConfiguration = static_cast<int>(*configuration);
        return command;
    }
    if (id == "$PSRF105" && fields.size() == 2 && (fields[1] == "0" || fields[1] == "1")) {
        command.kind = SirfCommand::Kind::Debug;
        command.debugOn = fields[1] == "1";
        return command;
    }
    return std::nullopt;
}

std::optional<SirfCommand> SirfCommandReader::binaryCommand(const std::vector<std::uint8_t>& payload)
{
    const std::uint8_t id = payload[0];
    SirfCommand command;
    if (id == 133 && payload.size() == 7) {
        command.kind = SirfCommand::Kind::DgpsSource;
        command.text = "binary 133";
        command.dgpsSource = payload[1];
        return command;
    }
    if (id == 129 && payload.size() == 24) {
        const long rate = (long{payload[22]} << 8) | payload[23];
        if (!validRate(rate)) return std::nullopt;
        command.kind = SirfCommand::Kind::BackToNmea;
        command.text = "binary 129";
        command.rate = static_cast<std::uint32_t>(rate);
        for (std::size_t i = 0; i < static_cast<std::size_t>(kSentenceCount); ++i)
            command.periods[i] = payload[2 + 2 * i];
        return command;
    }
    return std::nullopt;
}

}  // namespace sim
