// SPDX-License-Identifier: BSD-2-Clause
#include "tools/sim/Simulator.h"

#include "core/Numbers.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>

#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr std::size_t kMaxNmeaInput = 200;
constexpr std::size_t kMaxBinaryPayload = 1023;
constexpr std::size_t kReplayLowWater = 512;
constexpr std::size_t kUnpacedBacklog = 16384;
constexpr std::size_t kMaxReceivedKept = 1u << 20;
constexpr std::size_t kOverlongLength = 300;
// Every request wakes the thread through its pipe; this only bounds a wait.
constexpr auto kMaxWait = std::chrono::milliseconds(1000);
// A line that starts up to this late still counts from its deadline (no drift); later than
// that the line was idle and the pace starts afresh (no burst to catch up).
constexpr auto kPaceSlack = std::chrono::milliseconds(20);
// How long after a rate switch input at the old rate is still understood.
constexpr auto kSwitchGrace = std::chrono::milliseconds(200);
// A paced replay whose due lines fill this much waits for the reader before it reads on.
constexpr auto kReplayBacklogRetry = std::chrono::milliseconds(5);
// A held replay starts once the application's set-up commands have been quiet this long.
constexpr auto kReplayQuietAfterSetUp = std::chrono::milliseconds(500);

double usableSpeed(double speed)
{
    return speed > 0.0 && speed < kMinReplaySpeed ? kMinReplaySpeed : speed;
}

bool isValidRate(long rate)
{
    switch (rate) {
    case 1200: case 2400: case 4800: case 9600: case 19200: case 38400: case 57600:
    case 115200:
        return true;
    default:
        return false;
    }
}

std::optional<long> integer(const std::string& text)
{
    if (text.size() > 9) return std::nullopt;
    return digitsValue<long>(text);
}

