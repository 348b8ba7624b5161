// SPDX-License-Identifier: BSD-2-Clause
#include "sim/Simulator.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "binary/StreamFramer.h"
#include "binary/UbxCommands.h"
#include "binary/UbxMessages.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using binary::Frame;
using binary::FrameKind;
using binary::UbxConfigValue;

constexpr std::uint32_t kRateMeas = 0x30210001;
constexpr std::uint32_t kBaud = 0x40520001;
constexpr std::uint32_t kUart1OutNmea = 0x10740002;
constexpr std::uint32_t kNavSatUart1 = 0x20910016;
constexpr std::uint32_t kNavSigUart1 = 0x20910346;
constexpr std::uint32_t kGgaUart1 = 0x209100bb;
constexpr std::uint8_t kCfg = 0x06;

struct Received {
    Frame frame;
    Clock::time_point at;
};

bool isUbx(const Frame& frame, std::uint8_t messageClass, std::uint8_t messageId)
{
    return frame.kind == FrameKind::Ubx && frame.ubxClass == messageClass && frame.ubxId == messageId;
}

bool isNavPvt(const Frame& frame) { return isUbx(frame, 0x01, 0x07); }

template <class Record>
std::optional<Record> decoded(const Frame& frame)
{
    const auto result = binary::decodeUbx(frame.ubxClass, frame.ubxId, frame.payload());
    if (!result.record || !std::holds_alternative<Record>(*result.record)) return std::nullopt;
    return std::get<Record>(*result.record);
}

speed_t speedOf(std::uint32_t rate)
{
    return rate == 115200 ? B115200 : rate == 9600 ? B9600 : B38400;
}

// The application's end of the line: the device opened raw at a chosen speed, its bytes cut
// into frames by the program's own framer.
class Link {
public:
    ~Link()
    {
        if (m_fd >= 0) ::close(m_fd);
    }

    bool open(const std::string& path, std::uint32_t rate)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        return m_fd >= 0 && setRate(rate);
    }

    bool setRate(std::uint32_t rate)
    {
        termios settings;
        if (::tcgetattr(m_fd, &settings) != 0) return false;
        ::cfmakeraw(&settings);
        settings.c_cflag |= CLOCAL | CREAD;
        ::cfsetispeed(&settings, speedOf(rate));
        ::cfsetospeed(&settings, speedOf(rate));
        return ::tcsetattr(m_fd, TCSANOW, &settings) == 0;
    }

    bool send(const std::vector<std::uint8_t>& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return !bytes.empty();
    }

    // Frames read for the given time, or until one satisfies stop (kept as the last).
    std::vector<Received> readFor(Clock::duration span, const std::function<bool(const Frame&)>& stop = {})
    {
        std::vector<Received> got;
        const auto end = Clock::now() + span;
        for (auto now = Clock::now(); now < end; now = Clock::now()) {
            pollfd entry{m_fd, POLLIN, 0};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count();
            if (::poll(&entry, 1, static_cast<int>(std::max<long long>(1, left))) <= 0) continue;
            std::uint8_t buffer[4096];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0) continue;
            const auto at = Clock::now();
            m_framer.feed({buffer, static_cast<std::size_t>(n)});
            Frame frame;
            while (m_framer.next(frame)) {
                got.push_back({frame, at});
                if (stop && stop(frame)) return got;
            }
        }
        return got;
    }

    // The acknowledgement of a command of the given id, or nothing within two seconds.
    std::optional<binary::UbxAck> ackFor(std::uint8_t messageId)
    {
        const auto frames = readFor(2s, [&](const Frame& frame) {
            return frame.ubxClass == 0x05 && frame.kind == FrameKind::Ubx && frame.payload().size() == 2
                   && frame.payload()[0] == kCfg && frame.payload()[1] == messageId;
        });
        if (frames.empty() || frames.back().frame.kind != FrameKind::Ubx || frames.back().frame.ubxClass != 0x05)
            return std::nullopt;
        return decoded<binary::UbxAck>(frames.back().frame);
    }

    std::optional<binary::UbxAck> set(std::vector<UbxConfigValue> values,
                                      std::uint8_t layers = binary::ubxlayers::kRam)
    {
        if (!send(binary::ubxValSet(layers, values))) return std::nullopt;
        return ackFor(0x8A);
    }

    // The values of the keys in a layer, with the receiver's ACK; nothing on a NAK or silence.
    std::optional<std::vector<UbxConfigValue>> get(binary::UbxLayer layer, std::vector<std::uint32_t> keys)
    {
        if (!send(binary::ubxValGet(layer, keys))) return std::nullopt;
        std::optional<std::vector<UbxConfigValue>> values;
        const auto frames = readFor(2s, [](const Frame& frame) { return frame.ubxClass == 0x05; });
        for (const Received& received : frames) {
            if (isUbx(received.frame, kCfg, 0x8B)) {
                const auto answer = binary::decodeUbxValGetResponse(received.frame.payload());
                if (answer) values = answer->values;
            }
        }
        const auto ack = frames.empty() ? std::nullopt : decoded<binary::UbxAck>(frames.back().frame);
        if (!ack || !ack->accepted) return std::nullopt;
        return values;
    }

