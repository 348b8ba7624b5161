// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "nmea/Constellation.h"

// Where in the sky signals were weak or absent over the session: the sky cut into cells of
// 10° of azimuth by 10° of elevation, each holding a count of every signal-to-noise ratio
// seen there (a satellite in view without a signal counts as 0 dB-Hz). Counts rather than
// samples, so the memory is the same after a day as after a minute. Main thread only.
class ObstructionMap {
public:
    static constexpr int kCellDegrees = 10;
    static constexpr int kAzimuthCells = 360 / kCellDegrees;
    static constexpr int kElevationCells = 90 / kCellDegrees;

    // Satellites with an elevation outside 0..90 or an azimuth outside 0..360 are skipped.
    void record(std::span<const SatelliteInView> inView);
    void reset();

    // Median ratio seen in a cell (azimuth cell 0 starts at north, elevation cell 0 at the
    // horizon); nothing where no satellite was ever seen or the cell is out of range.
    std::optional<int> medianSnr(int azimuthCell, int elevationCell) const;
    std::uint32_t samples(int azimuthCell, int elevationCell) const;

private:
    struct Cell {
        std::array<std::uint32_t, 100> counts{};  // by ratio, 0..99 dB-Hz
        std::uint32_t total = 0;
    };
    const Cell* cell(int azimuthCell, int elevationCell) const;

    std::array<Cell, kAzimuthCells * kElevationCells> m_cells{};
};
