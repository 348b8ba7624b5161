// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>

// Whether a line without "*hh" is a whole sentence or one cut short on the way.
//
// Most receivers checksum every sentence; then a line without one is broken. Some never send
// checksums; their lines are taken as they are, but only after several in a row, because the
// first line of a connection may well be the front half of a cut sentence. One per
// connection; not thread-safe.
class ChecksumHabit {
public:
    static constexpr std::uint32_t kPlainLinesBeforeTrust = 5;

    // A line that carries "*hh" came: from now on every line must.
    void checksummed() { m_checksumsSeen = true; }
    // A line without "*hh" came: true when it is to be taken as a whole sentence.
    bool acceptsPlainLine()
    {
        if (m_checksumsSeen) return false;
        if (m_plainLines < kPlainLinesBeforeTrust) ++m_plainLines;
        return m_plainLines >= kPlainLinesBeforeTrust;
    }
    void reset() { *this = ChecksumHabit(); }

private:
    bool m_checksumsSeen = false;
    std::uint32_t m_plainLines = 0;
};
