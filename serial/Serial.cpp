// SPDX-License-Identifier: BSD-2-Clause
#include "serial/Serial.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kReadAttempts = 10;
constexpr cc_t kReadTimeoutDeciseconds = 5;
// One attempt waits as long as VTIME would; the wait is a poll so that cancel() can end it.
constexpr std::chrono::milliseconds kAttemptTime{kReadTimeoutDeciseconds * 100};
// Room made up front; a caller's limit is not trusted with an allocation of its size.
constexpr std::uint32_t kMaxReserve = 4096;
// How long a CR waits for its LF: several byte times even at 4800 bit/s.
constexpr double kLineFeedWaitSeconds = 0.02;

struct RateEntry {
    const char* text;
    speed_t speed;
};
constexpr RateEntry kRateTable[] = {
    {"1200", B1200},     {"4800", B4800},     {"9600", B9600},     {"19200", B19200},
    {"38400", B38400},   {"57600", B57600},   {"115200", B115200}, {"230400", B230400},
    {"460800", B460800}, {"921600", B921600},
};

std::optional<speed_t> knownSpeed(const std::string& rate)
{
    for (const auto& entry : kRateTable)
        if (rate == entry.text) return entry.speed;
    return std::nullopt;
}

speed_t speedForRate(const std::string& rate)
{
    return knownSpeed(rate).value_or(B4800);
}

// Errors that mean the device is gone rather than slow: a hung-up tty, a pseudo-terminal
// whose master closed, a USB adapter pulled out.
bool isGoneError(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV;
}

// Keeps the wake pipe off descriptors 0 to 2, which a process with standard streams closed
// would otherwise hand out here (and a device on 0 counts as closed).
int aboveStandardStreams(int fd)
{
    if (fd < 0 || fd > 2) return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}

void closeIfOpen(int& fd)
{
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

Serial::Serial()
{
    int wake[2];
    if (::pipe2(wake, O_NONBLOCK | O_CLOEXEC) == 0) {
        m_wakeRead = aboveStandardStreams(wake[0]);
        m_wakeWrite = aboveStandardStreams(wake[1]);
        // Without both ends cancel() still stops reads between waits, just not a wait itself.
        if (m_wakeRead < 0 || m_wakeWrite < 0) {
            closeIfOpen(m_wakeRead);
            closeIfOpen(m_wakeWrite);
        }
    }
}

Serial::~Serial()
{
    closePort();
    closeIfOpen(m_wakeRead);
    closeIfOpen(m_wakeWrite);
}

bool Serial::openPort(const std::string& path, const std::string& rate, bool softwareFlowControl)
{
    // O_NONBLOCK lets the open return even while the carrier line is down. O_NOCTTY keeps a
    // session leader from taking the receiver as its controlling terminal (and dying of
    // SIGHUP when it is unplugged); O_CLOEXEC keeps launched programs from holding it busy.
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);

    // With standard input closed the device can come back as descriptor 0, which counts as
    // closed; move it up instead of leaking it.
    if (fd == 0) {
        const int moved = ::fcntl(0, F_DUPFD_CLOEXEC, 1);
        ::close(0);
        fd = moved;
    }
    if (fd <= 0) {
        m_lastError = errno;
        m_fd.store(-1);
        return false;
    }
    m_fd.store(fd);
    m_hungUp.store(false);
    m_lastError = 0;
    m_bytesReceived = 0;

    if (::ioctl(fd, TIOCEXCL) == -1) {
        m_lastError = errno;
        closePort();
        return false;
    }
    // Takes O_NONBLOCK away: from here reads wait as VMIN/VTIME say.
    (void)::fcntl(fd, F_SETFL, 0);

    termios settings;
    std::memset(&settings, 0, sizeof settings);
    settings.c_iflag = softwareFlowControl ? (IXON | IXOFF | IXANY) : 0;
    settings.c_oflag = 0;
    settings.c_cflag = CS8 | CREAD | CLOCAL;
    settings.c_lflag = 0;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = kReadTimeoutDeciseconds;
    const speed_t speed = speedForRate(rate);
    cfsetispeed(&settings, speed);
    cfsetospeed(&settings, speed);

    int applied;
    do {
        applied = ::tcsetattr(fd, TCSAFLUSH, &settings);
    } while (applied < 0 && errno == EINTR);
    if (applied < 0) {
        m_lastError = errno;
        closePort();
        return false;
    }
    flushPort();
    return true;
}

bool Serial::isKnownRate(const std::string& rate)
{
    return knownSpeed(rate).has_value();
}

bool Serial::isOpen() const
{
    return m_fd.load() > 0;
}

