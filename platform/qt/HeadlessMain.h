// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace qtplatform {

struct ProgramOptions;

// A replayed log has been read to its end: told the bytes read from the port so far.
using ReplayFinished = std::function<bool(std::uint64_t bytesRead)>;

// gpsdesk --headless: reads the receiver on the given (or simulated) port without any
// window and writes JSON reports to standard output until --quit-after, SIGINT, SIGTERM,
// SIGHUP or SIGQUIT, until the device goes away, or until a replayed log has been read to
// its end. Records (--record) and shares (--share) the stream as the window does. Returns the
// exit status: 0 when the port could be used, 1 when not or when a recording failed, 2 when
// the command line names no port.
// Blocks the ending signals in the calling thread and every thread it starts afterwards, so
// that only runHeadless()'s own wait takes them. Call before any thread exists (the
// simulated receiver's included): a thread started earlier would be ended by them.
void blockEndingSignals();

int runHeadless(const ProgramOptions& options, const std::optional<std::string>& simulatedPort,
                const std::optional<std::string>& simulatedRate,
                const ReplayFinished& replayFinished = {});

}  // namespace qtplatform
