// SPDX-License-Identifier: BSD-2-Clause
#include "sim/SerialLine.h"

#include <algorithm>
#include <cerrno>

#include <unistd.h>

#include "sim/PseudoTerminal.h"
#include "sim/Scenario.h"
#include "sim/Simulator.h"

namespace sim {

namespace {

constexpr std::size_t kOverlongLength = 300;
// A line that starts up to this late still counts from its deadline (no drift); later than
// that the line was idle and the pace starts afresh (no burst to catch up).
constexpr auto kPaceSlack = std::chrono::milliseconds(20);

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

SerialLine::SerialLine(const Faults& faults, std::uint32_t seed, bool garbleAtWrongSpeed)
    : m_faults(faults), m_garbleAtWrongSpeed(garbleAtWrongSpeed), m_random(mix(seed ^ 0xFA17u))
{
}

double SerialLine::chance()
{
    return unit(m_random++);
}

void SerialLine::queueLine(std::string line)
{
    const Faults& f = m_faults;
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

void SerialLine::cut()
{
    if (!m_midLine) {
        m_pending.clear();
        return;
    }
    const std::size_t end = m_pending.find('\n');
    if (end != std::string::npos) m_pending.resize(end + 1);
}

void SerialLine::clear()
{
    m_pending.clear();
    m_bytesBeforeMark = 0;
}

void SerialLine::restartPace(Clock::time_point now)
{
    m_pacedBytes = 0;
    m_paceStart = now;
}

SerialLine::Sent SerialLine::send(const PseudoTerminal& terminal, Clock::time_point now, std::uint32_t rate,
                                  bool paced)
{
    using namespace std::chrono;
    // Deadlines count from the start of the pace, so late wake-ups do not add up.
    const auto lineFree = [&] {
        return m_paceStart + duration_cast<Clock::duration>(duration<double>(m_pacedBytes * 10.0 / rate));
    };
    Sent sent;
    std::size_t allowed = m_pending.size();
    if (paced) {
        const auto free = lineFree();
        if (now > free + kPaceSlack) restartPace(now);
        if (now >= free) {
            const std::size_t end = m_pending.find('\n');
            allowed = end == std::string::npos ? m_pending.size() : end + 1;
        } else {
            sent.next = free;
            return sent;
        }
    }
    if (allowed == 0) return sent;
    std::string garbled;
    if (!speedMatches(terminal, rate)) garbled = garble(m_pending.data(), allowed);
    const ssize_t n = ::write(terminal.master(), garbled.empty() ? m_pending.data() : garbled.data(), allowed);
    if (n > 0) {
        m_midLine = m_pending[static_cast<std::size_t>(n) - 1] != '\n';
        m_pending.erase(0, static_cast<std::size_t>(n));
        m_bytesBeforeMark -= std::min(m_bytesBeforeMark, static_cast<std::size_t>(n));
        m_pacedBytes += static_cast<std::uint64_t>(n);
        sent.bytes = static_cast<std::size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        sent.blocked = true;
    }
    if (!m_pending.empty() && !sent.blocked) sent.next = paced ? lineFree() : now;
    return sent;
}

bool SerialLine::speedMatches(const PseudoTerminal& terminal, std::uint32_t rate) const
{
    return !m_garbleAtWrongSpeed || terminal.speedMatches(rate);
}

std::string SerialLine::garble(const void* bytes, std::size_t count)
{
    // In the noise a sentence with a valid checksum is as good as impossible.
    std::string noise(static_cast<const char*>(bytes), count);
    for (char& byte : noise) byte = static_cast<char>(mix(m_random++) & 0xFF);
    return noise;
}

}  // namespace sim
