// SPDX-License-Identifier: BSD-2-Clause
// CPU cost of the reader loop: readPortUntilChar(10, 256) over and over on the simulated
// receiver, which replays its own route back to back at the line rate (the line is always
// full: the most reads a second the port can be asked for).
//
//   serial_runner [--rate BPS] [--seconds S]

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include "bench/RouteLog.h"
#include "serial/Serial.h"
#include "sim/Simulator.h"

namespace {

double seconds(const timespec& t)
{
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double now(clockid_t clock)
{
    timespec t;
    clock_gettime(clock, &t);
    return seconds(t);
}

double tv(const timeval& t)
{
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    std::uint32_t rate = 115200;
    double duration = 60.0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rate") == 0) rate = static_cast<std::uint32_t>(std::atol(argv[i + 1]));
        else if (std::strcmp(argv[i], "--seconds") == 0) duration = std::atof(argv[i + 1]);
    }

    // Ten minutes of the route with every sentence, as a log to replay in a loop.
    const std::string log = "/tmp/gpsdesk-serial-runner-" + std::to_string(::getpid()) + ".log";
    writeRouteLog(log, 600);
    sim::Options options;
    options.replayPath = log;
    options.loop = true;
    options.rate = rate;
    sim::Simulator simulator(options);
    if (!simulator.start()) {
        std::fprintf(stderr, "simulator: %s\n", simulator.error().c_str());
        return 1;
    }
    Serial port;
    // A pseudo-terminal ignores the line speed; the simulator paces the bytes.
    if (!port.openPort(simulator.devicePath(), std::to_string(rate), false)) {
        std::fprintf(stderr, "cannot open %s\n", simulator.devicePath().c_str());
        return 1;
    }

    std::uint64_t lines = 0, bytes = 0, failures = 0;
    const double wallStart = now(CLOCK_MONOTONIC);
    const double cpuStart = now(CLOCK_THREAD_CPUTIME_ID);
    const double processStart = now(CLOCK_PROCESS_CPUTIME_ID);
    rusage usageStart;
    getrusage(RUSAGE_THREAD, &usageStart);
    while (now(CLOCK_MONOTONIC) - wallStart < duration) {
        const auto line = port.readPortUntilChar(10, 256);
        if (line) {
            ++lines;
            bytes += line->size();
        } else {
            ++failures;
        }
    }
    const double wall = now(CLOCK_MONOTONIC) - wallStart;
    const double cpu = now(CLOCK_THREAD_CPUTIME_ID) - cpuStart;
    const double process = now(CLOCK_PROCESS_CPUTIME_ID) - processStart;
    rusage usageEnd;
    getrusage(RUSAGE_THREAD, &usageEnd);
    port.closePort();
    simulator.stop();
    ::unlink(log.c_str());

    std::printf("rate %u bit/s, %.1f s: %llu lines, %llu bytes (%.0f bytes/s), %llu failed reads\n",
                rate, wall, static_cast<unsigned long long>(lines),
                static_cast<unsigned long long>(bytes), static_cast<double>(bytes) / wall,
                static_cast<unsigned long long>(failures));
    std::printf("reader thread CPU %.3f s (user %.3f s, system %.3f s) = %.2f %% of one core\n",
                cpu, tv(usageEnd.ru_utime) - tv(usageStart.ru_utime),
                tv(usageEnd.ru_stime) - tv(usageStart.ru_stime), 100.0 * cpu / wall);
    std::printf("simulator thread CPU %.3f s = %.2f %% of one core\n", process - cpu,
                100.0 * (process - cpu) / wall);
    return 0;
}
