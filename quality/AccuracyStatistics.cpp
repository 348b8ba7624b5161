// SPDX-License-Identifier: BSD-2-Clause
#include "quality/AccuracyStatistics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/FormatText.h"
#include "receiver/PositionError.h"

namespace {

constexpr double kFeetPerMetre = 3.2808399200439453;
// The local frame is moved to the newest fix once it lies this far from its origin, so the
// scatter is always measured on the horizon of the place where the points are.
constexpr double kRebaseMetres = 1000.0;

bool plausible(const GeodeticPosition& p)
{
    return std::isfinite(p.latitudeDegrees) && std::isfinite(p.longitudeDegrees) &&
           std::isfinite(p.heightMetres) && std::fabs(p.latitudeDegrees) <= 90.0 &&
           std::fabs(p.longitudeDegrees) <= 180.0;
}

}  // namespace

AccuracyStatistics::AccuracyStatistics(std::size_t capacity) : m_fixes(capacity)
{
    m_scatter.reserve(m_fixes.capacity());
    m_radii.reserve(m_fixes.capacity());
}

bool AccuracyStatistics::add(const FixSample& fix)
{
    if (!plausible(fix.position)) return false;
    if (m_fixes.empty()) m_plane = LocalTangentPlane(fix.position);
    LocalOffset offset = m_plane.toLocal(fix.position);
    if (std::hypot(offset.eastMetres, offset.northMetres) > kRebaseMetres) {
        // A receiver on the move (or a log of many places) crosses this often; the kept fixes'
        // offsets follow the new origin when the summary is next worked out, not at every
        // crossing.
        m_plane = LocalTangentPlane(fix.position);
        m_offsetsStale = true;
        offset = m_plane.toLocal(fix.position);
    }
    m_fixes.push(Kept{fix, offset});
    m_stale = true;
    return true;
}

void AccuracyStatistics::reset()
{
    m_fixes.clear();
    m_offsetsStale = false;
    m_summary.reset();
    m_scatter.clear();
    m_stale = false;
}

void AccuracyStatistics::rebase() const
{
    m_offsetsStale = false;
    for (std::size_t i = 0; i < m_fixes.size(); ++i) m_fixes[i].offset = m_plane.toLocal(m_fixes[i].fix.position);
}

double AccuracyStatistics::percentile(const std::vector<double>& sorted, double share)
{
    if (sorted.empty()) return 0.0;
    const double rank = std::clamp(share, 0.0, 1.0) * static_cast<double>(sorted.size() - 1);
    const auto below = static_cast<std::size_t>(std::floor(rank));
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    const double fraction = rank - static_cast<double>(below);
    return sorted[below] + fraction * (sorted[above] - sorted[below]);
}

void AccuracyStatistics::summarise() const
{
    m_stale = false;
    if (m_offsetsStale) rebase();
    const std::size_t n = m_fixes.size();
    AccuracySummary s;
    s.points = n;

    double sumEast = 0.0, sumNorth = 0.0, sumUp = 0.0;
    double sumHdop = 0.0;
    std::size_t hdops = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Kept& kept = m_fixes[i];
        sumEast += kept.offset.eastMetres;
        sumNorth += kept.offset.northMetres;
        sumUp += kept.offset.upMetres;
        if (kept.fix.hdop && std::isfinite(*kept.fix.hdop) && *kept.fix.hdop >= 0.0f) {
            sumHdop += static_cast<double>(*kept.fix.hdop);
            ++hdops;
        }
    }
    const double count = static_cast<double>(n);
    const LocalOffset mean{sumEast / count, sumNorth / count, sumUp / count};
    s.mean = m_plane.toGeodetic(mean);

    m_scatter.clear();
    m_radii.clear();
    double squaresEast = 0.0, squaresNorth = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double east = m_fixes[i].offset.eastMetres - mean.eastMetres;
        const double north = m_fixes[i].offset.northMetres - mean.northMetres;
        m_scatter.push_back({east, north});
        m_radii.push_back(std::hypot(east, north));
        squaresEast += east * east;
        squaresNorth += north * north;
    }
    s.sigmaEastMetres = std::sqrt(squaresEast / count);
    s.sigmaNorthMetres = std::sqrt(squaresNorth / count);
    s.cep50EstimateMetres = 0.5887 * (s.sigmaEastMetres + s.sigmaNorthMetres);
    s.drms2Metres = 2.0 * std::sqrt(squaresEast / count + squaresNorth / count);
    std::sort(m_radii.begin(), m_radii.end());
    s.cep50Metres = percentile(m_radii, 0.50);
    s.cep95Metres = percentile(m_radii, 0.95);

    if (hdops > 0) {
        s.meanHdop = sumHdop / static_cast<double>(hdops);
        s.receiverEstimateMetres =
            static_cast<double>(estimatedPositionErrorFeet(static_cast<float>(*s.meanHdop))) /
            kFeetPerMetre;
    }
    s.moving = m_fixes.newest().fix.speedKnots > kMovingKnots;
    m_summary = s;
}

std::string AccuracyStatistics::csv() const
{
    const std::vector<ScatterPoint>& scatter = this->scatter();
    std::string text = "time_s,latitude_deg,longitude_deg,height_m,east_m,north_m,hdop,speed_kn\n";
    for (std::size_t i = 0; i < m_fixes.size(); ++i) {
        const FixSample& fix = m_fixes[i].fix;
        // The file is read by spreadsheets and scripts: a decimal point under any locale.
        const std::string hdop = fix.hdop && std::isfinite(*fix.hdop)
            ? formatText("%.2f", static_cast<double>(*fix.hdop)) : std::string();
        text += formatText("%.3f,%.9f,%.9f,%.3f,%.4f,%.4f,%s,%.3f\n",
                           fix.timeSeconds, fix.position.latitudeDegrees,
                           fix.position.longitudeDegrees, fix.position.heightMetres,
                           scatter[i].eastMetres, scatter[i].northMetres, hdop.c_str(),
                           static_cast<double>(fix.speedKnots));
    }
    return text;
}
