// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <vector>

namespace sim {

// The older CFG messages of a simulated UBX receiver: CFG-RATE, CFG-MSG, CFG-PRT and CFG-GNSS,
// polled and set, read from and written to the receiver's configuration key table (RAM), as an
// M8 keeps them and as a generation-9 receiver still takes them.
class UbxLegacyMessages {
public:
    using Layer = std::map<std::uint32_t, std::uint64_t>;

    // m8: a receiver without NAV-SIG (its CFG-MSG for it is refused).
    explicit UbxLegacyMessages(bool m8) : m_m8(m8) {}

    // Answers a message of class CFG with this id: the poll's answer and an ACK, or the ACK or
    // NAK of a set. False when the id is none of these messages.
    bool handle(std::uint8_t messageId, std::span<const std::uint8_t> payload, Layer& ram,
                std::vector<std::uint8_t>& out) const;

private:
    bool rate(std::span<const std::uint8_t> payload, Layer& ram, std::vector<std::uint8_t>& out) const;
    bool message(std::span<const std::uint8_t> payload, Layer& ram, std::vector<std::uint8_t>& out) const;
    bool port(std::span<const std::uint8_t> payload, Layer& ram, std::vector<std::uint8_t>& out) const;
    bool gnss(std::span<const std::uint8_t> payload, Layer& ram, std::vector<std::uint8_t>& out) const;

    bool m_m8;
};

}  // namespace sim
