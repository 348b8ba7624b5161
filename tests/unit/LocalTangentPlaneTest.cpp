// SPDX-License-Identifier: BSD-2-Clause
#include "receiver/LocalTangentPlane.h"

#include <cmath>
#include <numbers>

#include <gtest/gtest.h>

namespace {

constexpr double kA = 6378137.0;
constexpr double kF = 1.0 / 298.257223563;
constexpr double kB = kA * (1.0 - kF);
constexpr double kE2 = kF * (2.0 - kF);
constexpr double kRad = std::numbers::pi / 180.0;

struct Geodesic {
    double metres;
    double azimuthRadians;  // at the first point, clockwise from north
};

// Vincenty's inverse solution on the WGS-84 ellipsoid: an independent way to the distance
// and direction from one point to another.
Geodesic vincenty(double lat1, double lon1, double lat2, double lon2)
{
    const double u1 = std::atan((1 - kF) * std::tan(lat1 * kRad));
    const double u2 = std::atan((1 - kF) * std::tan(lat2 * kRad));
    const double l = (lon2 - lon1) * kRad;
    double lambda = l, sinSigma = 0, cosSigma = 0, sigma = 0, cos2Alpha = 0, cos2SigmaM = 0;
    for (int i = 0; i < 200; ++i) {
        const double sinLambda = std::sin(lambda), cosLambda = std::cos(lambda);
        sinSigma = std::hypot(std::cos(u2) * sinLambda,
                              std::cos(u1) * std::sin(u2) - std::sin(u1) * std::cos(u2) * cosLambda);
        cosSigma = std::sin(u1) * std::sin(u2) + std::cos(u1) * std::cos(u2) * cosLambda;
        sigma = std::atan2(sinSigma, cosSigma);
        const double sinAlpha = std::cos(u1) * std::cos(u2) * sinLambda / sinSigma;
        cos2Alpha = 1 - sinAlpha * sinAlpha;
        cos2SigmaM = cos2Alpha != 0 ? cosSigma - 2 * std::sin(u1) * std::sin(u2) / cos2Alpha : 0;
        const double c = kF / 16 * cos2Alpha * (4 + kF * (4 - 3 * cos2Alpha));
        const double previous = lambda;
        lambda = l + (1 - c) * kF * sinAlpha *
                         (sigma + c * sinSigma * (cos2SigmaM + c * cosSigma * (-1 + 2 * cos2SigmaM * cos2SigmaM)));
        if (std::fabs(lambda - previous) < 1e-14) break;
    }
    const double uSq = cos2Alpha * (kA * kA - kB * kB) / (kB * kB);
    const double a = 1 + uSq / 16384 * (4096 + uSq * (-768 + uSq * (320 - 175 * uSq)));
    const double b = uSq / 1024 * (256 + uSq * (-128 + uSq * (74 - 47 * uSq)));
    const double deltaSigma =
        b * sinSigma *
        (cos2SigmaM + b / 4 * (cosSigma * (-1 + 2 * cos2SigmaM * cos2SigmaM) -
                               b / 6 * cos2SigmaM * (-3 + 4 * sinSigma * sinSigma) *
                                   (-3 + 4 * cos2SigmaM * cos2SigmaM)));
    const double azimuth = std::atan2(std::cos(u2) * std::sin(lambda),
                                      std::cos(u1) * std::sin(u2) - std::sin(u1) * std::cos(u2) * std::cos(lambda));
    return {kB * a * (sigma - deltaSigma), azimuth};
}

}  // namespace

