// SPDX-License-Identifier: BSD-2-Clause
#include "quality/ObstructionMap.h"

#include <algorithm>
#include <limits>

void ObstructionMap::record(std::span<const SatelliteInView> inView)
{
    for (const SatelliteInView& satellite : inView) {
        // A satellite without a place has no cell.
        if (!satellite.elevationDegrees || !satellite.azimuthDegrees) continue;
        const int elevation = *satellite.elevationDegrees;
        // 360 is north again; some receivers send it.
        const int azimuth = *satellite.azimuthDegrees == 360 ? 0 : *satellite.azimuthDegrees;
        if (elevation < 0 || elevation > 90 || azimuth < 0 || azimuth >= 360) continue;
        // The zenith belongs to the highest ring.
        const int row = std::min(elevation / kCellDegrees, kElevationCells - 1);
        Cell& target = m_cells[static_cast<std::size_t>(row * kAzimuthCells + azimuth / kCellDegrees)];
        if (target.total == std::numeric_limits<std::uint32_t>::max()) continue;
        const int snr = std::clamp(satellite.snrDbHz.value_or(0), 0, 99);
        ++target.counts[static_cast<std::size_t>(snr)];
        ++target.total;
    }
}

void ObstructionMap::reset()
{
    m_cells = {};
}

const ObstructionMap::Cell* ObstructionMap::cell(int azimuthCell, int elevationCell) const
{
    if (azimuthCell < 0 || azimuthCell >= kAzimuthCells || elevationCell < 0 ||
        elevationCell >= kElevationCells) {
        return nullptr;
    }
    return &m_cells[static_cast<std::size_t>(elevationCell * kAzimuthCells + azimuthCell)];
}

std::uint32_t ObstructionMap::samples(int azimuthCell, int elevationCell) const
{
    const Cell* c = cell(azimuthCell, elevationCell);
    return c ? c->total : 0;
}

std::optional<int> ObstructionMap::medianSnr(int azimuthCell, int elevationCell) const
{
    const Cell* c = cell(azimuthCell, elevationCell);
    if (!c || c->total == 0) return std::nullopt;
    // The lower median: the ratio at rank (total - 1) / 2, so it is always one that was seen.
    const std::uint64_t rank = (static_cast<std::uint64_t>(c->total) - 1) / 2;
    std::uint64_t seen = 0;
    for (int snr = 0; snr < 100; ++snr) {
        seen += c->counts[static_cast<std::size_t>(snr)];
        if (seen > rank) return snr;
    }
    return 99;
}
