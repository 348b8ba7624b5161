// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <array>

// A place on the WGS-84 ellipsoid: latitude and longitude in degrees (north and east
// positive), height in metres above the ellipsoid.
struct GeodeticPosition {
    double latitudeDegrees = 0.0;
    double longitudeDegrees = 0.0;
    double heightMetres = 0.0;
};

// Metres east, north and up of a reference point, along its local horizon.
struct LocalOffset {
    double eastMetres = 0.0;
    double northMetres = 0.0;
    double upMetres = 0.0;
};

// The local east/north/up frame at a reference point. Conversions go through earth-centred,
// earth-fixed coordinates, so they stay exact (to well under a millimetre) kilometres away
// from the reference, near the poles and across the date line, where scaling degrees by a
// metres-per-degree factor would not.
class LocalTangentPlane {
public:
    explicit LocalTangentPlane(const GeodeticPosition& origin);

    const GeodeticPosition& origin() const { return m_origin; }

    LocalOffset toLocal(const GeodeticPosition& position) const;
    GeodeticPosition toGeodetic(const LocalOffset& offset) const;

    // Earth-centred, earth-fixed metres (x through 0°/0°, z through the north pole).
    static std::array<double, 3> toEarthCentred(const GeodeticPosition& position);
    static GeodeticPosition fromEarthCentred(const std::array<double, 3>& xyz);

private:
    GeodeticPosition m_origin;
    std::array<double, 3> m_originXyz{};
    double m_sinLatitude = 0.0;
    double m_cosLatitude = 1.0;
    double m_sinLongitude = 0.0;
    double m_cosLongitude = 1.0;
};
