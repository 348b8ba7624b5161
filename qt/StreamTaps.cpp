// SPDX-License-Identifier: BSD-2-Clause
#include "qt/StreamTaps.h"

#include <cstdio>
#include <cstring>

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QVBoxLayout>
#include <QPushButton>

#include "app/GPSController.h"
#include "platform/Alert.h"
#include "platform/Application.h"
#include "platform/Preferences.h"
#include "platform/Services.h"
#include "qt/GpxExport.h"
#include "qt/MainWindow.h"
#include "qt/ShareSettings.h"
#include "sim/ReplayLog.h"

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
                                    ? text("RecordingWriteFailed") + " (" + std::strerror(error) + ")"
                                    : text("RecordingTooSlow");
        recordingStopped(why + " " + m_recorder.path());
    });
    m_share.setEventListener([this](NmeaShare::Event event, const std::string& peer) {
        const char* key = event == NmeaShare::Event::Connected ? "ShareClientConnected"
                          : event == NmeaShare::Event::Closed  ? "ShareClientClosed"
                          : event == NmeaShare::Event::Dropped ? "ShareClientDropped"
                          : event == NmeaShare::Event::Replaced ? "ShareClientReplaced"
                                                               : "ShareClientRefused";
        monitor(text(key) + " " + peer);
    });
    m_sizeTimer.setInterval(60'000);
    connect(&m_sizeTimer, &QTimer::timeout, this, [this] { showRecordingSize(); });
}

