// SPDX-License-Identifier: BSD-2-Clause
// Every recorded receiver log, replayed by the simulator into the real reader thread and
// handlers: what is shown must match an independent reading of the log.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/PositionFormatter.h"
#include "serial/PortDiscovery.h"
#include "nmea/SentenceTable.h"
#include "fakes/TestData.h"
#include "integration/GPSControllerHarness.h"

namespace {

namespace fs = std::filesystem;


struct Expected {
    std::size_t handled = 0;
    std::size_t unknown = 0;
    std::string latitude;   // formatter text of the last valid position, or empty
    std::string longitude;
};

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::vector<std::string> split(const std::string& text)
{
    std::vector<std::string> fields(1);
    for (char c : text) {
        if (c == ',')
            fields.emplace_back();
        else
            fields.back().push_back(c);
    }
    return fields;
}

// The log's $ and ! lines as a receiver sends them.
std::string wireBytes(const fs::path& log)
{
    std::ifstream in(log, std::ios::binary);
    std::string bytes, line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (!line.empty() && (line[0] == '$' || line[0] == '!')) bytes += line + "\r\n";
    }
    return bytes;
}

// Reads the log as it goes on the wire ($ and ! lines, CR LF) and as a 256-byte line
// reader frames it, then applies the acceptance rules of an NMEA reader: start character,
// checksum (a line without one is broken, as the connection has sent checksums before), no
// proprietary sentences; a sentence the decoders refuse is shown yellow.
Expected expectedFor(const fs::path& log, const Expected& before)
{
    const std::string stream = wireBytes(log);
    std::vector<std::string> delivered;
    std::string current;
    for (char c : stream) {
        current.push_back(c);
        if (c == '\n') {
            delivered.push_back(current);
            current.clear();
        } else if (current.size() >= 256) {
            current.clear();  // too long: those bytes are lost
        }
    }

    Expected expected;
    // A log without a valid position leaves the read-outs as they were.
    expected.latitude = before.latitude;
    expected.longitude = before.longitude;
    PositionFormatter latitudeFormat(0, 1), longitudeFormat(1, 1);
    latitudeFormat.setAlign(true);
    longitudeFormat.setAlign(true);
    for (std::string buffer : delivered) {
        buffer.push_back('\0');
        if (buffer[0] != '$' && buffer[0] != '!') continue;
        const std::string text = buffer.substr(0, buffer.find('\0'));
        const auto star = text.find('*');
        if (star == std::string::npos) {
            ++expected.unknown;  // shown as a broken line
            continue;
        } else {
            int sent = 0;
            const int high = star + 1 < text.size() ? hexDigit(text[star + 1]) : -1;
            if (high >= 0) {
                const int low = star + 2 < text.size() ? hexDigit(text[star + 2]) : -1;
                sent = low >= 0 ? high * 16 + low : high;
            }
            int sum = 0;
            for (std::size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(text[i]);
            buffer[star] = '\0';
            if (sum != sent) continue;
        }
        if (buffer.size() < 6 || buffer[1] == 'P') continue;
        const std::string type = buffer.substr(3, 3);
        const auto fieldsOfLine = SentenceFields::split(buffer);
        if (!fieldsOfLine || !sentenceKind(fieldsOfLine->type()) || !decodeSentence(*fieldsOfLine).record) {
            if (buffer[0] == '$') ++expected.unknown;
            continue;
        }
        ++expected.handled;

        const auto fields = split(buffer.substr(0, buffer.find('\0')));
        auto field = [&](std::size_t n) -> std::optional<std::string> {
            if (n < fields.size()) return fields[n];
            return std::nullopt;
        };
        std::size_t lat = 0, status = 0, mode = 0;
        if (type == "GGA") lat = 2, status = 6;
        else if (type == "RMC") lat = 3, status = 2, mode = 12;
        else if (type == "GLL") lat = 1, status = 6, mode = 7;
        else if (type == "GNS") lat = 2, mode = 6;
        else continue;
        int fix = 1;
        if (const auto statusText = field(status); status != 0 && statusText && !statusText->empty()) {
            if (type == "GGA") fix = std::atoi(statusText->c_str());
            else fix = (*statusText)[0] == 'A';
        }
        // Mode indicator N: no fix (for GNS one letter per system, all N).
        if (const auto modeText = field(mode); mode != 0 && modeText) {
            if (type == "GNS") {
                if (modeText->find_first_not_of('N') == std::string::npos) fix = 0;
            } else if (*modeText == "N") {
                fix = 0;
            }
        }
        const auto latText = field(lat), lonText = field(lat + 2);
        if (!latText || latText->empty() || !lonText || lonText->empty() || fix <= 0) continue;
        const float latitude = NMEA::position(latText, field(lat + 1));
        const float longitude = NMEA::position(lonText, field(lat + 3));
        if (!(longitude > -180.0f && longitude < 180.0f && latitude > -90.0f && latitude < 90.0f))
            continue;
        expected.latitude = latitudeFormat.format(latitude).value_or("");
        expected.longitude = longitudeFormat.format(longitude).value_or("");
    }
    return expected;
}

class GPSControllerReplayTest : public harness::ControllerTest {};

// The logs go through the simulator's terminal one after another on one connection. They
// are injected once the connect sequence is over: the simulator's own replay starts before
// the port is opened, and opening the port drops whatever waited in the terminal, so exact
// counts could not be expected from it.
TEST_F(GPSControllerReplayTest, EveryRecordedLogIsShownAsAnIndependentReadingExpects)
{
    REQUIRE_TESTDATA(root);
    std::vector<fs::path> logs;
    for (const auto& entry : fs::directory_iterator(root / "nmea"))
        if (entry.path().extension() == ".log") logs.push_back(entry.path());
    std::sort(logs.begin(), logs.end());
    ASSERT_FALSE(logs.empty());

    const fs::path folder = fs::path(::testing::TempDir()) /
                            ("gpsdesk-replay-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path idle = folder / "idle.log";
    std::ofstream(idle) << controllertest::onTheWire("$PGDSK,IDLE");
    sim::Options options;
    options.replayPath = idle.string();
    options.unpaced = true;
    if (!startSimulator(options)) return;
    const std::string port = simulator->devicePath();
    PortDiscovery::addExtraPort(port);
    restore(port, "4800");
    wake();
    ASSERT_TRUE(until([&] { return openLineShown(port, "4800"); }, 6.0));
    simulator->injectBytes("$Version replay\r\n");  // ends the wait for the banner
    ASSERT_TRUE(until([&] { return simulator->received().size() >= 6 * 25; }, 6.0));
    // The lines read while the banner was awaited are shown too (the banner, having no
    // checksum, as a broken line); they must be on screen before the counting starts.
    ASSERT_TRUE(until([&] {
        return std::any_of(monitorView.lines.begin(), monitorView.lines.end(),
                           [](const auto& line) { return line.text.find("$Version") != std::string::npos; });
    }, 6.0));

    Expected expected;
    std::size_t handledInAll = 0, unknownInAll = 0;
    for (const fs::path& log : logs) {
        SCOPED_TRACE(log.filename().string());
        expected = expectedFor(log, expected);
        monitorView.clear();
        simulator->injectBytes(wireBytes(log));
        auto complete = [&] {
            return monitorView.green >= expected.handled && monitorView.yellow >= expected.unknown;
        };
        EXPECT_TRUE(until(complete, 30.0));
        until([] { return false; }, 0.2);  // nothing more may follow
        EXPECT_EQ(monitorView.green, expected.handled);
        EXPECT_EQ(monitorView.yellow, expected.unknown);
        EXPECT_EQ(window->latitude.stringValue(), expected.latitude);
        EXPECT_EQ(window->longitude.stringValue(), expected.longitude);
        handledInAll += monitorView.green;
        unknownInAll += monitorView.yellow;
        if (HasFailure()) break;
    }
    std::printf("replayed %zu logs: %zu handled, %zu unknown sentences\n", logs.size(),
                handledInAll, unknownInAll);
    EXPECT_GT(handledInAll, 1000u);
    simulator->unplug();
    fs::remove_all(folder);
}

}  // namespace
