// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/SecretStore.h"

namespace sim {
class Simulator;
}

namespace qtplatform {

struct ProgramOptions;

// A replayed log has been read to its end: told the bytes read from the port so far.
using ReplayFinished = std::function<bool(std::uint64_t bytesRead)>;
// The desktop's secret store, where the window keeps the caster's password; none in a build
// without the toolkit (the password then comes from the environment only).
using SecretReader = std::function<platform::SecretStore::Result(const std::string& name)>;

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

// The simulated receiver of --simulate or --replay, started and offered as a port: its
// device path, or nothing (said on standard error) when it did not start.
std::optional<std::string> startSimulatedReceiver(const ProgramOptions& options,
                                                  std::unique_ptr<sim::Simulator>& simulator);
// gpsdesk --headless from the parsed command line: signals, ports, the simulated receiver,
// then runHeadless(). The exit status.
int runProgramHeadless(const ProgramOptions& options, const SecretReader& readSecret = {});

int runHeadless(const ProgramOptions& options, const std::optional<std::string>& simulatedPort,
                const std::optional<std::string>& simulatedRate,
                const ReplayFinished& replayFinished = {}, const SecretReader& readSecret = {});

}  // namespace qtplatform
