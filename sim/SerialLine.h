// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

class PseudoTerminal;
struct Faults;

// The receiver's side of the serial line: the bytes waiting to go out, sent a line at a time
// at the line rate, and the faults of a real line (bad checksums, cut lines, over-long lines,
// noise, and garble when the two ends disagree on the rate). Single thread.
class SerialLine {
public:
    using Clock = std::chrono::steady_clock;

    // What may wait when nothing paces the output; more is dropped or held back.
    static constexpr std::size_t kUnpacedBacklog = 16384;

    // Faults is kept by reference and must outlive the line. The seed drives every fault.
    SerialLine(const Faults& faults, std::uint32_t seed, bool garbleAtWrongSpeed);

    // A line with the injected faults applied.
    void queueLine(std::string line);
    // Bytes as they are (banners, binary answers, injected bytes).
    void append(std::string_view bytes) { m_pending += bytes; }
    void append(const std::vector<std::uint8_t>& bytes) { m_pending.append(bytes.begin(), bytes.end()); }
    // Finishes the line on the wire and drops the rest.
    void cut();
    // Drops everything, even the rest of a line on the wire.
    void clear();
    std::size_t size() const { return m_pending.size(); }
    bool empty() const { return m_pending.empty(); }

    // The pace counts afresh from now (the port was reset or changed its rate).
    void restartPace(Clock::time_point now);

    // Remembers how much waits now; sending counts it down (see bytesBeforeMark()).
    void mark() { m_bytesBeforeMark = m_pending.size(); }
    std::size_t bytesBeforeMark() const { return m_bytesBeforeMark; }

    struct Sent {
        std::size_t bytes = 0;
        bool blocked = false;                           // the reader's side is full
        Clock::time_point next = Clock::time_point::max();  // when to send again
    };
    // Writes what the rate allows: paced, a whole line at once, then nothing until that
    // line's time on the wire (10 bits a byte) has passed; unpaced, all that waits.
    Sent send(const PseudoTerminal& terminal, Clock::time_point now, std::uint32_t rate, bool paced);

    // False when the application's side is not at the rate and the line garbles for it.
    bool speedMatches(const PseudoTerminal& terminal, std::uint32_t rate) const;
    // What a UART sampling at the wrong speed delivers: the same amount of noise.
    std::string garble(const void* bytes, std::size_t count);

private:
    double chance();

    const Faults& m_faults;
    bool m_garbleAtWrongSpeed;
    std::uint64_t m_random;
    std::string m_pending;        // bytes not yet on the wire
    bool m_midLine = false;       // the last byte sent was not a line feed
    Clock::time_point m_paceStart;
    std::uint64_t m_pacedBytes = 0;
    std::size_t m_bytesBeforeMark = 0;
};

}  // namespace sim
