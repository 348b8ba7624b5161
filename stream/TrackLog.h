// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/ByteBuffer.h"
#include "nmea/Sentences.h"

// One fix of a track, gathered from the sentences of one cycle (RMC, GGA, GSA).
struct TrackPoint {
    std::string timeUtc;                 // "2024-03-01T12:21:11Z"; empty before a date is known
    double latitudeDegrees = 0.0;        // north positive
    double longitudeDegrees = 0.0;       // east positive
    std::optional<double> altitudeMeters;  // above mean sea level
    std::optional<double> speedMetersPerSecond;
    std::optional<double> courseDegrees;   // true
    std::string fix;                       // "2d", "3d" or "dgps"
    std::optional<double> hdop;
    std::optional<int> satellites;         // used in the fix
};

// The fixes of a session or a recorded log, for export as a track. Sentences come in
// verified (as the reader hands them on, or as read from a log with its checksum checked);
// those of one cycle share a UTC time and make one point when their position is valid.
// Points are kept compactly and up to kMaxBytes of them (kMaxPoints, some 36 hours at one
// fix a second, 3.6 at ten), so a fast stream cannot grow the window without end; later
// fixes are counted, not kept. Thread-safe: the reader thread adds, the main thread
// reads.
class TrackLog {
    // One kept point: numbers as sent (NaN: not sent), the time as packed digits.
    struct StoredPoint {
        double latitudeDegrees;
        double longitudeDegrees;
        double altitudeMeters;
        double speedMetersPerSecond;
        double courseDegrees;
        double hdop;
        std::uint32_t date;  // yyyymmdd; 0: no time
        std::uint32_t time;  // hhmmss
        std::int16_t satellites;  // -1: not sent
        std::uint8_t fix;         // index into the fix names
    };

public:
    static constexpr std::size_t kMaxBytes = 8u << 20;
    static constexpr std::size_t kMaxPoints = kMaxBytes / sizeof(StoredPoint);

    void addSentence(const ByteBuffer& verified);
    // The points so far, the cycle in progress included.
    std::vector<TrackPoint> points() const;
    std::size_t pointsNotKept() const;

    // Every fix of a log file; lines with a bad checksum are skipped. Nothing, with error
    // set, when the file cannot be read.
    static std::optional<std::vector<TrackPoint>> fromLog(const std::string& path,
                                                          std::string& error);

private:
    struct Cycle {
        // The cycle's time: "123519" and "123519.00" are one. A time that is not a time of
        // day still marks a cycle, by its text.
        std::optional<UtcTime> time;
        std::string refusedTime;
        bool valid = false;
        TrackPoint point;
    };
    void finishCycle();
    static StoredPoint pack(const TrackPoint& point);
    static TrackPoint unpack(const StoredPoint& point);

    mutable std::mutex m_mutex;
    // In blocks, not one array: no doubling of the reserve as it grows, no copy of it all.
    std::deque<StoredPoint> m_points;
    std::size_t m_notKept = 0;
    Cycle m_cycle;
    std::string m_date;  // "2024-03-01", from the last RMC
    std::optional<int> m_gsaMode;
    std::optional<double> m_gsaHdop;
};
