// SPDX-License-Identifier: BSD-2-Clause
#include "nmea/NMEA.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <limits>
#include <system_error>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr float kNoPosition = -1000.0f;

// Length of the C text at the start of the buffer: up to the first NUL, or all of it.
std::size_t textLength(const ByteBuffer& buffer)
{
    if (buffer.empty()) return 0;  // data() may be null, which memchr must not see
    const void* nul = std::memchr(buffer.data(), 0, buffer.size());
    return nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - buffer.data())
               : buffer.size();
}

// Eight bytes at a time for the field scans: every handler call splits the sentence anew,
// so skipping to a field is the codec's hot loop.
constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
constexpr std::uint64_t kCommas = 0x2C2C2C2C2C2C2C2CULL;

std::uint64_t load8(const std::uint8_t* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// The high bit of each byte of the result is set exactly where that byte of `word` is 0.
std::uint64_t zeroBytes(std::uint64_t word)
{
    return ~(((word & kLow7) + kLow7) | word | kLow7);
}

#if defined(__SSE2__)
constexpr auto kBitsSet = [] {
    std::array<std::uint8_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) table[i] = static_cast<std::uint8_t>(std::popcount(i));
    return table;
}();
#endif

// Number of bytes flagged in a zeroBytes() mask (a portable popcount of at most 8 bits,
// without the library call a baseline x86-64 build would make).
std::uint32_t flaggedBytes(std::uint64_t mask)
{
    return static_cast<std::uint32_t>(((mask >> 7) * 0x0101010101010101ULL) >> 56);
}

// Bytes as ISO-8859-1 text, UTF-8 encoded: one byte is one character, and any byte string
// yields valid UTF-8. Receivers send ASCII, so the common case is one copy, made straight
// into the optional (a later move would copy a short string's bytes again).
std::optional<std::string> latin1ToUtf8(const std::uint8_t* bytes, std::size_t length)
{
    std::uint64_t highBits = 0;
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8) highBits |= load8(bytes + i);
    for (; i < length; ++i) highBits |= bytes[i];
    if ((highBits & 0x8080808080808080ULL) == 0) {
        return std::optional<std::string>(std::in_place, reinterpret_cast<const char*>(bytes), length);
    }

    std::optional<std::string> result(std::in_place);
    std::string& text = *result;
    text.reserve(length * 2);
    for (i = 0; i < length; ++i) {
        const std::uint8_t byte = bytes[i];
        if (byte < 0x80) {
            text.push_back(static_cast<char>(byte));
        } else {
            text.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return result;
}

int hexDigitValue(std::uint8_t c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// White space of the C locale, whatever locale the desktop runs in.
bool isCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool isUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// For a decimal number that does not fit a float: does it overflow (true) or underflow?
// Only the order of magnitude matters, as the two cases lie 80 decades apart.
bool decimalOverflows(const char* begin, const char* end)
{
    const char* p = begin;
    if (p != end && *p == '-') ++p;
    long long order = 0;
    bool seenNonZero = false;
    for (; p != end && isDigit(*p); ++p) {
        if (seenNonZero) ++order;
        else if (*p != '0') seenNonZero = true;
    }
    if (p != end && *p == '.') {
        for (++p; p != end && isDigit(*p); ++p) {
            if (seenNonZero) continue;
            --order;
            if (*p != '0') seenNonZero = true;
        }
    }
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool negative = false;
        if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
        long long exponent = 0;
        for (; p != end && isDigit(*p); ++p) exponent = std::min(exponent * 10 + (*p - '0'), 1000000LL);
        order += negative ? -exponent : exponent;
    }
    return order >= 0;
}

// The decimal number at the start of the text after leading white space, as a 32-bit float,
// the way the C library reads it under the C locale; 0 when the text does not start with
// one. Infinity, NaN and hexadecimal forms are not decimal numbers and read as 0 (or as the
// "0" in front of an "x").
float leadingDecimal(const char* begin, const char* end)
{
    const char* p = begin;
    while (p != end && isCSpace(*p)) ++p;
    if (p != end && *p == '+') {
        ++p;
        if (p != end && *p == '-') return 0.0f;
    }
    const char* digits = (p != end && *p == '-') ? p + 1 : p;
    const bool startsNumber =
        digits != end && (isDigit(*digits) || (*digits == '.' && digits + 1 != end && isDigit(digits[1])));
    if (!startsNumber) return 0.0f;

    float value = 0.0f;
    const auto [stop, error] = std::from_chars(p, end, value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        const bool negative = *p == '-';
        if (decimalOverflows(p, stop)) {
            value = std::numeric_limits<float>::infinity();
        } else {
            value = 0.0f;
        }
        return negative ? -value : value;
    }
    return error == std::errc() ? value : 0.0f;
}

// Reads `width` (at most 32) bits from `first`; the caller has checked the range.
std::uint32_t readBits(const std::vector<bool>& bits, std::uint64_t first, std::uint32_t width)
{
    std::uint32_t value = 0;
    for (std::uint32_t i = 0; i < width; ++i) value = (value << 1) | (bits[first + i] ? 1u : 0u);
    return value;
}

bool fieldInside(const std::vector<bool>& bits, std::uint64_t first, std::uint64_t width)
{
    return width != 0 && first + width <= bits.size();
}

}  // namespace