private:
    int m_fd = -1;
    binary::StreamFramer m_framer;
};

std::size_t countNavPvt(const std::vector<Received>& frames)
{
    return static_cast<std::size_t>(std::count_if(frames.begin(), frames.end(),
                                                  [](const Received& r) { return isNavPvt(r.frame); }));
}

class SimulatorUbxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim::Options options;
        options.protocol = sim::Protocol::Ubx;
        options.rate = 38400;
        simulator = std::make_unique<sim::Simulator>(options);
        ASSERT_TRUE(simulator->start()) << simulator->error();
        ASSERT_TRUE(link.open(simulator->devicePath(), 38400));
    }

    std::unique_ptr<sim::Simulator> simulator;
    Link link;
};

TEST_F(SimulatorUbxTest, MonVerPollIsAnsweredWithTheReceiversIdentity)
{
    ASSERT_TRUE(link.send(binary::ubxPollMonVer()));
    const auto frames = link.readFor(2s, [](const Frame& frame) { return isUbx(frame, 0x0A, 0x04); });
    ASSERT_FALSE(frames.empty());
    const auto version = decoded<binary::UbxMonVer>(frames.back().frame);
    ASSERT_TRUE(version) << "no MON-VER answer";
    EXPECT_EQ(version->module(), "SIM-F9");
    EXPECT_EQ(version->protocolVersion(), "34.10");
}

TEST_F(SimulatorUbxTest, MeasurementRateSetByKeyChangesTheNavigationRate)
{
    // The factory rate: one solution a second, each a valid fix on the route.
    const auto before = link.readFor(2100ms);
    EXPECT_GE(countNavPvt(before), 2u);
    EXPECT_LE(countNavPvt(before), 3u);
    for (const Received& received : before) {
        if (!isNavPvt(received.frame)) continue;
        const auto pvt = decoded<binary::UbxNavPvt>(received.frame);
        ASSERT_TRUE(pvt);
        EXPECT_TRUE(pvt->gnssFixOk);
        EXPECT_TRUE(pvt->latitudeDeg && pvt->longitudeDeg);
        EXPECT_GT(pvt->satellitesUsed, 3);
    }

    const auto ack = link.set({{kRateMeas, 200}});
    ASSERT_TRUE(ack);
    EXPECT_TRUE(ack->accepted);
    link.readFor(1200ms);  // the old period ends, the new one begins

    const auto after = link.readFor(2s);
    std::vector<std::uint32_t> times;
    for (const Received& received : after)
        if (isNavPvt(received.frame))
            if (const auto pvt = decoded<binary::UbxNavPvt>(received.frame)) times.push_back(pvt->timeOfWeekMs);
    // 5 Hz for two seconds, with room for a loaded machine.
    EXPECT_GE(times.size(), 7u);
    EXPECT_LE(times.size(), 13u);
    for (std::size_t i = 1; i < times.size(); ++i)
        EXPECT_EQ(times[i] - times[i - 1], 200u) << "measurement " << i;

    const auto read = link.get(binary::UbxLayer::Ram, {kRateMeas});
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, (std::vector<UbxConfigValue>{{kRateMeas, 200}}));
}

