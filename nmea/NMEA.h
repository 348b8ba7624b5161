// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/ByteBuffer.h"

// The sentence codec for NMEA 0183 lines.
//
// Class-level operations are stateless and thread-safe on buffers the caller owns. Texts
// they return are new and belong to the caller. Bytes above 0x7F are taken as ISO-8859-1
// and come back UTF-8 encoded, so every text is valid UTF-8; field boundaries and offsets
// are always counted in bytes of the buffer.
class NMEA {
public:
    // Accepts a line as read (start character, fields, "*hh", CR LF, appended NUL) when it
    // starts with "$" or "!" and its checksum matches, or when it has no "*" but a carriage
    // return. On acceptance the text ends with the last data field: the "*" (or the CR) is
    // overwritten with NUL. A checksum mismatch also cuts the text at the "*". A line
    // rejected for its start character or for lacking both "*" and CR is left unchanged.
    // The buffer's length never changes.
    static bool checkSumValid(ByteBuffer& sentence);

    // `length` bytes starting at byte `offset` (byte 0 is the start character), or nothing
    // when the buffer's whole byte length is smaller than offset + length.
    static std::optional<std::string> address(const ByteBuffer& sentence, std::uint32_t offset,
                                              std::uint32_t length);
    // "G" of "$GPGGA", "P" of "$PSRF100".
    static std::optional<std::string> prefix(const ByteBuffer& sentence);
    // "GP" of "$GPGGA".
    static std::optional<std::string> talker(const ByteBuffer& sentence);
    // The sentence type: "GGA" of "$GPGGA".
    static std::optional<std::string> command(const ByteBuffer& sentence);

    // Field `field` of the text up to the first NUL, split at every ","; field 0 is the
    // address field with its start character. Nothing for a field number at or past
    // count(), or when the text is empty; an empty field gives an empty text.
    static std::optional<std::string> parse(const ByteBuffer& sentence, std::uint32_t field);
    // Number of fields (commas + 1), 0 when the text is empty.
    static std::uint32_t count(const ByteBuffer& sentence);

    // A ddmm.mmmm / dddmm.mmmm coordinate field and its hemisphere ("N", "S", "E", "W") as
    // signed decimal degrees, computed in 32-bit floats. -1000.0 (the no-position value) when
    // the coordinate or hemisphere is missing or unusable. Neither minutes below 60 nor the
    // range of the result is checked: callers drop values outside a valid latitude/longitude.
    static float position(const std::optional<std::string>& coordinate,
                          const std::optional<std::string>& hemisphere);

    // Six-bit payload armouring of encapsulation ("!") sentences: "0".."W" -> 0..39,
    // "`".."w" -> 40..63; other characters are mapped by the same arithmetic, not rejected.
    static std::uint8_t sixBitToBinary(std::uint8_t armoured);
    // Six-bit text character: 0..31 -> "@", "A".."Z", "[", "\", "]", "^", "_"; 32 and above
    // unchanged (blank, punctuation, digits).
    static std::uint8_t binaryToAscii(std::uint8_t value);
    // The unsigned number of `width` bits at `first` (most significant bit first). 0 when the
    // field does not lie within the list (first + width > size), when width is 0 or when
    // width is above 32.
    static std::uint32_t getUnsignedBits(const std::vector<bool>& bits, std::uint32_t first,
                                         std::uint32_t width);
    // The six-bit text of `width` bits at `first`, one character per started group of six
    // bits, "@" fill shown as blank, blanks and tabs trimmed from both ends. Empty when the
    // field does not lie within the list or width is 0.
    static std::string getAsciiBits(const std::vector<bool>& bits, std::uint32_t first,
                                    std::uint32_t width);

    NMEA() = delete;
};
