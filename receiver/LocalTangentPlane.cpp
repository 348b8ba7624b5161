// SPDX-License-Identifier: BSD-2-Clause
#include "receiver/LocalTangentPlane.h"

#include <cmath>
#include <numbers>

namespace {

constexpr double kSemiMajorAxisMetres = 6378137.0;
constexpr double kFlattening = 1.0 / 298.257223563;
constexpr double kEccentricitySquared = kFlattening * (2.0 - kFlattening);

constexpr double radians(double degrees)
{
    return degrees * std::numbers::pi / 180.0;
}

constexpr double degrees(double radians)
{
    return radians * 180.0 / std::numbers::pi;
}

// Radius of curvature in the prime vertical.
double primeVerticalRadius(double sinLatitude)
{
    return kSemiMajorAxisMetres / std::sqrt(1.0 - kEccentricitySquared * sinLatitude * sinLatitude);
}

}  // namespace

LocalTangentPlane::LocalTangentPlane(const GeodeticPosition& origin)
    : m_origin(origin),
      m_originXyz(toEarthCentred(origin)),
      m_sinLatitude(std::sin(radians(origin.latitudeDegrees))),
      m_cosLatitude(std::cos(radians(origin.latitudeDegrees))),
      m_sinLongitude(std::sin(radians(origin.longitudeDegrees))),
      m_cosLongitude(std::cos(radians(origin.longitudeDegrees)))
{
}

std::array<double, 3> LocalTangentPlane::toEarthCentred(const GeodeticPosition& position)
{
    const double latitude = radians(position.latitudeDegrees);
    const double longitude = radians(position.longitudeDegrees);
    const double sinLatitude = std::sin(latitude);
    const double n = primeVerticalRadius(sinLatitude);
    const double h = position.heightMetres;
    return {(n + h) * std::cos(latitude) * std::cos(longitude),
            (n + h) * std::cos(latitude) * std::sin(longitude),
            (n * (1.0 - kEccentricitySquared) + h) * sinLatitude};
}

GeodeticPosition LocalTangentPlane::fromEarthCentred(const std::array<double, 3>& xyz)
{
    const double p = std::hypot(xyz[0], xyz[1]);
    const double longitude = std::atan2(xyz[1], xyz[0]);
    // Fixed-point iteration on the latitude; near the surface five rounds settle it far
    // below a micrometre. The height formula holds at the poles too, where p is 0.
    double latitude = std::atan2(xyz[2], p * (1.0 - kEccentricitySquared));
    double height = 0.0;
    for (int round = 0; round < 5; ++round) {
        const double sinLatitude = std::sin(latitude);
        const double n = primeVerticalRadius(sinLatitude);
        height = p * std::cos(latitude) + xyz[2] * sinLatitude -
                 kSemiMajorAxisMetres * kSemiMajorAxisMetres / n;
        latitude = std::atan2(xyz[2], p * (1.0 - kEccentricitySquared * n / (n + height)));
    }
    return {degrees(latitude), degrees(longitude), height};
}

LocalOffset LocalTangentPlane::toLocal(const GeodeticPosition& position) const
{
    const auto xyz = toEarthCentred(position);
    const double dx = xyz[0] - m_originXyz[0];
    const double dy = xyz[1] - m_originXyz[1];
    const double dz = xyz[2] - m_originXyz[2];
    return {-m_sinLongitude * dx + m_cosLongitude * dy,
            -m_sinLatitude * m_cosLongitude * dx - m_sinLatitude * m_sinLongitude * dy +
                m_cosLatitude * dz,
            m_cosLatitude * m_cosLongitude * dx + m_cosLatitude * m_sinLongitude * dy +
                m_sinLatitude * dz};
}

GeodeticPosition LocalTangentPlane::toGeodetic(const LocalOffset& offset) const
{
    const double e = offset.eastMetres;
    const double n = offset.northMetres;
    const double u = offset.upMetres;
    return fromEarthCentred({
        m_originXyz[0] - m_sinLongitude * e - m_sinLatitude * m_cosLongitude * n +
            m_cosLatitude * m_cosLongitude * u,
        m_originXyz[1] + m_cosLongitude * e - m_sinLatitude * m_sinLongitude * n +
            m_cosLatitude * m_sinLongitude * u,
        m_originXyz[2] + m_cosLatitude * n + m_sinLatitude * u,
    });
}
