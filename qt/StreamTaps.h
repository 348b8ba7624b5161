// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include <QObject>
#include <QTimer>

#include "stream/LineTap.h"
#include "stream/NmeaShare.h"
#include "stream/StreamRecorder.h"
#include "stream/TrackLog.h"

class GPSController;

namespace platform {
class MainThread;
class Window;
}

namespace qtplatform {

class MainWindow;
class ShareSettings;

// The program's recorder and share on the reader thread's stream: hands each line to both,
// and shows what they report (start, end, a dropped client, a full disk) as monitor lines
// on the main thread. A recording that stops by itself (full disk) is also said in a sheet
// over the window and on standard error, and the program's exit status says so. While
// recording, the monitor gets the file's size once a minute.
// Main thread, except the LineTap calls (reader thread).
class StreamTaps : public QObject, public LineTap {
    Q_OBJECT
public:
    StreamTaps(GPSController& controller, platform::MainThread& mainThread);
    ~StreamTaps() override;

    // File › Record… (starts, or ends a recording), Replay… (opens the log in a replay
    // window of its own) and Export GPX…, and the Share pane.
    void attachTo(MainWindow& window);

    // Port and rate go into the log's first line. False with error set.
    bool startRecording(const std::string& path, const std::string& port,
                        const std::string& rate, std::string& error);
    void stopRecording();
    bool startSharing(const NmeaShare::Options& options, std::string& error);
    void stopSharing();

    StreamRecorder& recorder() { return m_recorder; }
    // True once a recording stopped by itself (the disk was full or too slow): data was lost.
    bool recordingFailed() const { return m_recordingFailed.load(); }
    // Writes a GPX track of this session's fixes, or of a recorded log's when logPath is
    // not empty. False with error set (already a user-facing text).
    bool exportGpx(const std::string& gpxPath, const std::string& logPath, std::string& error);
    // The fixes of this session, for a track export.
    const TrackLog& sessionTrack() const { return m_session; }
    NmeaShare& share() { return m_share; }

    void lineReceived(const ByteBuffer& raw) override { m_recorder.lineReceived(raw); }
    void sentenceAccepted(const ByteBuffer& verified) override
    {
        m_share.sentenceAccepted(verified);
        m_session.addSentence(verified);
    }

private:
    void monitor(const std::string& text);  // any thread
    void recordingStopped(const std::string& why);  // the recorder's thread
    void showRecordingSize();

    GPSController& m_controller;
    platform::MainThread& m_mainThread;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    StreamRecorder m_recorder;
    NmeaShare m_share;
    TrackLog m_session;
    QTimer m_sizeTimer;
    ShareSettings* m_shareSettings = nullptr;  // owned by its pane
    platform::Window* m_window = nullptr;      // for the sheet; owned by the main window
    std::atomic<bool> m_recordingFailed{false};
};

}  // namespace qtplatform
