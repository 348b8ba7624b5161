// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "base/ByteBuffer.h"

// A verified sentence split once into its comma-separated fields.
//
// The views point into the buffer given to split(), which must outlive this object and not
// change while it is used. Field 0 is the address field with its start character ("$GPGGA");
// the text ends at the first NUL (where NMEA::checkSumValid cut off "*hh").
class SentenceFields {
public:
    // Nothing for an empty text or one that does not start with "$" or "!".
    static std::optional<SentenceFields> split(const ByteBuffer& sentence);
    static std::optional<SentenceFields> split(std::string_view text);

    std::uint32_t count() const { return static_cast<std::uint32_t>(m_fields.size()); }
    // Empty for a field number at or past count(), as for an empty field.
    std::string_view field(std::uint32_t index) const
    {
        return index < m_fields.size() ? m_fields[index] : std::string_view();
    }
    bool has(std::uint32_t index) const { return index < m_fields.size(); }

    // "$" or "!".
    char start() const { return m_fields[0][0]; }
    // "GP" of "$GPGGA"; empty when the address is too short.
    std::string_view talker() const;
    // "GGA" of "$GPGGA": the last three characters of a five-character address, so that a
    // proprietary "$PSRF100" gives no type a standard sentence has.
    std::string_view type() const;
    // "$P...": a maker's own sentence.
    bool proprietary() const;
    // The whole text that was split (up to the first NUL).
    std::string_view text() const { return m_text; }

private:
    std::string_view m_text;
    std::vector<std::string_view> m_fields;
};
