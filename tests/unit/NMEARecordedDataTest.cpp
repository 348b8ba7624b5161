// SPDX-License-Identifier: BSD-2-Clause
// The codec against recorded receiver logs and their reference decodes, read in place from
// ../shared/testdata. The expectations are computed here independently of the codec (plain
// XOR and hex reading, the reference tables' own figures).

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "fakes/TestData.h"
#include "nmea/NMEA.h"

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

// Lines as the reader thread gets them: up to and including each line feed.
std::vector<std::string> linesOf(const std::string& contents)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < contents.size()) {
        const std::size_t feed = contents.find('\n', start);
        const std::size_t end = feed == std::string::npos ? contents.size() : feed + 1;
        lines.push_back(contents.substr(start, end - start));
        start = end;
    }
    return lines;
}

std::vector<std::string> splitAt(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

ByteBuffer sentenceBuffer(const std::string& line)
{
    ByteBuffer buffer(line.begin(), line.end());
    buffer.push_back(0);
    return buffer;
}

// What a receiver's checksum means: XOR of everything between the start character and the
// "*" equals the two hexadecimal digits after it. A line without "*" carries no checksum
// and passes when it arrived whole with its carriage return.
bool independentlyValid(const std::string& line)
{
    const std::string text = line.substr(0, line.find('\0'));
    const std::size_t star = text.find('*');
    if (star == std::string::npos) return text.find('\r') != std::string::npos;
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(text[i]);
    const std::string digits = text.substr(star + 1, 2);
    if (digits.size() != 2 || !std::isxdigit(static_cast<unsigned char>(digits[0])) ||
        !std::isxdigit(static_cast<unsigned char>(digits[1]))) {
        return false;
    }
    return std::stoul(digits, nullptr, 16) == sum;
}

// Lines the log table of the testdata README lists as odd in full (checksum mismatch,
// collision, truncation); every other listed log has none.
const std::map<std::string, std::set<int>> kOddLines = {
    {"com-1289.log", {35}},   {"et-332.log", {105}}, {"garmin48.log", {84}},
    {"holux-gm-210.log", {50}}, {"isync.log", {54}},  {"triton400.log", {19}},
};
// Logs whose odd lines the README lists only in part.
const std::set<std::string> kManyOddLines = {"firefly-II.log", "gp-320fw-2019-04-07-coldboot.log",
                                             "hp58534a.log"};

}  // namespace

TEST(NMEARecordedData, ChecksumAgreesWithAnIndependentCheckOnEveryLoggedSentence)
{
    REQUIRE_TESTDATA(root);
    int sentences = 0;
    int rejected = 0;
    for (const auto& entry : fs::directory_iterator(root / "nmea")) {
        if (entry.path().extension() != ".log") continue;
        const std::string log = entry.path().filename().string();
        const auto lines = linesOf(readFile(entry.path()));
        std::set<int> rejectedLines;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string& line = lines[i];
            if (line.empty() || (line[0] != '$' && line[0] != '!')) continue;
            SCOPED_TRACE(log + ":" + std::to_string(i + 1));
            ++sentences;
            ByteBuffer buffer = sentenceBuffer(line);
            const bool accepted = NMEA::checkSumValid(buffer);
            EXPECT_EQ(accepted, independentlyValid(line));
            if (!accepted) {
                rejectedLines.insert(static_cast<int>(i + 1));
                continue;
            }
            const auto last = NMEA::parse(buffer, NMEA::count(buffer) - 1);
            ASSERT_TRUE(last.has_value());
            EXPECT_EQ(last->find_first_of("*\r\n"), std::string::npos) << *last;
        }
        rejected += static_cast<int>(rejectedLines.size());
        if (kManyOddLines.count(log)) continue;
        const auto odd = kOddLines.find(log);
        EXPECT_EQ(rejectedLines, odd == kOddLines.end() ? std::set<int>{} : odd->second) << log;
    }
    EXPECT_GT(sentences, 3000);
    EXPECT_GT(rejected, 50);
}

TEST(NMEARecordedData, PositionsAgreeWithTheReferenceDegrees)
{
    REQUIRE_TESTDATA(root);
    std::ifstream csv(root / "nmea-reference.csv");
    std::string row;
    std::getline(csv, row);
    const auto header = splitAt(row, ',');
    std::map<std::string, std::size_t> column;
    for (std::size_t i = 0; i < header.size(); ++i) column[header[i]] = i;

    // Field numbers of latitude, its hemisphere, longitude, its hemisphere.
    const std::map<std::string, std::uint32_t> latitudeField = {{"GGA", 2}, {"RMC", 3}, {"GLL", 1}};
    std::map<std::string, std::vector<std::string>> logs;
    int checked = 0;
    while (std::getline(csv, row)) {
        const auto cells = splitAt(row, ',');
        const std::string& log = cells.at(column.at("log"));
        const std::string& type = cells.at(column.at("type"));
        if (!latitudeField.count(type)) continue;
        const int lineNumber = std::stoi(cells.at(column.at("line")));
        SCOPED_TRACE(log + ":" + std::to_string(lineNumber));

        if (!logs.count(log)) logs[log] = linesOf(readFile(root / "nmea" / log));
        ByteBuffer buffer = sentenceBuffer(logs[log].at(static_cast<std::size_t>(lineNumber - 1)));
        NMEA::checkSumValid(buffer);  // cuts the checksum off; a few reference lines fail it
        EXPECT_EQ(NMEA::command(buffer), type);
        EXPECT_EQ(NMEA::talker(buffer), cells.at(column.at("talker")));

        const std::uint32_t field = latitudeField.at(type);
        const auto lat = NMEA::parse(buffer, field), latHemisphere = NMEA::parse(buffer, field + 1);
        const auto lon = NMEA::parse(buffer, field + 2), lonHemisphere = NMEA::parse(buffer, field + 3);
        ASSERT_TRUE(lat && latHemisphere && lon && lonHemisphere);
        EXPECT_EQ(*lat + *latHemisphere, cells.at(column.at("raw_lat")));
        EXPECT_EQ(*lon + *lonHemisphere, cells.at(column.at("raw_lon")));

        EXPECT_NEAR(NMEA::position(lat, latHemisphere), std::stod(cells.at(column.at("calc_lat"))), 2e-5);
        EXPECT_NEAR(NMEA::position(lon, lonHemisphere), std::stod(cells.at(column.at("calc_lon"))), 2e-5);
        ++checked;
    }
    EXPECT_GT(checked, 100);
}

