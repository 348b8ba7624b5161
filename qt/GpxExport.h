// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <vector>

#include <QString>

#include "stream/TrackLog.h"

namespace qtplatform {

// Writes fixes as a GPX 1.1 track: position, altitude, time, fix type, satellites used and
// HDOP in the standard elements; speed (m/s) and course (degrees true), which GPX 1.1 has
// no element for, in the widely read TrackPointExtension v2. The file is replaced only when
// written whole, so a failure leaves an earlier file as it was.
class GpxExport {
public:
    static constexpr const char* kGpxNamespace = "http://www.topografix.com/GPX/1/1";
    static constexpr const char* kExtensionNamespace =
        "http://www.garmin.com/xmlschemas/TrackPointExtension/v2";

    // False, with error set (the system's reason), when the file cannot be written.
    static bool write(const std::vector<TrackPoint>& points, const QString& path,
                      const QString& trackName, QString& error);
    // The name a chosen file is written under: ".gpx" added when the name has no
    // extension of its own ("trip" -> "trip.gpx"; "trip.xml" and "v1.2/trip.gpx" kept).
    static QString withGpxSuffix(const QString& path);
};

}  // namespace qtplatform
