// SPDX-License-Identifier: BSD-2-Clause
// Arbitrary bytes as a line from the serial port, through everything the reader thread and
// the handlers do with it, whether or not the checksum holds.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "nmea/NMEA.h"

namespace {

void check(bool condition)
{
    if (!condition) std::abort();
}

// The fields of the text by the plainest possible split, as UTF-8 from ISO-8859-1.
std::vector<std::string> plainFields(const ByteBuffer& sentence)
{
    std::vector<std::string> fields;
    if (sentence.empty() || sentence[0] == 0) return fields;
    fields.emplace_back();
    for (const std::uint8_t byte : sentence) {
        if (byte == 0) break;
        if (byte == ',') {
            fields.emplace_back();
        } else if (byte < 0x80) {
            fields.back() += static_cast<char>(byte);
        } else {
            fields.back() += static_cast<char>(0xC0 | (byte >> 6));
            fields.back() += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ByteBuffer sentence(data, data + size);
    const ByteBuffer original = sentence;
    const bool accepted = NMEA::checkSumValid(sentence);
    check(sentence.size() == original.size());
    if (!accepted && size > 0 && original[0] != '$' && original[0] != '!') check(sentence == original);

    NMEA::prefix(sentence);
    NMEA::talker(sentence);
    const auto command = NMEA::command(sentence);
    check(!command || command->size() >= 3);

    // Fields and commas make up the whole text; each byte above 0x7F is two UTF-8 bytes.
    std::size_t textBytes = 0;
    for (const std::uint8_t byte : sentence) {
        if (byte == 0) break;
        textBytes += byte >= 0x80 ? 2 : 1;
    }
    const std::uint32_t fields = NMEA::count(sentence);
    const std::vector<std::string> expected = plainFields(sentence);
    check(fields == expected.size());
    std::size_t joined = 0;
    for (std::uint32_t i = 0; i < fields; ++i) {
        const auto field = NMEA::parse(sentence, i);
        check(field == expected[i]);
        if (accepted) check(field->find('*') == std::string::npos);
        joined += field->size();
        // Any two neighbouring fields as a coordinate and its hemisphere.
        NMEA::position(field, NMEA::parse(sentence, i + 1));
    }
    check(!NMEA::parse(sentence, fields).has_value());
    check(fields == 0 ? textBytes == 0 : joined + fields - 1 == textBytes);

    // The raw input as one coordinate text, with each hemisphere.
    const std::optional<std::string> text(std::string(data, data + size));
    check(NMEA::position(text, std::string()) == -1000.0f);
    const float north = NMEA::position(text, std::string("N"));
    const float south = NMEA::position(text, std::string("S"));
    if (north != -1000.0f && south != -1000.0f && north == north) check(south == -north);
    check(NMEA::position(text, std::string("W")) == south || south != south);
    return 0;
}