TEST_F(SimulatorUbxTest, UnknownKeyIsRefusedAndTheWholeMessageWithIt)
{
    constexpr std::uint32_t unknown = 0x3021FFFF;  // a two-byte key no receiver has
    const auto ack = link.set({{kRateMeas, 200}, {unknown, 1}});
    ASSERT_TRUE(ack);
    EXPECT_FALSE(ack->accepted);
    EXPECT_EQ(ack->messageClass, kCfg);
    EXPECT_EQ(ack->messageId, 0x8A);

    EXPECT_EQ(link.get(binary::UbxLayer::Ram, {kRateMeas}),
              (std::vector<UbxConfigValue>{{kRateMeas, 1000}}));
    EXPECT_FALSE(link.get(binary::UbxLayer::Ram, {unknown})) << "an unknown key was read";
}

TEST_F(SimulatorUbxTest, SaveIsAcknowledgedAndKeepsTheSettingsInFlash)
{
    ASSERT_TRUE(link.set({{kRateMeas, 500}}).value_or(binary::UbxAck{}).accepted);
    EXPECT_EQ(link.get(binary::UbxLayer::Flash, {kRateMeas}), std::vector<UbxConfigValue>{})
        << "flash holds the setting before it was saved";

    ASSERT_TRUE(link.send(binary::ubxSaveConfig()));
    const auto ack = link.ackFor(0x09);
    ASSERT_TRUE(ack);
    EXPECT_TRUE(ack->accepted);
    EXPECT_EQ(link.get(binary::UbxLayer::Flash, {kRateMeas}),
              (std::vector<UbxConfigValue>{{kRateMeas, 500}}));
}

TEST_F(SimulatorUbxTest, SwitchedMessagesChangeWhatTheReceiverSends)
{
    const auto ack = link.set({{kNavSatUart1, 0}, {kNavSigUart1, 0}, {kUart1OutNmea, 1}, {kGgaUart1, 1}});
    ASSERT_TRUE(ack);
    ASSERT_TRUE(ack->accepted);
    link.readFor(1100ms);  // what was queued before the change

    int navPvt = 0, navSat = 0, navSig = 0, gga = 0, otherNmea = 0;
    for (const Received& received : link.readFor(2100ms)) {
        const Frame& frame = received.frame;
        navPvt += isNavPvt(frame);
        navSat += isUbx(frame, 0x01, 0x35);
        navSig += isUbx(frame, 0x01, 0x43);
        if (frame.kind == FrameKind::Nmea) {
            const std::string line(frame.bytes.begin(), frame.bytes.end());
            (line.compare(0, 6, "$GPGGA") == 0 ? gga : otherNmea) += 1;
        }
    }
    EXPECT_GE(navPvt, 2);
    EXPECT_EQ(navSat, 0);
    EXPECT_EQ(navSig, 0);
    EXPECT_GE(gga, 2);
    EXPECT_EQ(otherNmea, 0);
}

TEST_F(SimulatorUbxTest, BaudRateChangeIsAnsweredAtTheOldRateAndTakesEffectAfter)
{
    const auto ack = link.set({{kBaud, 115200}});
    ASSERT_TRUE(ack) << "no answer at the old rate";
    EXPECT_TRUE(ack->accepted);
    const auto end = Clock::now() + 2s;
    while (simulator->rate() != 115200 && Clock::now() < end) link.readFor(10ms);
    EXPECT_EQ(simulator->rate(), 115200u);
    EXPECT_EQ(countNavPvt(link.readFor(1200ms)), 0u) << "navigation understood at the old speed";

    ASSERT_TRUE(link.setRate(115200));
    EXPECT_GE(countNavPvt(link.readFor(2100ms)), 1u) << "nothing readable at the new speed";

    const auto back = link.set({{kBaud, 38400}});
    ASSERT_TRUE(back) << "no answer at 115200";
    EXPECT_TRUE(back->accepted);
    ASSERT_TRUE(link.setRate(38400));
    EXPECT_GE(countNavPvt(link.readFor(2100ms)), 1u) << "nothing readable back at 38400";
    EXPECT_EQ(simulator->rate(), 38400u);
}

TEST(SimulatorUbxOptions, ReplayAndRatesNoUbxReceiverHasAreRefused)
{
    sim::Options replay;
    replay.protocol = sim::Protocol::Ubx;
    replay.rate = 38400;
    replay.replayPath = "/dev/null";
    sim::Simulator replaying(replay);
    EXPECT_FALSE(replaying.start());
    EXPECT_FALSE(replaying.error().empty());

    sim::Options slow;
    slow.protocol = sim::Protocol::Ubx;
    slow.rate = 1200;
    sim::Simulator tooSlow(slow);
    EXPECT_FALSE(tooSlow.start());
}

}  // namespace
