#pragma once

#include <optional>
#include <string>

namespace qtplatform {

struct ProgramOptions;

// gpsdesk --headless: reads the receiver on the given (or simulated) port without any
// window and writes JSON reports to standard output until --quit-after, SIGINT, SIGTERM,
// SIGHUP or SIGQUIT, or until the device goes away. Returns the exit status: 0 when the
// port could be used, 1 when not, 2 when the command line names no port.
// Blocks the ending signals in the calling thread and every thread it starts afterwards, so
// that only runHeadless()'s own wait takes them. Call before any thread exists (the
// simulated receiver's included): a thread started earlier would be ended by them.
void blockEndingSignals();

int runHeadless(const ProgramOptions& options, const std::optional<std::string>& simulatedPort,
                const std::optional<std::string>& simulatedRate);

}  // namespace qtplatform
