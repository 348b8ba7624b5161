// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/ByteBuffer.h"

class Serial;

// What a read loop needs of the receiver's line, whether a serial port or a network source:
// the window's reader and headless read through it alike. Driven by one thread; cancel() may
// come from any other while the link lives.
class ReaderLink {
public:
    enum class Read {
        Data,    // bytes holds what arrived
        Quiet,   // nothing within the wait; still connected
        HungUp,  // the device or the other end went away
        Closed,  // closed or cancelled
    };

    virtual ~ReaderLink() = default;
    // Whatever arrives within waitSeconds, into bytes (emptied otherwise).
    virtual Read read(ByteBuffer& bytes, double waitSeconds) = 0;
    // All of bytes to the receiver in one write, or false; refusal() then says why when the
    // link cannot reach the receiver's input at all.
    virtual bool write(const std::vector<std::uint8_t>& bytes) = 0;
    // Why the last write was refused, in the user's words; empty when it simply failed.
    virtual std::string refusal() const { return {}; }
    // True as soon as input is waiting, false after seconds without any.
    virtual bool waitForInput(double seconds) = 0;
    // Lets input pile up for up to seconds (less where the line would overflow what the port
    // holds), so that it is read in one go rather than line by line as it trickles in; back
    // at once when cancelled. A link that cannot tell how much its input holds returns at once.
    virtual void gather(double seconds) { (void)seconds; }
    virtual std::uint64_t bytesRead() const = 0;
    // Makes a waiting read return at once, and every later one. Any thread.
    virtual void cancel() = 0;
    virtual void close() = 0;
    // The port behind a serial link, for the receiver commands that need its rate; nullptr for
    // a network source.
    virtual Serial* serial() { return nullptr; }
    // The line rate it runs at, for a port; nothing for a network source.
    virtual std::optional<std::uint32_t> lineRate() const { return std::nullopt; }
    // Reopens the port at another line rate, for a receiver told to change it. False when the
    // link has no line rate or the port would not open at it.
    virtual bool reopenAt(std::uint32_t baud)
    {
        (void)baud;
        return false;
    }
};
