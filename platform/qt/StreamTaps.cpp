#include "platform/qt/StreamTaps.h"

#include <cstring>

#include <QFileInfo>

#include "app/GPSController.h"
#include "core/Alert.h"
#include "platform/Application.h"
#include "platform/qt/GpxExport.h"

namespace qtplatform {

namespace {

std::string text(const char* key)
{
    return Alert::localizedStringWithKey(key);
}

std::string sizeText(std::uint64_t bytes)
{
    char buffer[32];
    if (bytes < 10'000)
        std::snprintf(buffer, sizeof buffer, "%llu B", static_cast<unsigned long long>(bytes));
    else if (bytes < 10'000'000)
        std::snprintf(buffer, sizeof buffer, "%.1f kB", static_cast<double>(bytes) / 1e3);
    else
        std::snprintf(buffer, sizeof buffer, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return buffer;
}

}  // namespace

StreamTaps::StreamTaps(GPSController& controller, platform::MainThread& mainThread)
    : m_controller(controller), m_mainThread(mainThread)
{
    m_recorder.setStopListener([this](StreamRecorder::StopReason reason, int error) {
        const std::string why = reason == StreamRecorder::StopReason::WriteFailed
                                    ? text("NSRecordingWriteFailed") + " (" + std::strerror(error) + ")"
                                    : text("NSRecordingTooSlow");
        monitor(why + " " + m_recorder.path());
    });
    m_share.setEventListener([this](NmeaShare::Event event, const std::string& peer) {
        const char* key = event == NmeaShare::Event::Connected ? "NSShareClientConnected"
                          : event == NmeaShare::Event::Closed  ? "NSShareClientClosed"
                          : event == NmeaShare::Event::Dropped ? "NSShareClientDropped"
                                                               : "NSShareClientRefused";
        monitor(text(key) + " " + peer);
    });
    m_sizeTimer.setInterval(60'000);
    connect(&m_sizeTimer, &QTimer::timeout, this, [this] { showRecordingSize(); });
}

StreamTaps::~StreamTaps()
{
    *m_alive = false;
    m_share.stop();
    m_recorder.stop();
}

void StreamTaps::monitor(const std::string& line)
{
    m_mainThread.post([alive = m_alive, controller = &m_controller, line] {
        if (*alive) controller->updateMonitor("#### " + line);
    });
}

bool StreamTaps::startRecording(const std::string& path, const std::string& port,
                                const std::string& rate, std::string& error)
{
    if (!m_recorder.start(path, port, rate)) {
        error = m_recorder.error();
        return false;
    }
    monitor(text("NSRecordingStarted") + " " + path);
    m_sizeTimer.start();
    return true;
}

void StreamTaps::showRecordingSize()
{
    if (!m_recorder.recording()) {
        m_sizeTimer.stop();
        return;
    }
    monitor(text("NSRecording") + " " + m_recorder.path() + ": " + sizeText(m_recorder.bytesWritten()));
}

void StreamTaps::stopRecording()
{
    if (!m_recorder.recording()) return;
    m_recorder.stop();
    m_sizeTimer.stop();
    monitor(text("NSRecordingEnded") + " " + m_recorder.path() + ": "
            + sizeText(m_recorder.bytesWritten()));
}

bool StreamTaps::startSharing(const NmeaShare::Options& options, std::string& error)
{
    if (!m_share.start(options)) {
        error = m_share.error();
        return false;
    }
    std::string where;
    if (options.tcp)
        where = (options.address.find(':') != std::string::npos ? "[" + options.address + "]"
                                                                : options.address)
                + ":" + std::to_string(m_share.boundPort());
    if (!m_share.ptyPath().empty())
        where += (where.empty() ? "" : ", ") + options.ptyLink + " -> " + m_share.ptyPath();
    monitor(text("NSShareStarted") + " " + where);
    return true;
}

bool StreamTaps::exportGpx(const std::string& gpxPath, const std::string& logPath,
                           std::string& error)
{
    std::vector<TrackPoint> points;
    if (logPath.empty()) {
        points = m_session.points();
    } else {
        auto read = TrackLog::fromLog(logPath, error);
        if (!read) {
            error = text("NSExportGPXFailed") + " " + error;
            return false;
        }
        points = std::move(*read);
    }
    QString why;
    const QString name = QString::fromStdString(logPath.empty() ? gpxPath : logPath);
    if (!GpxExport::write(points, QString::fromStdString(gpxPath), QFileInfo(name).completeBaseName(), why)) {
        error = text("NSExportGPXFailed") + " " + why.toStdString();
        return false;
    }
    return true;
}

void StreamTaps::stopSharing()
{
    if (m_share.running()) monitor(text("NSShareEnded"));
    m_share.stop();
}

}  // namespace qtplatform