void StreamTaps::attachTo(MainWindow& window)
{
    QWidget* parent = window.window().widget();
    m_window = &window.window();
    const auto qtext = [](const char* key) { return QString::fromStdString(text(key)); };
    window.registerCommand("record", [this, parent, qtext] {
        if (m_recorder.recording()) {
            stopRecording();
            return;
        }
        const QString path = QFileDialog::getSaveFileName(
            parent, qtext("menu.record").remove(QLatin1Char('&')), QString(),
            QStringLiteral("NMEA (*.nmea *.log);;* (*)"));
        if (path.isEmpty()) return;
        const auto preference = [](const char* key) {
            const auto* preferences = platform::services().preferences;
            const auto value = preferences ? preferences->objectForKey(key) : std::nullopt;
            const auto* string = value ? std::get_if<std::string>(&*value) : nullptr;
            return string ? *string : std::string("?");
        };
        std::string error;
        if (!startRecording(path.toStdString(), preference("serialPort"), preference("rate"), error))
            QMessageBox::warning(parent, QString(), qtext("RecordingFailed") + QLatin1Char('\n')
                                                        + QString::fromStdString(error));
    });
    window.registerCommand("replay", [parent, qtext] {
        const QString path = QFileDialog::getOpenFileName(
            parent, qtext("menu.replay").remove(QLatin1Char('&')), QString(),
            QStringLiteral("NMEA (*.nmea *.log *.txt);;* (*)"));
        if (path.isEmpty()) return;
        // Checked here, where the user can be told; the replay window would only say it on
        // its standard error.
        sim::ReplayLog check;
        if (!check.open(path.toStdString())) {
            QMessageBox::warning(parent, QString(), qtext("ReplayFailed") + QLatin1Char('\n')
                                                        + QString::fromStdString(check.error()));
            return;
        }
        // A window of its own: this one keeps its receiver while the log plays.
        if (!QProcess::startDetached(QCoreApplication::applicationFilePath(),
                                     {QStringLiteral("--replay"), path}))
            QMessageBox::warning(parent, QString(), qtext("ReplayFailed"));
    });
    window.registerCommand("exportGpx", [this, parent, qtext] {
        QMessageBox source(QMessageBox::Question, qtext("menu.exportGpx").remove(QLatin1Char('&')),
                           qtext("ExportGPXSource"), QMessageBox::Cancel, parent);
        QPushButton* session = source.addButton(qtext("ExportGPXSession"), QMessageBox::AcceptRole);
        QPushButton* recording = source.addButton(qtext("ExportGPXRecording"), QMessageBox::AcceptRole);
        source.exec();
        QString log;
        if (source.clickedButton() == recording) {
            log = QFileDialog::getOpenFileName(parent, QString(), QString(),
                                               QStringLiteral("NMEA (*.nmea *.log *.txt);;* (*)"));
            if (log.isEmpty()) return;
        } else if (source.clickedButton() != session) {
            return;
        }
        // The dialog adds the extension itself where it can, and asks before replacing the
        // file it then names.
        QFileDialog dialog(parent, qtext("menu.exportGpx").remove(QLatin1Char('&')).remove(QStringLiteral("…")).trimmed(),
                           QString(), QStringLiteral("GPX (*.gpx)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("gpx"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
        const QString gpx = GpxExport::withGpxSuffix(dialog.selectedFiles().constFirst());
        if (gpx.isEmpty()) return;
        std::string error;
        if (!exportGpx(gpx.toStdString(), log.toStdString(), error))
            QMessageBox::warning(parent, QString(), QString::fromStdString(error));
    });

    QtDrawer& pane = window.addPane({"share", "pane.share", "menu.share", QtDrawer::Edge::Right,
                                     QKeySequence(), nullptr});
    auto* layout = new QVBoxLayout(pane.contentView());
    m_shareSettings = new ShareSettings(*this, pane.contentView());
    layout->addWidget(m_shareSettings);
    layout->addStretch(1);
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

void StreamTaps::recordingStopped(const std::string& why)
{
    // A monitor line scrolls away; lost data must be seen, now and by whoever ran us.
    m_recordingFailed.store(true);
    std::fprintf(stderr, "gpsdesk: %s\n", why.c_str());
    monitor(why);
    m_mainThread.post([alive = m_alive, window = m_window, why] {
        if (*alive) Alert::showMessage(window, why);
    });
}

bool StreamTaps::startRecording(const std::string& path, const std::string& port,
                                const std::string& rate, std::string& error)
{
    if (!m_recorder.start(path, port, rate)) {
        error = m_recorder.error();
        return false;
    }
    monitor(text("RecordingStarted") + " " + path);
    m_sizeTimer.start();
    return true;
}

void StreamTaps::showRecordingSize()
{
    if (!m_recorder.recording()) {
        m_sizeTimer.stop();
        return;
    }
    monitor(text("Recording") + " " + m_recorder.path() + ": " + sizeText(m_recorder.bytesWritten()));
}

void StreamTaps::stopRecording()
{
    if (!m_recorder.recording()) return;
    m_recorder.stop();
    m_sizeTimer.stop();
    monitor(text("RecordingEnded") + " " + m_recorder.path() + ": "
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
    monitor(text("ShareStarted") + " " + where);
    // Said wherever the share was started from: beyond this computer, anyone may read along.
    if (options.tcp && !NmeaShare::isLoopback(options.address)) {
        const std::string warning = Alert::localizedStringWithKey("ShareBeyondLoopback", {where});
        std::fprintf(stderr, "gpsdesk: %s\n", warning.c_str());
        monitor(warning);
    }
    if (!m_share.ptyLinkWarning().empty()) {
        std::fprintf(stderr, "gpsdesk: %s\n", m_share.ptyLinkWarning().c_str());
        monitor(m_share.ptyLinkWarning());
    }
    if (m_shareSettings) m_shareSettings->refresh();
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
            error = text("ExportGPXFailed") + " " + error;
            return false;
        }
        points = std::move(*read);
    }
    QString why;
    const QString name = QString::fromStdString(logPath.empty() ? gpxPath : logPath);
    if (!GpxExport::write(points, QString::fromStdString(gpxPath), QFileInfo(name).completeBaseName(), why)) {
        error = text("ExportGPXFailed") + " " + why.toStdString();
        return false;
    }
    return true;
}

void StreamTaps::stopSharing()
{
    if (m_share.running()) monitor(text("ShareEnded"));
    m_share.stop();
    if (m_shareSettings) m_shareSettings->refresh();
}

}  // namespace qtplatform
