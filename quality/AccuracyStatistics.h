// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "receiver/LocalTangentPlane.h"
#include "base/RingBuffer.h"

// One position fix as the accuracy test keeps it.
struct FixSample {
    double timeSeconds = 0.0;        // the session clock; only differences matter
    GeodeticPosition position;
    std::optional<float> hdop;       // nothing when the receiver sent none
    float speedKnots = 0.0f;
};

// East/north metres of one fix around the mean of all kept fixes.
struct ScatterPoint {
    double eastMetres = 0.0;
    double northMetres = 0.0;
};

// The figures of the kept fixes. Standard deviations are those of the points themselves
// (divided by n, not n - 1); radii are distances from the mean position.
struct AccuracySummary {
    std::size_t points = 0;
    GeodeticPosition mean;
    double sigmaEastMetres = 0.0;
    double sigmaNorthMetres = 0.0;
    double cep50EstimateMetres = 0.0;  // 0.5887 (σE + σN)
    double cep50Metres = 0.0;          // empirical: half the points lie closer to the mean
    double cep95Metres = 0.0;          // empirical: 95 % of the points lie closer
    double drms2Metres = 0.0;          // 2 √(σE² + σN²)
    std::optional<double> meanHdop;
    // The receiver's own estimate: the sky plot's position error for the mean HDOP, metres.
    std::optional<double> receiverEstimateMetres;
    bool moving = false;               // the newest fix was faster than kMovingKnots
};

// Accuracy while standing still, over the newest fixes (600 by default: ten minutes at 1 Hz).
// Memory is fixed at construction. Main thread only.
class AccuracyStatistics {
public:
    static constexpr std::size_t kDefaultCapacity = 600;
    static constexpr float kMovingKnots = 0.5f;

    explicit AccuracyStatistics(std::size_t capacity = kDefaultCapacity);

    // A fix with a latitude or longitude out of range, or not a number, is dropped: false.
    bool add(const FixSample& fix);
    // Starts over with no fixes.
    void reset();

    std::size_t size() const { return m_fixes.size(); }
    std::size_t capacity() const { return m_fixes.capacity(); }
    // Nothing before the first fix.
    // Worked out when asked, not at every fix: a fast stream adds far more fixes than anyone
    // looks at.
    const std::optional<AccuracySummary>& summary() const
    {
        if (m_stale) summarise();
        return m_summary;
    }
    // Every kept fix around the mean, oldest first.
    const std::vector<ScatterPoint>& scatter() const
    {
        if (m_stale) summarise();
        return m_scatter;
    }
    // The kept fixes as comma-separated text with a header line, oldest first.
    std::string csv() const;

    // The value below which the given share (0..1) of the sorted values lies, interpolated
    // linearly between neighbouring ranks; 0 for no values.
    static double percentile(const std::vector<double>& sorted, double share);

private:
    struct Kept {
        FixSample fix;
        // From m_plane's origin; worked out again for a new origin with the summary.
        mutable LocalOffset offset;
    };

    void rebase() const;  // the offsets from m_plane's origin
    void summarise() const;

    RingBuffer<Kept> m_fixes;
    LocalTangentPlane m_plane{GeodeticPosition{}};
    // The summary and the scatter are a cache of the kept fixes.
    mutable bool m_stale = false;
    mutable bool m_offsetsStale = false;  // the origin moved since the offsets were worked out
    mutable std::optional<AccuracySummary> m_summary;
    mutable std::vector<ScatterPoint> m_scatter;
    mutable std::vector<double> m_radii;  // scratch, kept to spare an allocation per fix
};