bool Serial::hungUp() const
{
    return m_hungUp.load();
}

void Serial::closePort()
{
    if (!isOpen()) return;
    const int fd = m_fd.load();
    // A pseudo-terminal keeps exclusive mode after its last close, which would lock out the
    // next opener; on a real port clearing it is harmless.
    (void)::ioctl(fd, TIOCNXCL);
    // No retry on EINTR: Linux has released the descriptor by then.
    ::close(fd);
    m_fd.store(-1);
    dropBuffered();
}

void Serial::flushPort()
{
    if (!isOpen()) return;
    dropBuffered();
    (void)::tcflush(m_fd.load(), TCIOFLUSH);
}

void Serial::cancel()
{
    m_cancelled.store(true);
    if (m_wakeWrite >= 0) {
        const std::uint8_t byte = 1;
        // A full pipe already wakes the reader; nothing to retry.
        (void)!::write(m_wakeWrite, &byte, 1);
    }
}

bool Serial::cancelled() const
{
    return m_cancelled.load();
}

void Serial::markHungUpIf(int error)
{
    if (!isGoneError(error)) return;
    m_lastError = error;
    m_hungUp.store(true);
}

std::uint32_t Serial::writePort(const ByteBuffer& bytes)
{
    if (!isOpen() || m_hungUp.load()) return 0;
    const int fd = m_fd.load();
    std::uint32_t written = 0;
    for (const std::uint8_t byte : bytes) {
        ssize_t result;
        do {
            result = ::write(fd, &byte, 1);
        } while (result < 0 && errno == EINTR);
        if (result != 1) {
            if (result < 0) markHungUpIf(errno);
            break;
        }
        ++written;
    }
    return written;
}

bool Serial::fill()
{
    return fill(kReadAttempts, kAttemptTime);
}

