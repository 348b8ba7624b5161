// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/PseudoTerminal.h"
#include "sim/RecordFile.h"
#include "sim/ReplayLog.h"
#include "sim/ReplayPacer.h"
#include "sim/Scenario.h"
#include "sim/SerialLine.h"
#include "sim/SirfCommandReader.h"
#include "sim/UbxReceiver.h"
#include "sim/UbxSession.h"
#include "sim/WakePipe.h"

namespace sim {

// Faults injected on a schedule. Times are real seconds since start(); shares are chances per
// emitted line, drawn from the seed.
struct Faults {
    double silenceAtSeconds = -1.0;  // < 0: never
    double silenceSeconds = 0.0;
    double badChecksumShare = 0.0;
    double cutShare = 0.0;           // the line is sent as two lines, both broken
    double overlongShare = 0.0;      // a 300-byte line follows the line
    double noiseShare = 0.0;         // 16 to 63 random bytes follow the line
    double unplugAtSeconds = -1.0;   // < 0: never
};

// Slower than a hundredth of the log's pace is no replay anyone watches; such a factor also
// turns a recorded gap into a wait past any clock's range.
constexpr double kMinReplaySpeed = 0.01;
// No line waits longer than this for its turn, however long the gap the log recorded.
constexpr std::chrono::hours kMaxReplayWait{24};

// Nmea: the SiRF-type receiver below. Ubx: a generation-9 receiver that speaks UBX (see
// UbxReceiver) over the same route and sky, its rates, messages and line rate set through
// its configuration keys. UbxM8: an M8 instead, set through its older CFG messages.
enum class Protocol : std::uint8_t { Nmea, Ubx, UbxM8 };

struct Options {
    Protocol protocol = Protocol::Nmea;
    std::uint32_t seed = 1;
    std::uint32_t rate = 4800;        // line rate at start, bits per second
    bool unpaced = false;             // send as fast as the reader takes it
    double speedup = 1.0;             // simulated seconds per real second
    bool noFixSpells = false;
    std::string replayPath;           // a log to replay instead of the built-in route
    std::string replayTimesPath;      // its arrival times; empty: "<log>.times" if present
    // Replay pace: < 0 as fast as the line rate lets the bytes out; 0 as fast as the reader
    // takes them; > 0 the log's own pace (its arrival times, or one cycle of sentences a
    // second without them) times this, at least kMinReplaySpeed.
    double replaySpeed = -1.0;
    bool loop = false;                // replay: start over at the end
    // Replay: hold the log (sending the banner once a second meanwhile) until the
    // application has spoken and then been quiet for half a second, so that no line goes
    // to a port nobody reads yet or is swallowed by the application's set-up.
    bool replayWhenSpokenTo = false;
    std::string linkPath;             // a symbolic link to the device, made and removed
    std::string recordPath;           // every byte received from the application
    std::string banner = "$Version 2.3.2-GSD-SIM1.00 simulated SiRF-type receiver";
    // Like a real line: unless the application set the terminal to the receiver's rate,
    // both directions turn to noise (a pseudo-terminal itself ignores its speed).
    bool garbleAtWrongSpeed = true;
    Faults faults;
};

// A simulated SiRF-type receiver on a pseudo-terminal. Starts in NMEA at the given rate
// with GGA, GLL, GSA, GSV, RMC and VTG every second and answers $PSRF100 (protocol and rate,
// then its banner), $PSRF101 (hot, warm or cold restart), $PSRF103 (output periods),
// $PSRF105 (debug) and, in binary mode,
// messages 133 (DGPS source) and 129 (back to NMEA). Input with a bad checksum is ignored.
// With Protocol::Ubx it is the UBX receiver instead: answers come from UbxReceiver, the
// measurements follow its measurement period (in simulated time), NMEA comes only when its
// keys switch it on, and a baud-rate change is answered at the old rate before it takes effect.
// The line faults apply to NMEA lines only; a replay has no UBX mode.
// All public operations are safe from any thread.
class Simulator {
public:
    explicit Simulator(Options options = {});
    ~Simulator();  // stop()
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens the pseudo-terminal (raw on both sides), makes the link, starts the thread.
    // False with error() set when any of that fails. Start a simulator once.
    bool start();
    // Ends the thread and releases the terminal and the link. Idempotent.
    void stop();

