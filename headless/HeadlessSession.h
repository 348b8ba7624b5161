// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "binary/UbxConfigKeys.h"
#include "base/ByteBuffer.h"

class ByteSource;
class CorrectionQueue;
class LineTap;
class ReaderLink;
class ReceiverState;
class Serial;

// GPS Desk without a window: the same serial reader, receiver commands and receiver model as
// the window, writing the receiver state as gpsd-style JSON reports, one per line.
//
// A TPV report is written whenever its content changes, a SKY report once per satellite
// cycle, and the receiver test's figures as a TEST line whenever they change. Messages the window would show as panels go to `messages` in plain words instead.
class HeadlessSession {
public:
    using Sink = std::function<void(const std::string& line)>;

    // The tap, when given, sees the stream as the window's recorder and share do; not owned.
    HeadlessSession(Sink reports, Sink messages, LineTap* tap = nullptr);
    ~HeadlessSession();
    HeadlessSession(const HeadlessSession&) = delete;
    HeadlessSession& operator=(const HeadlessSession&) = delete;

    // Opens the port at the rate ("Automatic": the rate found), configures the receiver and
    // reads until stop() or until the device goes away. False when the port could not be opened (the reason has gone to
    // `messages`), true when it was used.
    // storedRate: tried first by the automatic rate, as the window tries its stored one.
    bool run(const std::string& port, const std::string& rate,
             const std::optional<std::string>& storedRate = std::nullopt);
    // The same from a network source (tcp://, gpsd://): connects, reads until stop() or until
    // the source hangs up. False when it could not connect (the reason went to `messages`).
    bool runSource(ByteSource& source);
    // Ends run() soon, also while it waits on a quiet line. Any thread.
    void stop();
    // Called after the reports of each read (and at the end): the reports of one read can go
    // out together, as soon as they are all written.
    void setReportsDone(std::function<void()> done) { m_reportsDone = std::move(done); }

    // Configuration for a u-blox receiver of generation 9 or later, sent once the receiver
    // speaks: the values (CFG-VALSET to its RAM), then, with save, CFG-CFG to keep the
    // configuration in battery-backed RAM and flash. Every write waits for its ACK or NAK,
    // told to `messages` with the keys named.
    void setConfiguration(std::vector<binary::UbxConfigValue> values, bool save)
    {
        m_configuration = std::move(values);
        m_saveConfiguration = save;
    }
    // The receiver refused or did not answer a configuration write. Any thread.
    bool configurationFailed() const { return m_configurationFailed.load(); }

    // Corrections to write to the receiver, each frame whole, between reads; not owned.
    void setCorrections(CorrectionQueue* queue) { m_corrections = queue; }
    // Told the receiver state after every reported cycle (for the correction source's GGA).
    // Reader thread.
    void setCycleListener(std::function<void(const ReceiverState&)> listener)
    {
        m_cycleListener = std::move(listener);
    }

    std::uint64_t sentencesHandled() const { return m_handled.load(); }
    std::uint64_t linesRejected() const { return m_rejected.load(); }
    // Bytes read from the port so far (a replay's end is when all it sent was read). Any thread.
    std::uint64_t bytesRead() const { return m_bytesRead.load(); }

private:
    void readUntilStopped(ReaderLink& link, const std::string& name, std::vector<ByteBuffer> firstLines);

    Sink m_reports;
    std::function<void()> m_reportsDone;
    Sink m_messages;
    LineTap* m_tap = nullptr;
    std::atomic<bool> m_stopping{false};
    // The port or source being read, for stop() to cancel. Set and cleared under the lock, so
    // stop() never cancels one that is being destroyed.
    std::mutex m_linkMutex;
    Serial* m_serial = nullptr;
    ByteSource* m_source = nullptr;
    CorrectionQueue* m_corrections = nullptr;
    std::vector<binary::UbxConfigValue> m_configuration;
    bool m_saveConfiguration = false;
    std::atomic<bool> m_configurationFailed{false};
    std::function<void(const ReceiverState&)> m_cycleListener;
    std::atomic<std::uint64_t> m_handled{0};
    std::atomic<std::uint64_t> m_rejected{0};
    std::atomic<std::uint64_t> m_bytesRead{0};
};
