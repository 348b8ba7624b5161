// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/Scenario.h"

namespace sim {

// A well-formed command to the SiRF-type receiver, from either of its protocols.
struct SirfCommand {
    enum class Kind : std::uint8_t {
        SetPort,      // $PSRF100: protocol and rate
        SetPeriod,    // $PSRF103 mode 0: a sentence's output period
        QueryOnce,    // $PSRF103 mode 1: a sentence once
        Restart,      // $PSRF101
        Debug,        // $PSRF105
        DgpsSource,   // binary message 133
        BackToNmea,   // binary message 129: periods and rate
    };
    Kind kind = Kind::SetPort;
    std::string text;          // as the receiver logs it: the NMEA body, or "binary 133" etc.
    std::uint32_t rate = 0;    // SetPort, BackToNmea
    bool binary = false;       // SetPort: to the binary protocol
    // SetPeriod, QueryOnce: the message number, which may be one the route does not produce.
    long message = 0;
    int periodSeconds = 0;     // SetPeriod
    int resetConfiguration = 0;  // Restart
    bool debugOn = false;      // Debug
    int dgpsSource = 0;        // DgpsSource
    std::array<int, kSentenceCount> periods{};  // BackToNmea
};

// Reads what the application writes to the SiRF-type receiver a byte at a time, framing NMEA
// lines or binary messages as the receiver's current protocol says, and gives each command
// that is well formed and carries a valid checksum. Everything else is ignored, as the
// receiver does. Single thread.
class SirfCommandReader {
public:
    // The command the byte completes, if any. The protocol may change between two bytes of
    // one write ($PSRF100 followed by a binary frame).
    std::optional<SirfCommand> read(std::uint8_t byte, bool binary);
    // Forgets a binary frame begun before the port was reset.
    void resetBinary() { m_binaryInput.clear(); }

    // The line rates the receiver takes.
    static bool validRate(long rate);

private:
    std::optional<SirfCommand> readNmeaByte(std::uint8_t byte);
    std::optional<SirfCommand> readBinaryByte(std::uint8_t byte);
    static std::optional<SirfCommand> nmeaCommand(const std::string& line);
    static std::optional<SirfCommand> binaryCommand(const std::vector<std::uint8_t>& payload);

    std::string m_nmeaInput;
    bool m_nmeaInputActive = false;
    std::vector<std::uint8_t> m_binaryInput;
};

}  // namespace sim
