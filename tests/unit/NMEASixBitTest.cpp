// SPDX-License-Identifier: BSD-2-Clause
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "nmea/NMEA.h"

namespace {

// Bits of the given six-bit values, most significant first, followed by `padding` zero bits.
std::vector<bool> sixBitValues(const std::vector<int>& values, std::size_t padding = 0)
{
    std::vector<bool> bits;
    for (int value : values) {
        for (int bit = 5; bit >= 0; --bit) bits.push_back(((value >> bit) & 1) != 0);
    }
    bits.resize(bits.size() + padding, false);
    return bits;
}

}  // namespace

TEST(NMEASixBit, DearmoursEveryByte)
{
    const struct {
        char armoured;
        int value;
    } cases[] = {{'0', 0}, {'W', 39}, {'`', 40}, {'w', 63}, {'X', 40}, {'Y', 33}, {' ', 48}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(1, c.armoured));
        EXPECT_EQ(NMEA::sixBitToBinary(static_cast<std::uint8_t>(c.armoured)), c.value);
    }
    // The armouring alphabet maps one to one onto 0..63.
    std::vector<bool> seen(64, false);
    for (int c = '0'; c <= 'W'; ++c) seen[NMEA::sixBitToBinary(static_cast<std::uint8_t>(c))] = true;
    for (int c = '`'; c <= 'w'; ++c) seen[NMEA::sixBitToBinary(static_cast<std::uint8_t>(c))] = true;
    EXPECT_EQ(std::vector<bool>(64, true), seen);
}

TEST(NMEASixBit, SixBitCharacterTable)
{
    const struct {
        int value;
        char character;
    } cases[] = {{0, '@'}, {1, 'A'}, {26, 'Z'}, {31, '_'}, {32, ' '}, {48, '0'}, {63, '?'}, {64, 64}, {200, static_cast<char>(200)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(NMEA::binaryToAscii(static_cast<std::uint8_t>(c.value)), static_cast<std::uint8_t>(c.character));
    }
}

TEST(NMEASixBit, ReadsNumbersMostSignificantBitFirst)
{
    const std::vector<bool> bits = {true, false, true, true, false, false, true, true};
    EXPECT_EQ(NMEA::getUnsignedBits(bits, 0, 3), 5u);
    EXPECT_EQ(NMEA::getUnsignedBits(bits, 2, 3), 6u);
    EXPECT_EQ(NMEA::getUnsignedBits(bits, 0, 0), 0u);
    EXPECT_EQ(NMEA::getUnsignedBits(bits, 0, 8), 0xB3u);

    const std::vector<bool> ones(40, true);
    EXPECT_EQ(NMEA::getUnsignedBits(ones, 8, 32), 0xFFFFFFFFu);
    EXPECT_EQ(NMEA::getUnsignedBits(ones, 0, 33), 0u) << "widths above 32 give 0";
}

TEST(NMEASixBit, AFieldEndingAtTheLastBitIsRead)
{
    const std::vector<bool> bits = {true, false, true, true, false, false, true, true};
    EXPECT_EQ(NMEA::getUnsignedBits(bits, 5, 3), 3u);
    EXPECT_EQ(NMEA::getUnsignedBits(bits, 6, 3), 0u);
    EXPECT_EQ(NMEA::getUnsignedBits(bits, 8, 1), 0u);
    EXPECT_EQ(NMEA::getUnsignedBits({}, 0, 1), 0u);

    const auto text = sixBitValues({1, 2});
    EXPECT_EQ(NMEA::getAsciiBits(text, 0, 12), "AB");
    EXPECT_EQ(NMEA::getAsciiBits(text, 6, 6), "B");
    EXPECT_EQ(NMEA::getAsciiBits(text, 6, 7), "");
}

TEST(NMEASixBit, RangesNearTheTopOfThe32BitRangeDoNotWrap)
{
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    const std::vector<bool> bits(64, true);
    EXPECT_EQ(NMEA::getUnsignedBits(bits, kMax, 2), 0u);
    EXPECT_EQ(NMEA::getUnsignedBits(bits, 2, kMax), 0u);
    EXPECT_EQ(NMEA::getAsciiBits(bits, kMax, 6), "");
    EXPECT_EQ(NMEA::getAsciiBits(bits, 6, kMax), "");
}

TEST(NMEASixBit, TextFillBecomesBlankAndIsTrimmed)
{
    const struct {
        const char* name;
        std::vector<int> values;
        std::string text;
    } cases[] = {
        {"fill at the end", {1, 2, 0, 0}, "AB"},
        {"fill at the start", {0, 1}, "A"},
        {"fill in the middle", {1, 0, 2}, "A B"},
        {"blanks at both ends", {32, 1, 32, 2, 32}, "A B"},
        {"nothing but fill", {0, 0, 0}, ""},
        {"digits and punctuation", {51, 48, 32, 33, 63}, "30 !?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto bits = sixBitValues(c.values, 12);
        EXPECT_EQ(NMEA::getAsciiBits(bits, 0, static_cast<std::uint32_t>(6 * c.values.size())), c.text);
    }
}

TEST(NMEASixBit, PartialGroupsCountAsWholeGroups)
{
    const auto bits = sixBitValues({1, 2, 3}, 1);
    EXPECT_EQ(NMEA::getAsciiBits(bits, 0, 8), "AB") << "width 8 reads groups at offsets 0 and 6";
    EXPECT_EQ(NMEA::getAsciiBits(bits, 0, 0), "");
    EXPECT_EQ(NMEA::getAsciiBits(bits, 1, 18), "BDF") << "groups need not be aligned";
    // 19 bits: the group at 18 reaches past the list and reads as fill.
    EXPECT_EQ(NMEA::getAsciiBits(bits, 6, 13), "BC");
}