namespace {

// The payload as a bit list: six bits per armoured character, fill bits dropped.
std::vector<bool> payloadBits(const std::string& payload, std::size_t bitCount)
{
    std::vector<bool> bits;
    for (char c : payload) {
        const std::uint8_t value = NMEA::sixBitToBinary(static_cast<std::uint8_t>(c));
        for (int bit = 5; bit >= 0; --bit) bits.push_back(((value >> bit) & 1) != 0);
    }
    bits.resize(bitCount);
    return bits;
}

// The reference decoder ends a text at its first "@" (fill) character, where the codec
// shows a blank and reads on; so only the groups before the first fill are read here.
std::string referenceText(const std::vector<bool>& bits, std::uint32_t first, std::uint32_t width)
{
    std::uint32_t groups = 0;
    while (groups * 6 < width && NMEA::getUnsignedBits(bits, first + groups * 6, 6) != 0) ++groups;
    return NMEA::getAsciiBits(bits, first, std::min(width, groups * 6));
}

// A six-bit text field of an AIS message, by the message layouts of ITU-R M.1371 (and, for
// type 6, the IMO SN.1/Circ.289 application messages of the samples).
std::optional<std::string> aisText(const std::vector<bool>& bits, std::uint32_t type, const std::string& key)
{
    const auto size = static_cast<std::uint32_t>(bits.size());
    const auto text = [&](std::uint32_t first, std::uint32_t width) { return referenceText(bits, first, width); };
    const auto rest = [&](std::uint32_t first) { return size > first ? text(first, size - first) : std::string(); };
    switch (type) {
    case 5:
        if (key == "callsign") return text(70, 42);
        if (key == "shipname") return text(112, 120);
        if (key == "destination") return text(302, 120);
        break;
    case 6: {
        const auto dac = NMEA::getUnsignedBits(bits, 72, 10), fid = NMEA::getUnsignedBits(bits, 82, 6);
        if (dac == 1 && fid == 18 && key == "destination") return text(238, 30);
        if (dac == 1 && fid == 30 && key == "text") return rest(98);
        break;
    }
    case 12:
        if (key == "text") return rest(72);
        break;
    case 14:
        if (key == "text") return rest(40);
        break;
    case 19:
        if (key == "shipname") return text(143, 120);
        break;
    case 21:
        if (key == "name" && size >= 163) {
            // A name of more than 20 characters goes on in the extension field behind the
            // fixed part: read the two fields as one text.
            std::vector<bool> name(bits.begin() + 43, bits.begin() + 163);
            if (size > 272) name.insert(name.end(), bits.begin() + 272, bits.end());
            return referenceText(name, 0, static_cast<std::uint32_t>(name.size()));
        }
        break;
    case 24: {
        const auto part = NMEA::getUnsignedBits(bits, 38, 2);
        if (part == 0 && key == "shipname") return text(40, 120);
        if (part == 1 && key == "vendorid") return text(48, 42);
        if (part == 1 && key == "callsign") return text(90, 42);
        break;
    }
    default:
        break;
    }
    return std::nullopt;
}

}  // namespace

TEST(NMEARecordedData, SixBitPayloadsGiveTheReferenceFields)
{
    REQUIRE_TESTDATA(root);
    std::ifstream tsv(root / "ais" / "ais-flat-reference.tsv");
    std::string row;
    std::getline(tsv, row);
    int messages = 0, texts = 0;
    while (std::getline(tsv, row)) {
        const auto cells = splitAt(row, '\t');
        ASSERT_EQ(cells.size(), 10u) << row;
        SCOPED_TRACE(cells[0] + ":" + cells[1]);
        if (cells[6].empty()) continue;  // the reference decoder gave nothing for these

        const std::string& payload = cells[4];
        const std::size_t bitCount = std::stoul(cells[5]);
        ASSERT_EQ(bitCount, payload.size() * 6 - std::stoul(cells[3]));
        const auto bits = payloadBits(payload, bitCount);

        const auto type = static_cast<std::uint32_t>(std::stoul(cells[6]));
        EXPECT_EQ(NMEA::getUnsignedBits(bits, 0, 6), type);
        EXPECT_EQ(NMEA::getUnsignedBits(bits, 6, 2), std::stoul(cells[7]));
        EXPECT_EQ(NMEA::getUnsignedBits(bits, 8, 30), std::stoul(cells[8]));
        ++messages;

        if (cells[9].empty()) continue;
        const auto fields = nlohmann::json::parse(cells[9]);
        for (const auto& [key, value] : fields.items()) {
            SCOPED_TRACE(key);
            const auto decoded = aisText(bits, type, key);
            ASSERT_TRUE(decoded.has_value()) << "no layout for this field";
            EXPECT_EQ(*decoded, value.get<std::string>());
            ++texts;
        }
    }
    EXPECT_GT(messages, 400);
    EXPECT_GT(texts, 150);
}
