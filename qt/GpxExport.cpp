// SPDX-License-Identifier: BSD-2-Clause
#include "qt/GpxExport.h"

#include <QFileInfo>

#include <QDateTime>
#include <QFile>
#include <QXmlStreamWriter>

#include "stream/OutputFile.h"

namespace qtplatform {

namespace {

QString decimal(double value, int digits)
{
    return QString::number(value, 'f', digits);
}

}  // namespace

bool GpxExport::write(const std::vector<TrackPoint>& points, const QString& path,
                      const QString& trackName, QString& error)
{
    // A new file that takes the name once written whole, without following a link planted
    // at the name.
    OutputFile output;
    std::string why;
    QFile file;
    if (!output.beginReplacing(path.toStdString(), why)) {
        error = QString::fromStdString(why);
        return false;
    }
    if (!file.open(output.descriptor(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
        error = file.errorString();
        return false;
    }
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(1);
    xml.writeStartDocument();
    xml.writeDefaultNamespace(QString::fromLatin1(kGpxNamespace));
    xml.writeNamespace(QString::fromLatin1(kExtensionNamespace), QStringLiteral("gpxtpx"));
    xml.writeNamespace(QStringLiteral("http://www.w3.org/2001/XMLSchema-instance"), QStringLiteral("xsi"));
    xml.writeStartElement(QString::fromLatin1(kGpxNamespace), QStringLiteral("gpx"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
    xml.writeAttribute(QStringLiteral("creator"), QStringLiteral("GPS Desk " GPSDESK_VERSION));
    xml.writeAttribute(QStringLiteral("http://www.w3.org/2001/XMLSchema-instance"),
                       QStringLiteral("schemaLocation"),
                       QStringLiteral("http://www.topografix.com/GPX/1/1 "
                                      "http://www.topografix.com/GPX/1/1/gpx.xsd"));
    xml.writeStartElement(QStringLiteral("metadata"));
    xml.writeTextElement(QStringLiteral("time"),
                         QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    xml.writeEndElement();

    xml.writeStartElement(QStringLiteral("trk"));
    if (!trackName.isEmpty()) xml.writeTextElement(QStringLiteral("name"), trackName);
    xml.writeStartElement(QStringLiteral("trkseg"));
    const QString ext = QString::fromLatin1(kExtensionNamespace);
    for (const TrackPoint& point : points) {
        xml.writeStartElement(QStringLiteral("trkpt"));
        xml.writeAttribute(QStringLiteral("lat"), decimal(point.latitudeDegrees, 8));
        xml.writeAttribute(QStringLiteral("lon"), decimal(point.longitudeDegrees, 8));
        // The order of these elements is fixed by the schema.
        if (point.altitudeMeters)
            xml.writeTextElement(QStringLiteral("ele"), decimal(*point.altitudeMeters, 1));
        if (!point.timeUtc.empty())
            xml.writeTextElement(QStringLiteral("time"), QString::fromStdString(point.timeUtc));
        if (!point.fix.empty())
            xml.writeTextElement(QStringLiteral("fix"), QString::fromStdString(point.fix));
        if (point.satellites && *point.satellites >= 0)
            xml.writeTextElement(QStringLiteral("sat"), QString::number(*point.satellites));
        if (point.hdop) xml.writeTextElement(QStringLiteral("hdop"), decimal(*point.hdop, 1));
        if (point.speedMetersPerSecond || point.courseDegrees) {
            xml.writeStartElement(QStringLiteral("extensions"));
            xml.writeStartElement(ext, QStringLiteral("TrackPointExtension"));
            if (point.speedMetersPerSecond)
                xml.writeTextElement(ext, QStringLiteral("speed"), decimal(*point.speedMetersPerSecond, 2));
            if (point.courseDegrees)
                xml.writeTextElement(ext, QStringLiteral("course"), decimal(*point.courseDegrees, 1));
            xml.writeEndElement();
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();  // trkseg
    xml.writeEndElement();  // trk
    xml.writeEndElement();  // gpx
    xml.writeEndDocument();
    if (xml.hasError() || !file.flush()) {
        error = file.errorString();
        return false;
    }
    file.close();
    if (!output.commit(why)) {
        error = QString::fromStdString(why);
        return false;
    }
    return true;
}

QString GpxExport::withGpxSuffix(const QString& path)
{
    if (path.isEmpty()) return path;
    const QString name = QFileInfo(path).fileName();
    // A leading dot names a hidden file, not an extension.
    if (name.isEmpty() || name.lastIndexOf(u'.') > 0) return path;
    return path + QStringLiteral(".gpx");
}

}  // namespace qtplatform
