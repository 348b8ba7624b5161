// SPDX-License-Identifier: BSD-2-Clause
// A day of a receiver at 1 Hz through the receiver test, as fast as it computes: 86,400
// fixes scattered about a metre and 86,400 updates of 32 satellites (four systems, rising
// and setting, some lost behind an obstruction). Prints the resident set and the bytes
// held by malloc at the start, every six hours and at the end: they must stay flat once
// the ten-minute windows are full.
//
//   receiver_test_runner [SECONDS]   (86400 by default)

#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <vector>

#include "quality/ReceiverTest.h"

namespace {

long residentKilobytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Small blocks in use plus the large ones malloc maps on their own.
std::size_t mallocBytes()
{
    const auto info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

void report(const char* when, long second)
{
    std::printf("%-8s second %6ld  resident %6ld kB  malloc in use %9zu bytes\n", when, second,
                residentKilobytes(), mallocBytes());
}

}  // namespace

int main(int argc, char** argv)
{
    const long seconds = argc > 1 ? std::atol(argv[1]) : 86400;
    std::uint64_t state = 42;
    const auto uniform = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return (static_cast<double>(state >> 11) + 0.5) / 9007199254740992.0;
    };
    const auto gaussian = [&] {
        return std::sqrt(-2.0 * std::log(uniform())) * std::cos(2.0 * std::numbers::pi * uniform());
    };
    const Constellation systems[] = {Constellation::GPS, Constellation::GLONASS, Constellation::Galileo,
                                     Constellation::BeiDou};
    const GeodeticPosition home{52.5163, 13.3777, 40.0};
    const LocalTangentPlane plane(home);

    ReceiverTest test;
    test.started(0.0, RunStart::Connect);
    std::vector<SatelliteInView> sky(32);
    report("start", 0);
    const auto began = std::chrono::steady_clock::now();
    for (long second = 0; second < seconds; ++second) {
        const double t = static_cast<double>(second);
        test.sentence(t);
        for (std::size_t i = 0; i < sky.size(); ++i) {
            SatelliteInView& s = sky[i];
            s.constellation = systems[i % 4];
            s.svid = static_cast<std::int32_t>(1 + i / 4 + 8 * ((second / 3600) % 3));
            const double phase = static_cast<double>(i) * 0.7 + t / 2000.0;
            s.elevationDegrees = static_cast<int>(std::lround(45.0 + 44.0 * std::sin(phase)));
            s.azimuthDegrees = static_cast<int>(std::lround(std::fmod(i * 37.0 + t / 40.0, 360.0)));
            const bool blocked = s.azimuthDegrees > 280 && s.elevationDegrees < 30;
            s.snrDbHz = blocked ? std::nullopt : std::optional<int>(30 + static_cast<int>(10.0 * uniform()));
            s.usedInFix = !blocked;
        }
        test.satellites(t, sky);
        FixSample fix;
        fix.timeSeconds = t;
        fix.position = plane.toGeodetic({0.6 * gaussian(), 0.9 * gaussian(), 1.5 * gaussian()});
        fix.hdop = 0.8f;
        test.position(t, 3, fix);
        if (second + 1 == 600) report("10 min", second + 1);
        if ((second + 1) % 21600 == 0 && second + 1 < seconds) report("", second + 1);
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    report("end", seconds);
    const auto& s = test.accuracy().summary();
    std::printf("%ld simulated seconds in %.2f s; last ten minutes: %zu points, CEP50 %.3f m, CEP95 %.3f m, "
                "2DRMS %.3f m; %zu signal samples kept\n",
                seconds, elapsed, s ? s->points : 0, s ? s->cep50Metres : 0.0, s ? s->cep95Metres : 0.0,
                s ? s->drms2Metres : 0.0, test.signalHistory().samples().size());
    return 0;
}