std::vector<std::string> split(const std::string& text)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        fields.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return fields;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The body of a "$...*hh" line when the checksum holds.
std::optional<std::string> verifiedBody(const std::string& line)
{
    const std::size_t star = line.rfind('*');
    if (star == std::string::npos || star + 3 != line.size()) return std::nullopt;
    const int high = hexValue(line[star + 1]);
    const int low = hexValue(line[star + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    if (checksumOf(std::string_view(line).substr(0, star)) != high * 16 + low) return std::nullopt;
    return line.substr(0, star);
}

speed_t speedOf(std::uint32_t rate)
{
    return rate == 1200 ? B1200 : rate == 2400 ? B2400 : rate == 9600 ? B9600
         : rate == 19200 ? B19200 : rate == 38400 ? B38400
         : rate == 57600 ? B57600 : rate == 115200 ? B115200 : rate == 230400 ? B230400
         : rate == 460800 ? B460800 : rate == 921600 ? B921600 : B4800;
}

bool makeRaw(int fd, std::uint32_t rate)
{
    termios settings;
    if (::tcgetattr(fd, &settings) != 0) return false;
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    const speed_t speed = speedOf(rate);
    ::cfsetispeed(&settings, speed);
    ::cfsetospeed(&settings, speed);
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

void closeIfOpen(int& fd)
{
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

Simulator::Simulator(Options options)
    : m_options(std::move(options)),
      m_scenario(m_options.seed, m_options.noFixSpells),
      m_random(mix(m_options.seed ^ 0xFA17u)),
      m_rate(m_options.rate),
      m_replaySpeed(usableSpeed(m_options.replaySpeed))
{
    if (!(m_options.speedup > 0.0)) m_options.speedup = 1.0;
}

Simulator::~Simulator()
{
    stop();
}

bool Simulator::start()
{
    const auto fail = [this](const std::string& what) {
        const std::string reason = what + ": " + std::strerror(errno);
        closeIfOpen(m_master);
        closeIfOpen(m_slave);
        closeIfOpen(m_wakeRead);
        closeIfOpen(m_wakeWrite);
        closeIfOpen(m_record);
        std::lock_guard lock(m_mutex);
        m_error = reason;
        return false;
    };
    if (m_thread.joinable() || m_master >= 0) {
        std::lock_guard lock(m_mutex);
        m_error = "already started";
        return false;
    }
    const bool ubx = m_options.protocol == Protocol::Ubx;
    if (ubx ? !UbxReceiver::validBaud(m_options.rate) : !isValidRate(m_options.rate)) {
        errno = EINVAL;
        return fail("rate " + std::to_string(m_options.rate));
    }
    if (ubx && !m_options.replayPath.empty()) {
        std::lock_guard lock(m_mutex);
        m_error = "a log is replayed as it was recorded, not in UBX mode";
        return false;
    }
    if (ubx) m_ubx = std::make_unique<UbxReceiver>(m_options.rate);

    if (!m_options.replayPath.empty()) {
        if (!m_replay.open(m_options.replayPath, m_options.replayTimesPath)) {
            std::lock_guard lock(m_mutex);
            m_error = m_replay.error();
            return false;
        }
        m_replaying = true;
        m_replayHeld = m_options.replayWhenSpokenTo;
    }

    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) return fail("posix_openpt");
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) return fail("unlockpt");
    char name[128];
    if (::ptsname_r(m_master, name, sizeof name) != 0) return fail("ptsname");
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) return fail(std::string("open ") + name);
    // Raw on both sides before any byte moves: no echo of the application's commands, no
    // CR/NL translation of the output.
    if (!makeRaw(m_slave, m_options.rate) || !makeRaw(m_master, m_options.rate))
        return fail("tcsetattr");
    if (::fcntl(m_master, F_SETFL, O_NONBLOCK) != 0) return fail("fcntl");

    int wake[2];
    if (::pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) return fail("pipe");
    m_wakeRead = wake[0];
    m_wakeWrite = wake[1];

    if (!m_options.recordPath.empty()) {
        // Never through a link planted at the name, never into a FIFO or a device.
        m_record = ::open(m_options.recordPath.c_str(),
                          O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
        if (m_record < 0) return fail("open " + m_options.recordPath);
        struct stat info;
        if (::fstat(m_record, &info) != 0 || !S_ISREG(info.st_mode)) {
            errno = EINVAL;
            return fail(m_options.recordPath + " is not a plain file; open");
        }
        if (::ftruncate(m_record, 0) != 0 || ::fcntl(m_record, F_SETFL, 0) != 0)
            return fail("open " + m_options.recordPath);
    }
    if (!m_options.linkPath.empty()) {
        struct stat info;
        // Replace a stale link, never a file.
        if (::lstat(m_options.linkPath.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
            ::unlink(m_options.linkPath.c_str());
        if (::symlink(name, m_options.linkPath.c_str()) != 0)
            return fail("symlink " + m_options.linkPath);
    }

    {
        std::lock_guard lock(m_mutex);
        m_devicePath = name;
        m_error.clear();
    }
    m_started = Clock::now();
    m_paceStart = m_started;
    m_nextMeasurement = m_started;
    m_thread = std::thread(&Simulator::run, this);
    return true;
}

void Simulator::stop()
{
    m_stopping.store(true);
    wake();
    if (m_thread.joinable()) m_thread.join();
    closeTerminal();
    closeIfOpen(m_wakeRead);
    closeIfOpen(m_wakeWrite);
    closeIfOpen(m_record);
}

void Simulator::closeTerminal()
{
    // Closing the master hangs up every open slave descriptor: to the application this is
    // an unplugged adapter.
    const bool wasOpen = m_master >= 0;
    closeIfOpen(m_master);
    closeIfOpen(m_slave);
    if (wasOpen && !m_options.linkPath.empty()) ::unlink(m_options.linkPath.c_str());
    if (wasOpen) {
        std::lock_guard lock(m_mutex);
        m_unplugged = true;
    }
}

bool Simulator::lineSpeedMatches(std::uint32_t rate) const
{
    if (!m_options.garbleAtWrongSpeed || m_slave < 0) return true;
    // Both ends of a pseudo-terminal share the settings the application made on its side.
    termios settings;
    if (::tcgetattr(m_slave, &settings) != 0) return true;
    return ::cfgetospeed(&settings) == speedOf(rate);
}

std::string Simulator::garble(const void* bytes, std::size_t count)
{
    // What a UART sampling at the wrong speed delivers: the same amount of noise, in which
    // a sentence with a valid checksum is as good as impossible.
    std::string noise(static_cast<const char*>(bytes), count);
    for (char& byte : noise) byte = static_cast<char>(mix(m_random++) & 0xFF);
    return noise;
}

void Simulator::wake()
{
    if (m_wakeWrite < 0) return;
    const char byte = 1;
    (void)!::write(m_wakeWrite, &byte, 1);
}

double Simulator::chance()
{
    return unit(m_random++);
}

// ---- public queries and requests -----------------------------------------------------

std::string Simulator::devicePath() const
{
    std::lock_guard lock(m_mutex);
    return m_devicePath;
}

std::string Simulator::error() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

void Simulator::unplug()
{
    m_unplugRequested.store(true);
    wake();
}

bool Simulator::unplugged() const
{
    std::lock_guard lock(m_mutex);
    return m_unplugged;
}

void Simulator::silence(double seconds)
{
    requestUnderLock([&] {
        m_silentUntil = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(seconds));
    });
}

void Simulator::injectBytes(const std::string& bytes)
{
    requestUnderLock([&] { m_injected += bytes; });
}

void Simulator::setReplayPaused(bool paused)
{
    m_replayPaused.store(paused);
    wake();
}

void Simulator::setReplaySpeed(double speed)
{
    requestUnderLock([&] { m_replaySpeed = usableSpeed(speed); });
}

double Simulator::replaySpeed() const
{
    std::lock_guard lock(m_mutex);
    return m_replaySpeed;
}

void Simulator::seekReplay(double fraction)
{
    requestUnderLock([&] { m_seekTo = std::clamp(fraction, 0.0, 1.0); });
}

std::uint32_t Simulator::rate() const
{
    std::lock_guard lock(m_mutex);
    return m_rate;
}

bool Simulator::binaryMode() const
{
    std::lock_guard lock(m_mutex);
    return m_binary;
}

int Simulator::periodSeconds(Sentence sentence) const
{
    std::lock_guard lock(m_mutex);
    return m_periods[static_cast<std::size_t>(sentence)];
}

int Simulator::dgpsSource() const
{
    std::lock_guard lock(m_mutex);
    return m_dgpsSource;
}

bool Simulator::debugOn() const
{
    std::lock_guard lock(m_mutex);
    return m_debug;
}

std::uint64_t Simulator::bannersSent() const
{
    std::lock_guard lock(m_mutex);
    return m_banners;
}

std::uint64_t Simulator::bytesSent() const
{
    std::lock_guard lock(m_mutex);
    return m_bytesSent;
}

std::vector<std::string> Simulator::commandsAccepted() const
{
    std::lock_guard lock(m_mutex);
    return m_commands;
}

std::vector<std::uint8_t> Simulator::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

bool Simulator::waitForReceived(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_receivedChanged.wait_for(lock, timeout, [&] { return m_received.size() >= count; });
}

// ---- input from the application ------------------------------------------------------

void Simulator::receive(const std::uint8_t* bytes, std::size_t count)
{
    m_lastInput = Clock::now();
    if (m_record >= 0) {
        std::size_t done = 0;
        while (done < count) {
            const ssize_t n = ::write(m_record, bytes + done, count - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
    }
    {
        std::lock_guard lock(m_mutex);
        const std::size_t room = kMaxReceivedKept - std::min(kMaxReceivedKept, m_received.size());
        m_received.insert(m_received.end(), bytes, bytes + std::min(room, count));
    }
    m_receivedChanged.notify_all();
    if (m_ubx) {
        receiveUbx(bytes, count);
        return;
    }
    // The protocol can change in the middle of a chunk ($PSRF100,0 followed by a frame).
    for (std::size_t i = 0; i < count; ++i) {
        if (m_binary)
            receiveBinaryByte(bytes[i]);
        else
            receiveNmeaByte(bytes[i]);
    }
}

void Simulator::receiveNmeaByte(std::uint8_t byte)
{
    if (byte == '$') {
        m_nmeaInput.assign(1, '$');
        m_nmeaInputActive = true;
        return;
    }
    if (!m_nmeaInputActive) return;
    if (byte == '\r' || byte == '\n') {
        m_nmeaInputActive = false;
        handleNmea(m_nmeaInput);
        return;
    }
    m_nmeaInput.push_back(static_cast<char>(byte));
    if (m_nmeaInput.size() > kMaxNmeaInput) m_nmeaInputActive = false;
}

void Simulator::receiveBinaryByte(std::uint8_t byte)
{
    auto& frame = m_binaryInput;
    if (frame.empty()) {
        if (byte == 0xA0) frame.push_back(byte);
        return;
    }
    if (frame.size() == 1) {
        if (byte == 0xA2)
            frame.push_back(byte);
        else if (byte != 0xA0)
            frame.clear();
        return;
    }
    frame.push_back(byte);
    if (frame.size() < 4) return;
    const std::size_t length = (std::size_t{frame[2]} << 8) | frame[3];
    if (length == 0 || length > kMaxBinaryPayload) {
        frame.clear();
        return;
    }
    if (frame.size() < 4 + length + 4) return;
    std::uint32_t sum = 0;
    for (std::size_t i = 4; i < 4 + length; ++i) sum += frame[i];
    const std::uint32_t checksum = (std::uint32_t{frame[4 + length]} << 8) | frame[5 + length];
    const bool valid = (sum & 0x7FFF) == checksum && frame[6 + length] == 0xB0
                       && frame[7 + length] == 0xB3;
    std::vector<std::uint8_t> payload(frame.begin() + 4, frame.begin() + 4 + static_cast<long>(length));
    frame.clear();
    if (valid) handleBinary(payload);
}

void Simulator::handleNmea(const std::string& line)
{
    const auto body = verifiedBody(line);
    if (!body) return;
    const auto fields = split(*body);
    const std::string& id = fields[0];

    if (id == "$PSRF100" && fields.size() == 6) {
        const auto protocol = integer(fields[1]);
        const auto rate = integer(fields[2]);
        if (!protocol || *protocol > 1 || !rate || !isValidRate(*rate) || fields[3] != "8"
            || fields[4] != "1" || fields[5] != "0")
            return;
        // The receiver resets its port: what is not on the wire yet is lost.
        cutOutput();
        m_pacedBytes = 0;
        m_paceStart = Clock::now();
        {
            std::lock_guard lock(m_mutex);
            m_rate = static_cast<std::uint32_t>(*rate);
            m_binary = *protocol == 0;
            m_commands.push_back(*body);
            if (!m_binary) ++m_banners;
        }
        m_binaryInput.clear();
        if (*protocol == 1) m_pending += m_options.banner + "\r\n";
        return;
    }
    if (id == "$PSRF103" && fields.size() == 5) {
        const auto message = integer(fields[1]);
        const auto mode = integer(fields[2]);
        const auto period = integer(fields[3]);
        if (!message || !mode || !period || *mode > 1 || *period > 255) return;
        std::lock_guard lock(m_mutex);
        m_commands.push_back(*body);
        if (*message >= kSentenceCount) return;  // MSS and the like: accepted, not produced
        if (*mode == 0)
            m_periods[static_cast<std::size_t>(*message)] = static_cast<int>(*period);
        else
            m_queryOnce[static_cast<std::size_t>(*message)] = true;
        return;
    }
    if (id == "$PSRF101" && fields.size() == 9) {
        const auto channels = integer(fields[7]);
        const auto configuration = integer(fields[8]);
        if (!channels || !configuration) return;
        m_scenario.restart(static_cast<int>(*configuration));
        std::lock_guard lock(m_mutex);
        m_commands.push_back(*body);
        return;
    }
    if (id == "$PSRF105" && fields.size() == 2 && (fields[1] == "0" || fields[1] == "1")) {
        std::lock_guard lock(m_mutex);
        m_debug = fields[1] == "1";
        m_commands.push_back(*body);
    }
}

void Simulator::handleBinary(const std::vector<std::uint8_t>& payload)
{
    const std::uint8_t id = payload[0];
    if (id == 133 && payload.size() == 7) {
        std::lock_guard lock(m_mutex);
        m_dgpsSource = payload[1];
        m_commands.push_back("binary 133");
        return;
    }
    if (id == 129 && payload.size() == 24) {
        const long rate = (long{payload[22]} << 8) | payload[23];
        if (!isValidRate(rate)) return;
        m_pacedBytes = 0;
        m_paceStart = Clock::now();
        std::lock_guard lock(m_mutex);
        for (std::size_t i = 0; i < static_cast<std::size_t>(kSentenceCount); ++i)
            m_periods[i] = payload[2 + 2 * i];
        m_rate = static_cast<std::uint32_t>(rate);
        m_binary = false;
        m_commands.push_back("binary 129");
    }
}

void Simulator::receiveUbx(const std::uint8_t* bytes, std::size_t count)
{
    const auto answers = m_ubx->receive({bytes, count});
    m_pending.append(answers.begin(), answers.end());
    std::uint32_t rate;
    {
        std::lock_guard lock(m_mutex);
        rate = m_rate;
    }
    const std::uint32_t baud = m_ubx->baudRate();
    if (baud == m_rateAfterAnswer.value_or(rate)) return;
    // The application reads the answer at the rate it asked at, and only then follows.
    m_rateAfterAnswer = baud;
    m_bytesBeforeSwitch = m_pending.size();
}

void Simulator::switchRateIfAnswered(Clock::time_point now)
{
    if (!m_rateAfterAnswer || m_bytesBeforeSwitch > 0) return;
    m_pacedBytes = 0;
    m_paceStart = now;
    std::lock_guard lock(m_mutex);
    m_rate = *m_rateAfterAnswer;
    m_rateAfterAnswer.reset();
}

// ---- output --------------------------------------------------------------------------

void Simulator::cutOutput()
{
    if (!m_midLine) {
        m_pending.clear();
        return;
    }
    const std::size_t end = m_pending.find('\n');
    if (end != std::string::npos) m_pending.resize(end + 1);
}

void Simulator::queueLine(std::string line)
{
    const Faults& f = m_options.faults;
    if (f.badChecksumShare > 0.0 && chance() < f.badChecksumShare) {
        const std::size_t star = line.rfind('*');
        if (star != std::string::npos && star + 3 <= line.size()) {
            static const char digits[] = "0123456789ABCDEF";
            const int wrong = (hexValue(line[star + 1]) * 16 + hexValue(line[star + 2])) ^ 0x5A;
            line[star + 1] = digits[(wrong >> 4) & 0xF];
            line[star + 2] = digits[wrong & 0xF];
        }
    }
    if (f.cutShare > 0.0 && chance() < f.cutShare && line.size() > 8) {
        const std::size_t middle = line.size() / 2;
        line = line.substr(0, middle) + "\r\n" + line.substr(middle);
    }
    m_pending += line;
    if (f.overlongShare > 0.0 && chance() < f.overlongShare)
        m_pending += withChecksum("$GPTXT,01,01,02," + std::string(kOverlongLength - 21, 'X'));
    if (f.noiseShare > 0.0 && chance() < f.noiseShare) {
        const std::size_t count = 16 + static_cast<std::size_t>(chance() * 48.0);
        for (std::size_t i = 0; i < count; ++i)
            m_pending.push_back(static_cast<char>(mix(m_random++) & 0xFF));
    }
}

void Simulator::queueSecond()
{
    m_scenario.step();
    std::array<int, kSentenceCount> periods;
    std::uint32_t rate;
    {
        std::lock_guard lock(m_mutex);
        periods = m_periods;
        rate = m_rate;
    }
    // Like a receiver whose output does not fit the line: a second is dropped rather than
    // letting the backlog grow without end.
    const std::size_t backlog = m_options.unpaced ? kUnpacedBacklog : rate / 10;
    const bool drop = m_pending.size() > backlog;
    for (int i = 0; i < kSentenceCount; ++i) {
        const bool due = periods[static_cast<std::size_t>(i)] > 0
                         && m_cycle % static_cast<std::uint64_t>(periods[static_cast<std::size_t>(i)]) == 0;
        const bool query = m_queryOnce[static_cast<std::size_t>(i)];
        if (!drop && (due || query)) {
            m_queryOnce[static_cast<std::size_t>(i)] = false;
            for (auto& line : m_scenario.sentences(static_cast<Sentence>(i))) queueLine(std::move(line));
        }
    }
    ++m_cycle;
}

namespace {

constexpr std::int64_t kGpsEpochUnixTime = 315964800;  // 1980-01-06
constexpr std::int64_t kGpsLeapSeconds = 18;
constexpr std::int64_t kSecondsPerWeek = 604800;
constexpr double kMetresPerSecondPerKnot = 1852.0 / 3600.0;
constexpr double kGeoidSeparationMetres = 47.9;  // as the route's GGA gives it

// The measurement millisecond ms into the scenario's second, as the UBX receiver sees it.
UbxEpoch ubxEpoch(const Scenario::State& state, std::uint32_t ms)
{
    UbxEpoch epoch;
    const std::int64_t gpsSeconds = state.unixTime - kGpsEpochUnixTime + kGpsLeapSeconds;
    epoch.timeOfWeekMs = static_cast<std::uint32_t>((gpsSeconds % kSecondsPerWeek) * 1000 + ms);
    const std::time_t t = static_cast<std::time_t>(state.unixTime);
    std::tm utc{};
    ::gmtime_r(&t, &utc);
    epoch.date = {static_cast<std::uint16_t>(utc.tm_year + 1900), static_cast<std::uint8_t>(utc.tm_mon + 1),
                  static_cast<std::uint8_t>(utc.tm_mday)};
    epoch.time = {static_cast<std::uint8_t>(utc.tm_hour), static_cast<std::uint8_t>(utc.tm_min),
                  static_cast<std::uint8_t>(utc.tm_sec), static_cast<std::int32_t>(ms) * 1000000};
    epoch.fixType = state.fixQuality == 0 ? binary::UbxFixType::NoFix
                    : state.fixMode == 2  ? binary::UbxFixType::Fix2D
                                          : binary::UbxFixType::Fix3D;
    epoch.latitudeDeg = state.latitudeDegrees;
    epoch.longitudeDeg = state.longitudeDegrees;
    epoch.heightMslM = state.altitudeMetres;
    epoch.geoidSeparationM = kGeoidSeparationMetres;
    epoch.groundSpeedMps = state.speedKnots * kMetresPerSecondPerKnot;
    epoch.headingDeg = state.courseDegrees;
    epoch.pdop = state.pdop;
    epoch.hdop = state.hdop;
    epoch.vdop = state.vdop;
    for (const Scenario::SatelliteView& view : state.inView) {
        UbxSkySatellite satellite;
        satellite.svId = static_cast<std::uint8_t>(view.prn);
        satellite.elevationDeg = static_cast<std::int8_t>(view.elevationDegrees);
        satellite.azimuthDeg = static_cast<std::int16_t>(view.azimuthDegrees);
        satellite.cnoDbHz = static_cast<std::uint8_t>(std::max(0, view.snr));
        satellite.used = std::find(state.used.begin(), state.used.end(), view.prn) != state.used.end();
        // A dual-band receiver: the satellites that broadcast L2C are tracked on it too.
        if (view.prn % 2 == 0 && view.snr >= 0) satellite.sigIds = {0, 3};
        epoch.satellites.push_back(std::move(satellite));
    }
    return epoch;
}

// The UART1 output keys of the route's sentences, in Sentence order.
constexpr std::array<std::uint32_t, kSentenceCount> kNmeaOutputKeys{
    0x209100bb, 0x209100ca, 0x209100c0, 0x209100c5, 0x209100ac, 0x209100b1};

}  // namespace

void Simulator::queueUbxMeasurement(bool silent)
{
    // The scenario moves a second at a time; measurements fall in between.
    const std::uint64_t at = m_measurementMs;
    m_measurementMs += std::max<std::uint16_t>(1, m_ubx->measurementPeriodMs());
    bool newSecond = false;
    while (m_cycle <= at / 1000) {
        m_scenario.step();
        ++m_cycle;
        newSecond = true;
    }
    const auto frames = m_ubx->measurement(ubxEpoch(m_scenario.state(), static_cast<std::uint32_t>(at % 1000)));
    std::uint32_t rate;
    {
        std::lock_guard lock(m_mutex);
        rate = m_rate;
    }
    // As with NMEA, a measurement that does not fit the line is dropped whole; nothing goes
    // out between a baud-rate change and its answer.
    const std::size_t backlog = m_options.unpaced ? kUnpacedBacklog : rate / 10;
    if (silent || m_rateAfterAnswer || m_pending.size() > backlog) return;
    m_pending.append(frames.begin(), frames.end());
    // The route's sentences carry whole seconds: they come with a second's first measurement.
    if (!newSecond || !m_ubx->nmeaOutput()) return;
    const std::uint64_t second = m_cycle - 1;
    for (int i = 0; i < kSentenceCount; ++i) {
        const std::uint8_t every = m_ubx->outputRate(kNmeaOutputKeys[static_cast<std::size_t>(i)]);
        if (every == 0 || second % every != 0) continue;
        for (auto& line : m_scenario.sentences(static_cast<Sentence>(i))) queueLine(std::move(line));
    }
}

std::optional<ReplayLog::Line> Simulator::nextReplayLine()
{
    auto line = m_replay.next();
    if (!line && m_options.loop) {
        m_replay.seek(0);
        m_untimedMs = m_lastTimedMs = 0;
        m_cycleTime.clear();
        m_replayRebase = true;
        m_replayWrapped = true;
        line = m_replay.next();
    }
    if (!line) {
        m_replayFinished.store(true);
        m_replayPosition.store(1.0);
        return std::nullopt;
    }
    m_replayFinished.store(false);
    if (m_replay.size() > 0)
        m_replayPosition.store(static_cast<double>(line->offset) / static_cast<double>(m_replay.size()));
    return line;
}

void Simulator::queueReplay()
{
    while (m_pending.size() < kReplayLowWater) {
        auto line = nextReplayLine();
        if (!line) return;
        queueLine(line->raw ? line->text : line->text + "\r\n");
        m_replayLinesSent.fetch_add(1);
    }
}

namespace {

// The UTC field of a sentence that carries the time of its cycle, or nothing.
std::optional<std::string> cycleTime(const std::string& line)
{
    if (line.size() < 7 || line[0] != '$') return std::nullopt;
    const std::string type = line.substr(3, 3);
    const int field = type == "RMC" || type == "GGA" || type == "ZDA" ? 1 : type == "GLL" ? 5 : 0;
    if (field == 0) return std::nullopt;
    std::size_t start = 0;
    for (int i = 0; i < field; ++i) {
        start = line.find(',', start);
        if (start == std::string::npos) return std::nullopt;
        ++start;
    }
    const std::size_t end = line.find_first_of(",*", start);
    std::string time = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (time.empty()) return std::nullopt;
    return time;
}

}  // namespace

Simulator::Clock::time_point Simulator::queuePacedReplay(Clock::time_point now, double speed)
{
    using namespace std::chrono;
    if (speed == 0.0) {
        while (m_pending.size() < kUnpacedBacklog) {
            auto line = nextReplayLine();
            if (!line) return Clock::time_point::max();
            queueLine(line->raw ? line->text : line->text + "\r\n");
            m_replayLinesSent.fetch_add(1);
        }
        return Clock::time_point::max();
    }
    for (;;) {
        if (!m_replayAhead) {
            m_replayAhead = nextReplayLine();
            if (!m_replayAhead) return Clock::time_point::max();
            if (m_replayAhead->milliseconds) {
                m_lastTimedMs = *m_replayAhead->milliseconds;
                m_replayAheadMs = m_lastTimedMs;
            } else if (m_replay.hasTimes()) {
                m_replayAheadMs = m_lastTimedMs;
            } else {
                // A new cycle begins where the receiver's time changes.
                if (const auto time = cycleTime(m_replayAhead->text); time && *time != m_cycleTime) {
                    if (!m_cycleTime.empty()) m_untimedMs += 1000;
                    m_cycleTime = *time;
                }
                m_replayAheadMs = m_untimedMs;
            }
        }
        if (m_replayRebase) {
            m_replayBase = now;
            // A new pass comes a cycle after the last line of the one before, as the next
            // second would: a log of one time stamp (or one line) is not all due at once.
            if (m_replayWrapped)
                m_replayBase += duration_cast<Clock::duration>(duration<double>(1.0 / speed));
            m_replayBaseMs = m_replayAheadMs;
            m_replayRebase = false;
            m_replayWrapped = false;
        }
        // Bounded before it becomes a clock duration: a gap of 10^15 ms, or a tiny speed,
        // would overflow it into the past and play at once.
        const double maxWaitMs = duration<double, std::milli>(kMaxReplayWait).count();
        const double late = m_replayAheadMs >= m_replayBaseMs
                                ? std::min(static_cast<double>(m_replayAheadMs - m_replayBaseMs) / speed,
                                           maxWaitMs)
                                : 0.0;
        const auto due = m_replayBase + duration_cast<Clock::duration>(duration<double, std::milli>(late));
        if (due > now) return due;
        // Lines due now wait while the reader is this far behind, so what waits is bounded
        // and the loop sees its stop and its requests.
        if (m_pending.size() >= kUnpacedBacklog) return now + kReplayBacklogRetry;
        queueLine(m_replayAhead->text + "\r\n");
        m_replayLinesSent.fetch_add(1);
        m_replayAhead.reset();
    }
}

void Simulator::run()
{
    // Named so that a CPU figure of a process holding it can leave it out.
    pthread_setname_np(pthread_self(), "gpsdesk-sim");
    using namespace std::chrono;
    const auto cycleLength = duration_cast<Clock::duration>(duration<double>(1.0 / m_options.speedup));
    const auto at = [this](double seconds) {
        return m_started + duration_cast<Clock::duration>(duration<double>(seconds));
    };
    const Faults& faults = m_options.faults;
    auto nextCycle = m_started;
    bool writeBlocked = false;

    while (!m_stopping.load()) {
        auto now = Clock::now();
        switchRateIfAnswered(now);
        if (m_unplugRequested.load() || (faults.unplugAtSeconds >= 0.0 && now >= at(faults.unplugAtSeconds))) {
            closeTerminal();
            break;
        }

        bool silent;
        Clock::time_point silentUntil;
        std::string injected;
        bool binary;
        std::uint32_t rate;
        double replaySpeed;
        std::optional<double> seekTo;
        {
            std::lock_guard lock(m_mutex);
            if (!m_scheduledSilenceDone && faults.silenceAtSeconds >= 0.0
                && now >= at(faults.silenceAtSeconds)) {
                m_scheduledSilenceDone = true;
                m_silentUntil = std::max(m_silentUntil,
                                         at(faults.silenceAtSeconds + faults.silenceSeconds));
            }
            silentUntil = m_silentUntil;
            silent = now < silentUntil;
            if (!silent) injected.swap(m_injected);
            binary = m_binary;
            rate = m_rate;
            replaySpeed = m_replaySpeed;
            seekTo = m_seekTo;
            m_seekTo.reset();
        }
        if (rate != m_lineRate) {
            m_previousRate = m_lineRate;
            m_lineRate = rate;
            m_rateChangedAt = now;
        }
        if (silent) {
            // Gone quiet at once, even in the middle of a line: the rest of it is lost.
            m_pending.clear();
            m_bytesBeforeSwitch = 0;
        }
        m_pending += injected;

        if (m_ubx && now >= m_nextMeasurement) {
            queueUbxMeasurement(silent);
            // In simulated time; a new period counts from the next measurement on.
            const auto period = duration_cast<Clock::duration>(duration<double, std::milli>(
                m_ubx->measurementPeriodMs() / m_options.speedup));
            m_nextMeasurement += period;
            if (m_nextMeasurement <= now) m_nextMeasurement = now + period;  // late: no burst
        }
        if (now >= nextCycle) {
            if (m_ubx) {
                // The measurements move the scenario on.
            } else if (!silent && !binary && !m_replaying)
                queueSecond();
            else if (!m_replaying)
                m_scenario.step(), ++m_cycle;  // simulated time runs on while quiet
            // A held replay announces the receiver, as one does at power-on, until the
            // application answers: it waits for such a line before it sets the receiver up.
            if (m_replayHeld && m_lastInput == Clock::time_point{} && m_pending.empty() && !silent)
                m_pending += m_options.banner + "\r\n";
            nextCycle += cycleLength;
            if (nextCycle <= now) nextCycle = now + cycleLength;  // late: no burst to catch up
        }
        // A replay with a pace of its own is not held to the line rate.
        const bool replayPaced = m_replaying && replaySpeed >= 0.0;
        Clock::time_point replayDue = Clock::time_point::max();
        if (m_replaying && seekTo) {
            m_replay.seek(static_cast<std::uint64_t>(*seekTo * static_cast<double>(m_replay.size())));
            m_replayAhead.reset();
            m_replayRebase = true;
            cutOutput();
            m_replayPosition.store(*seekTo);
        }
        if (m_replayHeld && m_lastInput != Clock::time_point{}
            && now - m_lastInput >= kReplayQuietAfterSetUp)
            m_replayHeld = false;
        if (m_replaying && (m_replayPaused.load() || m_replayHeld)) {
            m_replayRebase = true;  // the pace resumes from the moment of resuming
        } else if (!silent && !binary && m_replaying) {
            if (replayPaced)
                replayDue = queuePacedReplay(now, replaySpeed);
            else
                queueReplay();
        }

        // Send what the line rate allows: paced, a whole line at once, then nothing until
        // that line's time on the wire (10 bits a byte) has passed. Deadlines count from the
        // start of the pace, so late wake-ups do not add up.
        Clock::time_point nextSend = Clock::time_point::max();
        if (!silent && !m_pending.empty() && !writeBlocked) {
            std::size_t allowed = m_pending.size();
            if (!m_options.unpaced && !replayPaced) {
                const auto lineFree = m_paceStart + duration_cast<Clock::duration>(
                                                        duration<double>(m_pacedBytes * 10.0 / rate));
                if (now > lineFree + kPaceSlack) {
                    m_paceStart = now;
                    m_pacedBytes = 0;
                }
                if (now >= lineFree) {
                    const std::size_t end = m_pending.find('\n');
                    allowed = end == std::string::npos ? m_pending.size() : end + 1;
                } else {
                    allowed = 0;
                    nextSend = lineFree;
                }
            }
            if (allowed > 0) {
                std::string garbled;
                if (!lineSpeedMatches(rate)) garbled = garble(m_pending.data(), allowed);
                const ssize_t n = ::write(m_master, garbled.empty() ? m_pending.data() : garbled.data(),
                                          allowed);
                if (n > 0) {
                    m_midLine = m_pending[static_cast<std::size_t>(n) - 1] != '\n';
                    m_pending.erase(0, static_cast<std::size_t>(n));
                    m_bytesBeforeSwitch -= std::min(m_bytesBeforeSwitch, static_cast<std::size_t>(n));
                    m_pacedBytes += static_cast<std::uint64_t>(n);
                    std::lock_guard lock(m_mutex);
                    m_bytesSent += static_cast<std::uint64_t>(n);
                } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                    writeBlocked = true;
                }
                if (!m_pending.empty() && !writeBlocked) {
                    nextSend = m_options.unpaced || replayPaced
                                   ? now
                                   : m_paceStart + duration_cast<Clock::duration>(duration<double>(
                                                       m_pacedBytes * 10.0 / rate));
                }
            }
        }

        if (m_replayHeld && m_lastInput != Clock::time_point{})
            replayDue = std::min(replayDue, m_lastInput + kReplayQuietAfterSetUp);
        Clock::time_point wakeAt = std::min({nextCycle, nextSend, replayDue, now + kMaxWait});
        if (m_ubx) wakeAt = std::min(wakeAt, m_nextMeasurement);
        if (m_rateAfterAnswer && m_bytesBeforeSwitch == 0) wakeAt = now;
        if (silent) wakeAt = std::min(wakeAt, silentUntil);
        if (faults.unplugAtSeconds >= 0.0) wakeAt = std::min(wakeAt, std::max(now, at(faults.unplugAtSeconds)));
        if (faults.silenceAtSeconds >= 0.0 && !m_scheduledSilenceDone)
            wakeAt = std::min(wakeAt, std::max(now, at(faults.silenceAtSeconds)));
        const auto waitMs = duration_cast<milliseconds>(wakeAt - Clock::now() + microseconds(999)).count();

        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
        if (writeBlocked && !m_pending.empty()) fds[0].events |= POLLOUT;
        const int ready = ::poll(fds, 2, static_cast<int>(std::max<long long>(0, waitMs)));
        if (ready < 0) continue;
        if (fds[1].revents & POLLIN) {
            char drain[64];
            while (::read(m_wakeRead, drain, sizeof drain) > 0) {
            }
        }
        if (fds[0].revents & POLLOUT) writeBlocked = false;
        if (fds[0].revents & POLLIN) {
            std::uint8_t input[4096];
            const ssize_t n = ::read(m_master, input, sizeof input);
            // The end of the line that switched the rate still comes at the old one.
            const bool justSwitched = Clock::now() - m_rateChangedAt < kSwitchGrace;
            if (n > 0 && !lineSpeedMatches(rate) && !(justSwitched && lineSpeedMatches(m_previousRate))) {
                const std::string garbled = garble(input, static_cast<std::size_t>(n));
                std::copy(garbled.begin(), garbled.end(), input);
            }
            if (n > 0) receive(input, static_cast<std::size_t>(n));
        }
        if (writeBlocked && !(fds[0].events & POLLOUT)) writeBlocked = false;
    }
}

}  // namespace sim
