// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// The six output sentences, numbered as the receiver's rate-control message numbers them.
enum class Sentence : int { GGA = 0, GLL = 1, GSA = 2, GSV = 3, RMC = 4, VTG = 5 };
constexpr int kSentenceCount = 6;

// XOR of the characters after the leading "$" (or "!"): the NMEA checksum of a body.
std::uint8_t checksumOf(std::string_view body);
// "$" + body + "*hh\r\n" (checksum over body, upper-case hex).
std::string withChecksum(const std::string& body);

// A fixed mixer, so that the same seed gives the same run on every platform (the standard
// distributions are not specified bit for bit).
std::uint64_t mix(std::uint64_t x);
// Uniform in [0, 1).
double unit(std::uint64_t x);

// A vehicle on a route under a changing sky, one state per second, the same for the same
// seed. Over each 300-second lap it waits two seconds, speeds up to about 60 knots, turns
// through north (course wrapping past 360) and back, slows below 0.5 knots and stops. 8 to
// 12 satellites are in view, one of them setting below the horizon early on; the fix
// alternates between GPS and DGPS. With no-fix spells, 20 seconds of each lap have no fix
// and only 3 satellites.
class Scenario {
public:
    struct SatelliteView {
        int prn = 0;
        int elevationDegrees = 0;
        int azimuthDegrees = 0;
        int snr = -1;  // -1: not tracked (empty field)
    };

    struct State {
        std::uint64_t second = 0;         // since the start
        std::int64_t unixTime = 0;        // UTC
        double latitudeDegrees = 0;       // north positive
        double longitudeDegrees = 0;      // east positive
        double altitudeMetres = 0;
        double speedKnots = 0;
        double courseDegrees = 0;         // [0, 360)
        int fixQuality = 1;               // 0 none, 1 GPS, 2 DGPS
        int fixMode = 3;                  // GSA: 2 for a 2D fix, 3 for 3D (with a fix)
        std::vector<SatelliteView> inView;  // at most 12
        std::vector<int> used;              // PRNs in the solution, at most 12
        double pdop = 0, hdop = 0, vdop = 0;
    };

    Scenario(std::uint32_t seed, bool noFixSpells);

    // Moves to the next second (the first call gives second 0).
    const State& step();
    // A restart from the next second on, as a receiver does after $PSRF101 with the given
    // reset configuration: 1 hot (fix again after 2 s), 2 warm (signals back within 10 s,
    // fix after 28 s), 4 or 8 cold (signals back one by one within 20 s, a 2D fix at 34 s,
    // 3D at 38 s). Other values change nothing.
    void restart(int resetConfiguration);
    const State& state() const { return m_state; }

    // The sentences of the current state, checksummed and CR LF terminated (GSV: 1 to 3).
    std::vector<std::string> sentences(Sentence sentence) const;

private:
    struct Orbit {
        int prn;
        double baseElevation, elevationSwing, elevationDriftPerSecond, phase;
        double baseAzimuth, azimuthDriftPerSecond;
        double snrBase;
    };

    void updateSky(double t, bool obstructed);
    void applyRestart();

    std::uint32_t m_seed;
    bool m_noFixSpells;
    bool m_started = false;
    std::int64_t m_startTime;
    std::vector<Orbit> m_orbits;
    State m_state;
    int m_restartConfiguration = 0;  // 0: no restart under way
    std::uint64_t m_restartSecond = 0;
};

}  // namespace sim