bool Serial::fill(int attempts, std::chrono::milliseconds attemptTime)
{
    using Clock = std::chrono::steady_clock;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (!isOpen() || m_hungUp.load() || m_cancelled.load()) return false;
        const int fd = m_fd.load();
        pollfd entries[2] = {{fd, POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
        // A signal does not shorten the half second: the wait goes on to the same deadline.
        const auto deadline = Clock::now() + attemptTime;
        int ready;
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            ready = ::poll(entries, 2, static_cast<int>(std::max<long long>(0, left.count())));
            if (ready >= 0 || errno != EINTR) break;
        }
        if (ready <= 0) continue;  // a quiet half second (or a failed poll) uses up the attempt
        if (entries[1].revents != 0) return false;

        ssize_t result;
        do {
            result = ::read(fd, m_buffer, kBufferSize);
        } while (result < 0 && errno == EINTR);
        if (result > 0) {
            m_begin = 0;
            m_end = static_cast<std::size_t>(result);
            m_bytesReceived += static_cast<std::uint64_t>(result);
            return true;
        }
        if (result < 0) {
            markHungUpIf(errno);
            continue;
        }
        // A hung-up tty reads 0 bytes at once; without this check the attempts would pass in
        // microseconds and the reader would spin for as long as it runs.
        if ((entries[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            m_lastError = EIO;  // what the next read would say
            m_hungUp.store(true);
        }
    }
    return false;
}

bool Serial::readPortChar(std::uint8_t& byte)
{
    if (m_cancelled.load()) return false;
    if (m_begin == m_end && !fill()) return false;
    byte = m_buffer[m_begin++];
    return true;
}

ByteBuffer Serial::readPortLength(std::uint32_t count)
{
    ByteBuffer buffer;
    if (!isOpen()) return buffer;
    buffer.reserve(std::min<std::uint32_t>(count, kMaxReserve));
    while (buffer.size() < count && !m_cancelled.load()) {
        if (m_begin == m_end && !fill()) break;
        const std::size_t take = std::min<std::size_t>(count - buffer.size(), m_end - m_begin);
        buffer.insert(buffer.end(), m_buffer + m_begin, m_buffer + m_begin + take);
        m_begin += take;
    }
    return buffer;
}

ByteBuffer Serial::readPortWithin(double timeoutSeconds)
{
    ByteBuffer buffer;
    if (!isOpen() || m_cancelled.load()) return buffer;
    const auto wait = std::chrono::milliseconds(
        static_cast<long long>(std::clamp(timeoutSeconds, 0.0, 3600.0) * 1000.0));
    if (m_begin == m_end && !fill(1, wait)) return buffer;
    buffer.assign(m_buffer + m_begin, m_buffer + m_end);
    dropBuffered();
    return buffer;
}

std::optional<ByteBuffer> Serial::readPortUntilChar(std::uint8_t terminator, std::uint32_t limit)
{
    ByteBuffer buffer;
    if (!isOpen()) return buffer;
    buffer.reserve(std::min<std::uint32_t>(limit, kMaxReserve));
    if (terminator == 0) return buffer;  // the line "ends" before any byte is read
    for (;;) {
        if (m_cancelled.load()) return std::nullopt;
        if (m_begin == m_end && !fill()) return std::nullopt;
        // Never more than the limit allows, so the bytes after an over-long line's cut stay
        // for the next call; at least one byte, so a limit of 0 or 1 still consumes one.
        const std::size_t room = buffer.size() < limit ? limit - buffer.size() : 1;
        const std::size_t take = std::min(room, m_end - m_begin);
        const std::uint8_t* start = m_buffer + m_begin;
        const auto* found = static_cast<const std::uint8_t*>(std::memchr(start, terminator, take));
        const std::size_t count = found ? static_cast<std::size_t>(found - start) + 1 : take;
        buffer.insert(buffer.end(), start, start + count);
        m_begin += count;
        if (buffer.size() >= limit) return std::nullopt;
        if (found) return buffer;
    }
}

std::optional<ByteBuffer> Serial::readPortLine(std::uint32_t limit)
{
    ByteBuffer buffer;
    if (!isOpen()) return buffer;
    buffer.reserve(std::min<std::uint32_t>(limit, kMaxReserve));
    for (;;) {
        if (m_cancelled.load()) return std::nullopt;
        if (m_begin == m_end && !fill()) return std::nullopt;
        if (m_skipLineFeed) {
            m_skipLineFeed = false;
            if (m_buffer[m_begin] == '\n') {
                ++m_begin;
                continue;
            }
        }
        if (buffer.empty()) {
            // NULs between lines (a receiver waking up, an adapter's idle filler) belong to
            // no line; counted in, a run of them would push the next sentence past the limit.
            while (m_begin != m_end && m_buffer[m_begin] == 0) ++m_begin;
            if (m_begin == m_end) continue;
        }
        const std::size_t room = buffer.size() < limit ? limit - buffer.size() : 1;
        const std::size_t take = std::min(room, m_end - m_begin);
        const std::uint8_t* start = m_buffer + m_begin;
        const std::uint8_t* found = std::find_if(start, start + take, [](std::uint8_t c) { return c == '\n' || c == '\r'; });
        const bool ended = found != start + take;
        const std::size_t count = ended ? static_cast<std::size_t>(found - start) + 1 : take;
        buffer.insert(buffer.end(), start, start + count);
        m_begin += count;
        if (ended && *found == '\r') {
            // The LF of a CR LF pair belongs to this line (listeners see the bytes as sent);
            // it follows within a few byte times, or this receiver ends lines with CR alone.
            if (m_begin == m_end) fillWithin(kLineFeedWaitSeconds);
            if (m_begin != m_end && m_buffer[m_begin] == '\n') {
                buffer.push_back('\n');
                ++m_begin;
            } else if (m_begin == m_end) {
                m_skipLineFeed = true;
            }
        }
        if (buffer.size() >= limit) return std::nullopt;
        if (ended) return buffer;
    }
}

bool Serial::fillWithin(double seconds)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(std::max(0.0, seconds)));
    for (;;) {
        if (!isOpen() || m_hungUp.load() || m_cancelled.load()) return false;
        pollfd entries[2] = {{m_fd.load(), POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        const int ready = ::poll(entries, 2, static_cast<int>(std::max<long long>(0, left.count())));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || entries[1].revents != 0 || (entries[0].revents & POLLIN) == 0) return false;
        ssize_t result;
        do {
            result = ::read(m_fd.load(), m_buffer, kBufferSize);
        } while (result < 0 && errno == EINTR);
        if (result <= 0) return false;  // the next fill() sees and reports the failure
        m_begin = 0;
        m_end = static_cast<std::size_t>(result);
        return true;
    }
}

void Serial::pause(double seconds)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(std::max(0.0, seconds)));
    while (!m_cancelled.load()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return;
        pollfd wake{m_wakeRead, POLLIN, 0};
        const int ready = ::poll(&wake, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        return;
    }
}

bool Serial::waitForInput(double seconds)
{
    if (m_skipLineFeed && m_begin == m_end && !fillWithin(seconds)) return false;
    if (m_skipLineFeed && m_begin != m_end && m_buffer[m_begin] == '\n') {
        m_skipLineFeed = false;
        ++m_begin;
    }
    if (m_begin != m_end) return true;
    return fillWithin(seconds);
}

// ---- Device listing ------------------------------------------------------------------