bool NMEA::checkSumValid(ByteBuffer& sentence)
{
    if (sentence.empty()) return false;
    std::uint8_t* const bytes = sentence.data();
    if (bytes[0] != '$' && bytes[0] != '!') return false;

    const std::size_t length = textLength(sentence);
    auto* star = static_cast<std::uint8_t*>(std::memchr(bytes, '*', length));
    if (!star) {
        // The checksum field is optional in NMEA 0183; such a line is taken as it is,
        // provided it arrived whole (with its carriage return).
        auto* cr = static_cast<std::uint8_t*>(std::memchr(bytes, '\r', length));
        if (!cr) return false;
        *cr = 0;
        return true;
    }

    std::uint8_t computed = 0;
    for (const std::uint8_t* p = bytes + 1; p < star; ++p) computed ^= *p;

    // Up to two hexadecimal digits, as "%02x" would take them: a single digit followed by
    // anything else counts alone; no digit at all leaves 0.
    unsigned transmitted = 0;
    const std::uint8_t* const textEnd = bytes + length;
    const std::uint8_t* digit = star + 1;
    for (int taken = 0; taken < 2 && digit < textEnd; ++taken, ++digit) {
        const int value = hexDigitValue(*digit);
        if (value < 0) break;
        transmitted = transmitted * 16 + static_cast<unsigned>(value);
    }

    *star = 0;
    return computed == transmitted;
}

std::optional<std::string> NMEA::address(const ByteBuffer& sentence, std::uint32_t offset,
                                         std::uint32_t length)
{
    // Widened: an offset near 2^32 must not wrap round to a small end.
    const std::uint64_t end = std::uint64_t{offset} + length;
    if (sentence.size() < end) return std::nullopt;
    return latin1ToUtf8(sentence.data() + offset, length);
}

std::optional<std::string> NMEA::prefix(const ByteBuffer& sentence) { return address(sentence, 1, 1); }

std::optional<std::string> NMEA::talker(const ByteBuffer& sentence) { return address(sentence, 1, 2); }

std::optional<std::string> NMEA::command(const ByteBuffer& sentence) { return address(sentence, 3, 3); }

std::optional<std::string> NMEA::parse(const ByteBuffer& sentence, std::uint32_t field)
{
    // One pass that stops at the end of the wanted field: no scan for the end of the text
    // first, and nothing kept between calls.
    const std::uint8_t* p = sentence.data();
    const std::uint8_t* const end = p + sentence.size();
    if (p == end || *p == 0) return std::nullopt;

    std::uint32_t commasToPass = field;
#if defined(__SSE2__)
    // Sixteen bytes a step where the instruction set has it (every x86-64).
    while (commasToPass > 0 && end - p >= 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const auto nul = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_setzero_si128())));
        auto commas = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(','))));
        if (nul != 0) commas &= (nul & (~nul + 1)) - 1;  // only the commas before the NUL
        const std::uint32_t inChunk = kBitsSet[commas & 0xFF] + kBitsSet[commas >> 8];
        if (inChunk < commasToPass) {
            if (nul != 0) return std::nullopt;
            commasToPass -= inChunk;
            p += 16;
            continue;
        }
        for (std::uint32_t i = 1; i < commasToPass; ++i) commas &= commas - 1;
        p += std::countr_zero(commas) + 1;
        commasToPass = 0;
    }
#endif
    while (commasToPass > 0) {
        if (std::endian::native != std::endian::little || end - p < 8) {
            if (p == end || *p == 0) return std::nullopt;
            if (*p++ == ',') --commasToPass;
            continue;
        }
        const std::uint64_t word = load8(p);
        const std::uint64_t nul = zeroBytes(word);
        std::uint64_t commas = zeroBytes(word ^ kCommas);
        if (nul != 0) commas &= (nul & (~nul + 1)) - 1;  // only the commas before the NUL
        const std::uint32_t inWord = flaggedBytes(commas);
        if (inWord < commasToPass) {
            if (nul != 0) return std::nullopt;
            commasToPass -= inWord;
            p += 8;
            continue;
        }
        // The field starts right after the commasToPass-th comma of this word.
        for (std::uint32_t i = 1; i < commasToPass; ++i) commas &= commas - 1;
        p += (std::countr_zero(commas) >> 3) + 1;
        commasToPass = 0;
    }

    const std::uint8_t* stop = p;