    std::string devicePath() const;  // the slave side, e.g. /dev/pts/3; empty before start
    std::string error() const;

    // Faults on demand.
    void unplug();                            // the application sees a hang-up
    void silence(double seconds);             // from now; lines not yet on the wire are lost
    void injectBytes(const std::string& bytes);  // sent after what is already queued
    bool unplugged() const;

    // Replay controls; meaningful only when a log is replayed.
    void setReplayPaused(bool paused);
    bool replayPaused() const { return m_replayPaused.load(); }
    void setReplaySpeed(double speed);  // as Options::replaySpeed; a slower one is raised
    double replaySpeed() const;
    void seekReplay(double fraction);   // 0 = start, 1 = end of the file
    double replayPosition() const { return m_replayer.position(); }  // 0..1
    bool replayFinished() const { return m_replayer.finished(); }
    std::uint64_t replayLinesSent() const { return m_replayer.linesSent(); }

    // What the receiver is doing now.
    std::uint32_t rate() const;
    bool binaryMode() const;
    int periodSeconds(Sentence sentence) const;  // 0: off
    int dgpsSource() const;                      // -1 until message 133 arrives
    bool debugOn() const;
    std::uint64_t bannersSent() const;
    std::uint64_t bytesSent() const;
    std::vector<std::string> commandsAccepted() const;  // NMEA bodies and "binary 129" etc.

    // Every byte received from the application so far.
    std::vector<std::uint8_t> received() const;
    // Waits until at least count bytes were received; false on time-out.
    bool waitForReceived(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    using Clock = std::chrono::steady_clock;

    void run();
    void receive(const std::uint8_t* bytes, std::size_t count);
    void apply(const SirfCommand& command);
    void switchRateIfAnswered(Clock::time_point now);
    void queueSecond();
    void closeTerminal();
    void wake() { m_wake.wake(); }
    // Applies change under the lock, then wakes the loop to act on it.
    template <class Change>
    void requestUnderLock(Change change)
    {
        {
            std::lock_guard lock(m_mutex);
            change();
        }
        wake();
    }

    Options m_options;
    Scenario m_scenario;

    // Owned by the thread once started.
    PseudoTerminal m_terminal;
    SerialLine m_line;  // refers to m_options.faults
    SirfCommandReader m_reader;
    WakePipe m_wake;
    RecordFile m_record;
    std::thread m_thread;
    Clock::time_point m_started;
    std::uint64_t m_cycle = 0;
    bool m_replaying = false;
    ReplayPacer m_replayer;
    bool m_replayHeld = false;
    Clock::time_point m_lastInput{};  // when the application last wrote; zero: not yet
    bool m_scheduledSilenceDone = false;
    std::array<bool, kSentenceCount> m_queryOnce{};
    std::uint32_t m_lineRate = 0;      // the rate the thread last saw, and the one before it
    std::uint32_t m_previousRate = 0;
    Clock::time_point m_rateChangedAt{};
    std::unique_ptr<UbxSession> m_ubx;  // UBX mode only

    // Shared with the public operations.
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_receivedChanged;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_unplugRequested{false};
    bool m_unplugged = false;
    std::string m_devicePath;
    std::string m_error;
    std::uint32_t m_rate;
    bool m_binary = false;
    std::array<int, kSentenceCount> m_periods{1, 1, 1, 1, 1, 1};
    int m_dgpsSource = -1;
    bool m_debug = false;
    std::uint64_t m_banners = 0;
    std::uint64_t m_bytesSent = 0;
    std::vector<std::string> m_commands;
    std::vector<std::uint8_t> m_received;
    Clock::time_point m_silentUntil{};
    std::string m_injected;
    double m_replaySpeed;
    std::optional<double> m_seekTo;
    std::atomic<bool> m_replayPaused{false};
};

}  // namespace sim
