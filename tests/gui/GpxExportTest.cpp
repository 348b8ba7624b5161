// SPDX-License-Identifier: BSD-2-Clause
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "GuiTestApp.h"
#include "qt/GpxExport.h"

namespace {

using qtplatform::GpxExport;

struct ReadPoint {
    double lat = 0, lon = 0;
    QString ele, time, fix, sat, hdop, speed, course;
};

// Reads the file back the way a GPX reader does: by namespace and element name.
std::vector<ReadPoint> readBack(const QString& path, QString& version)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    std::vector<ReadPoint> points;
    const QString gpx = QString::fromLatin1(GpxExport::kGpxNamespace);
    const QString ext = QString::fromLatin1(GpxExport::kExtensionNamespace);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const auto name = xml.name();
        if (xml.namespaceUri() == gpx && name == QLatin1String("gpx")) {
            version = xml.attributes().value(QLatin1String("version")).toString();
        } else if (xml.namespaceUri() == gpx && name == QLatin1String("trkpt")) {
            ReadPoint point;
            point.lat = xml.attributes().value(QLatin1String("lat")).toDouble();
            point.lon = xml.attributes().value(QLatin1String("lon")).toDouble();
            points.push_back(point);
        } else if (!points.empty()) {
            ReadPoint& point = points.back();
            QString* target = nullptr;
            if (xml.namespaceUri() == gpx) {
                target = name == QLatin1String("ele")    ? &point.ele
                         : name == QLatin1String("time") ? &point.time
                         : name == QLatin1String("fix")  ? &point.fix
                         : name == QLatin1String("sat")  ? &point.sat
                         : name == QLatin1String("hdop") ? &point.hdop
                                                         : nullptr;
            } else if (xml.namespaceUri() == ext) {
                target = name == QLatin1String("speed")    ? &point.speed
                         : name == QLatin1String("course") ? &point.course
                                                           : nullptr;
            }
            if (target) *target = xml.readElementText();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return points;
}

TEST(GpxExportTest, WritesATrackThatReadsBack)
{
    guiTestApp();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("drive.gpx"));
    TrackPoint full;
    full.timeUtc = "2024-03-01T12:21:11Z";
    full.latitudeDegrees = 48.16320333;
    full.longitudeDegrees = -11.52525167;
    full.altitudeMeters = 568.9;
    full.speedMetersPerSecond = 0.9;
    full.courseDegrees = 299.9;
    full.fix = "3d";
    full.hdop = 1.2;
    full.satellites = 11;
    TrackPoint bare;  // position only: no empty elements written for the rest
    bare.latitudeDegrees = -33.5;
    bare.longitudeDegrees = 151.25;
    QString error;
    ASSERT_TRUE(GpxExport::write({full, bare}, path, QStringLiteral("Drive <1> & more"), error))
        << error.toStdString();

    QString version;
    const auto points = readBack(path, version);
    EXPECT_EQ(version, QStringLiteral("1.1"));
    ASSERT_EQ(points.size(), 2u);
    EXPECT_DOUBLE_EQ(points[0].lat, 48.16320333);
    EXPECT_DOUBLE_EQ(points[0].lon, -11.52525167);
    EXPECT_EQ(points[0].ele, QStringLiteral("568.9"));
    EXPECT_EQ(points[0].time, QStringLiteral("2024-03-01T12:21:11Z"));
    EXPECT_EQ(points[0].fix, QStringLiteral("3d"));
    EXPECT_EQ(points[0].sat, QStringLiteral("11"));
    EXPECT_EQ(points[0].hdop, QStringLiteral("1.2"));
    EXPECT_EQ(points[0].speed, QStringLiteral("0.90"));
    EXPECT_EQ(points[0].course, QStringLiteral("299.9"));
    EXPECT_EQ(points[1].lat, -33.5);
    EXPECT_TRUE(points[1].ele.isEmpty() && points[1].time.isEmpty() && points[1].speed.isEmpty());

    // Debian's xmllint, where present, as a second reader.
    const QString xmllint = QStandardPaths::findExecutable(QStringLiteral("xmllint"));
    if (!xmllint.isEmpty()) {
        EXPECT_EQ(QProcess::execute(xmllint, {QStringLiteral("--noout"), path}), 0);
    }
}

TEST(GpxExportTest, FailureLeavesTheEarlierFileAndSaysWhy)
{
    guiTestApp();
    QString error;
    EXPECT_FALSE(GpxExport::write({}, QStringLiteral("/nonexistent/dir/x.gpx"), {}, error));
    EXPECT_FALSE(error.isEmpty());
}

// A name in a shared folder may be a link someone planted; the file behind it keeps its content.
TEST(GpxExportTest, PlantedLinkIsRefusedAndItsTargetKept)
{
    guiTestApp();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString victim = dir.filePath(QStringLiteral("victim.conf"));
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("precious\n");
    }
    const QString link = dir.filePath(QStringLiteral("track.gpx"));
    ASSERT_TRUE(QFile::link(victim, link));
    QString error;
    EXPECT_FALSE(GpxExport::write({}, link, {}, error));
    EXPECT_FALSE(error.isEmpty());
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("precious\n"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    // Nothing is left behind by the refused export.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2);
}

}  // namespace

TEST(GpxExportTest, ANameWithoutExtensionGetsGpx)
{
    const struct {
        const char* chosen;
        const char* written;
    } cases[] = {{"/home/u/trip", "/home/u/trip.gpx"},
                 {"/home/u/trip.gpx", "/home/u/trip.gpx"},
                 {"/home/u/trip.xml", "/home/u/trip.xml"},
                 {"/home/u/v1.2/trip", "/home/u/v1.2/trip.gpx"},
                 {"/home/u/.trip", "/home/u/.trip.gpx"},
                 {"", ""}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.chosen);
        EXPECT_EQ(GpxExport::withGpxSuffix(QString::fromUtf8(entry.chosen)), QString::fromUtf8(entry.written));
    }
}