// A point on the ellipsoid seen from another lies below the first one's horizon; over a few
// kilometres the surface between them is an arc of the normal section's radius of curvature
// (Euler's formula), so its horizontal distance is R sin(s / R) along the geodesic's azimuth.
TEST(LocalTangentPlaneTest, EastNorthAgreeWithTheGeodesicToAMillimetreOverTenKilometres)
{
    const struct {
        double lat1, lon1, lat2, lon2;
    } cases[] = {
        {38.11049, -122.62690, 38.17000, -122.58000},   // ~7.6 km north-east
        {38.11049, -122.62690, 38.02100, -122.62690},   // ~9.9 km due south
        {0.0, 179.95, 0.02, -179.97},                   // across the date line
        {-33.9, 18.4, -33.93, 18.5},                    // ~9.8 km east-south-east
        {60.0, 10.0, 60.0, 10.179},                     // ~9.97 km due east, far north
        {89.95, 0.0, 89.95, 90.0},                      // near the pole
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lat1 << "," << c.lon1 << " -> " << c.lat2 << "," << c.lon2);
        const Geodesic g = vincenty(c.lat1, c.lon1, c.lat2, c.lon2);
        ASSERT_LE(g.metres, 10000.0);
        ASSERT_GE(g.metres, 1000.0);
        const double w = std::sqrt(1 - kE2 * std::pow(std::sin(c.lat1 * kRad), 2));
        const double meridian = kA * (1 - kE2) / (w * w * w);
        const double primeVertical = kA / w;
        const double radius = 1.0 / (std::pow(std::cos(g.azimuthRadians), 2) / meridian +
                                     std::pow(std::sin(g.azimuthRadians), 2) / primeVertical);
        const double horizontal = radius * std::sin(g.metres / radius);

        const LocalTangentPlane plane({c.lat1, c.lon1, 0.0});
        const LocalOffset local = plane.toLocal({c.lat2, c.lon2, 0.0});
        EXPECT_NEAR(local.eastMetres, horizontal * std::sin(g.azimuthRadians), 0.001);
        EXPECT_NEAR(local.northMetres, horizontal * std::cos(g.azimuthRadians), 0.001);
        EXPECT_NEAR(local.upMetres, -radius * (1 - std::cos(g.metres / radius)), 0.001);
    }
}

TEST(LocalTangentPlaneTest, OnTheEquatorEastIsTheSineOfTheLongitudeStep)
{
    // Checked by hand: the equator is a circle of radius a, so 0.001° east lies
    // a sin(0.001°) = 111.31949079 m east and a (1 - cos 0.001°) = 0.00097 m below.
    const LocalTangentPlane plane({0.0, 0.0, 0.0});
    const LocalOffset local = plane.toLocal({0.0, 0.001, 0.0});
    EXPECT_NEAR(local.eastMetres, 111.31949079, 1e-6);
    EXPECT_NEAR(local.northMetres, 0.0, 1e-9);
    EXPECT_NEAR(local.upMetres, -0.00097146, 1e-6);
}

TEST(LocalTangentPlaneTest, BackFromLocalMetresGivesThePlaceAgain)
{
    const struct {
        double lat, lon, h;
    } places[] = {{38.11049, -122.62690, 83.1}, {-89.999, 45.0, 0.0}, {0.0, 180.0, -30.0}, {51.5, -0.12, 3000.0}};
    for (const auto& p : places) {
        SCOPED_TRACE(testing::Message() << p.lat << "," << p.lon);
        const LocalTangentPlane plane({p.lat, p.lon, p.h});
        const LocalOffset offset{1234.5, -987.25, 12.0};
        const GeodeticPosition there = plane.toGeodetic(offset);
        const LocalOffset back = plane.toLocal(there);
        EXPECT_NEAR(back.eastMetres, offset.eastMetres, 1e-6);
        EXPECT_NEAR(back.northMetres, offset.northMetres, 1e-6);
        EXPECT_NEAR(back.upMetres, offset.upMetres, 1e-6);
        const GeodeticPosition origin = plane.toGeodetic({});
        EXPECT_NEAR(origin.latitudeDegrees, p.lat, 1e-10);
        EXPECT_NEAR(origin.heightMetres, p.h, 1e-6);
    }
}
