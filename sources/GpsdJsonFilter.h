// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Splits what gpsd sends in raw watch mode into the receiver's own bytes and gpsd's JSON
// notices ({"class":"VERSION",...}, DEVICES, WATCH, DEVICE, ERROR), which gpsd puts between
// the receiver's packets, after a binary packet possibly without a line break before them.
// A notice starts with {"class":" and ends at its line feed. Keeps state across feeds, so a
// notice or its opening cut between two reads is still taken out whole.
class GpsdJsonFilter {
public:
    // Appends the receiver's bytes of input to out.
    void feed(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& out);
    // The text of gpsd's last ERROR notice ("message" field), empty when none came; reading
    // it clears it.
    std::string takeError();
    std::size_t noticesRemoved() const { return m_notices; }

private:
    void endNotice();

    // A notice longer than this is not gpsd's: bytes after it count as the receiver's again.
    static constexpr std::size_t kNoticeLimit = 16384;

    std::string m_pending;  // a started {"class":" opening not yet complete
    std::string m_notice;   // the notice being removed, when inNotice
    bool m_inNotice = false;
    std::size_t m_notices = 0;
    std::string m_error;
};