#if defined(__SSE2__)
    while (end - stop >= 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(stop));
        const auto terminators = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_setzero_si128()), _mm_cmpeq_epi8(chunk, _mm_set1_epi8(',')))));
        if (terminators != 0) return latin1ToUtf8(p, static_cast<std::size_t>(stop + std::countr_zero(terminators) - p));
        stop += 16;
    }
#endif
    for (;;) {
        if (std::endian::native != std::endian::little || end - stop < 8) {
            while (stop != end && *stop != ',' && *stop != 0) ++stop;
            break;
        }
        const std::uint64_t word = load8(stop);
        const std::uint64_t terminators = zeroBytes(word) | zeroBytes(word ^ kCommas);
        if (terminators != 0) {
            stop += std::countr_zero(terminators) >> 3;
            break;
        }
        stop += 8;
    }
    return latin1ToUtf8(p, static_cast<std::size_t>(stop - p));
}

std::uint32_t NMEA::count(const ByteBuffer& sentence)
{
    const std::uint8_t* p = sentence.data();
    const std::uint8_t* const end = p + sentence.size();
    if (p == end || *p == 0) return 0;
    std::uint32_t commas = 0;
    while (end - p >= 8) {
        const std::uint64_t word = load8(p);
        if (zeroBytes(word) != 0) break;
        commas += flaggedBytes(zeroBytes(word ^ kCommas));
        p += 8;
    }
    for (; p != end && *p != 0; ++p) commas += *p == ',';
    return commas + 1;
}

float NMEA::position(const std::optional<std::string>& coordinate,
                     const std::optional<std::string>& hemisphere)
{
    if (!coordinate) return kNoPosition;
    const char* const begin = coordinate->data();
    const char* const end = begin + coordinate->size();

    // Positions below are in characters; a character above 0x7F is two UTF-8 bytes.
    const auto characters = std::count_if(begin, end, [](char c) { return !isUtf8Continuation(c); });
    if (characters <= 2) return kNoPosition;

    const char* const dot = static_cast<const char*>(std::memchr(begin, '.', coordinate->size()));
    if (!dot) return kNoPosition;
    const char* minutesBegin = dot;
    for (int back = 0; back < 2; ++back) {
        // Fewer than two characters before the "." is not a ddmm.mmmm form at all.
        if (minutesBegin == begin) return kNoPosition;
        do {
            --minutesBegin;
        } while (minutesBegin != begin && isUtf8Continuation(*minutesBegin));
    }

    const float fraction = leadingDecimal(dot, end);
    const float minutes = leadingDecimal(minutesBegin, dot);
    const float degrees = leadingDecimal(begin, minutesBegin);
    // Single precision step by step: the displayed digits depend on it.
    const float sum = fraction + minutes;
    const float minuteDegrees = sum / 60.0f;
    const float magnitude = degrees + minuteDegrees;

    if (!hemisphere || hemisphere->empty()) return kNoPosition;
    switch ((*hemisphere)[0]) {
    case 'S':
    case 'W':
        return -magnitude;
    case 'N':
    case 'E':
        return magnitude;
    default:
        return kNoPosition;
    }
}

std::uint8_t NMEA::sixBitToBinary(std::uint8_t armoured)
{
    // Unsigned 8-bit arithmetic modulo 64: a blank (32) wraps round to 48.
    const unsigned base = (armoured >= 89 && armoured <= 215) ? 56u : 48u;
    return static_cast<std::uint8_t>((armoured - base) & 0x3Fu);
}

std::uint8_t NMEA::binaryToAscii(std::uint8_t value)
{
    return value < 32 ? static_cast<std::uint8_t>(value + 64) : value;
}

std::uint32_t NMEA::getUnsignedBits(const std::vector<bool>& bits, std::uint32_t first,
                                    std::uint32_t width)
{
    if (width > 32 || !fieldInside(bits, first, width)) return 0;
    return readBits(bits, first, width);
}

std::string NMEA::getAsciiBits(const std::vector<bool>& bits, std::uint32_t first,
                               std::uint32_t width)
{
    std::string text;
    if (!fieldInside(bits, first, width)) return text;
    text.reserve(width / 6 + 1);
    for (std::uint64_t offset = 0; offset < width; offset += 6) {
        // A partial last group reaches past the field; past the list's end it reads as 0.
        const std::uint64_t group = std::uint64_t{first} + offset;
        const std::uint32_t value = fieldInside(bits, group, 6) ? readBits(bits, group, 6) : 0;
        const auto character = static_cast<char>(binaryToAscii(static_cast<std::uint8_t>(value)));
        text.push_back(character == '@' ? ' ' : character);
    }
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    const auto firstKept = std::find_if_not(text.begin(), last, blank);
    return std::string(firstKept, last);
}
