// SPDX-License-Identifier: BSD-2-Clause
// Arbitrary armoured payloads read with arbitrary field ranges.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "nmea/NMEA.h"

namespace {

void check(bool condition)
{
    if (!condition) std::abort();
}

std::uint32_t take32(const std::uint8_t*& data, std::size_t& size)
{
    std::uint32_t value = 0;
    const std::size_t n = size < 4 ? size : 4;
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // First bytes: two ranges (which may be anything, near 2^32 included) and a bit count
    // to cut the list to; the rest is the payload.
    const std::uint32_t first = take32(data, size);
    const std::uint32_t width = take32(data, size);
    const std::uint32_t first2 = take32(data, size) % 512;
    const std::uint32_t width2 = take32(data, size) % 64;
    const std::uint32_t cut = size > 0 ? data[0] % 6 : 0;

    std::vector<bool> bits;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t value = NMEA::sixBitToBinary(data[i]);
        check(value < 64);
        check(NMEA::binaryToAscii(value) >= 32 && NMEA::binaryToAscii(value) < 96);
        for (int bit = 5; bit >= 0; --bit) bits.push_back(((value >> bit) & 1) != 0);
    }
    bits.resize(bits.size() - (bits.size() >= cut ? cut : 0));

    for (const auto& [s, w] : {std::pair{first, width}, std::pair{first2, width2}}) {
        const std::uint32_t number = NMEA::getUnsignedBits(bits, s, w);
        if (w < 32) check(number < (std::uint32_t{1} << w));
        if (std::uint64_t{s} + w > bits.size() || w > 32) check(number == 0);
        const std::string text = NMEA::getAsciiBits(bits, s, w);
        check(text.size() <= (std::uint64_t{w} + 5) / 6);
        check(text.empty() || (text.front() != ' ' && text.back() != ' '));
        check(text.find('@') == std::string::npos);
    }
    return 0;
}
