// SPDX-License-Identifier: BSD-2-Clause
#include "sim/Simulator.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <poll.h>
#include <pthread.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr std::size_t kMaxReceivedKept = 1u << 20;
// Every request wakes the thread through its pipe; this only bounds a wait.
constexpr auto kMaxWait = std::chrono::milliseconds(1000);
// How long after a rate switch input at the old rate is still understood.
constexpr auto kSwitchGrace = std::chrono::milliseconds(200);
// A held replay starts once the application's set-up commands have been quiet this long.
constexpr auto kReplayQuietAfterSetUp = std::chrono::milliseconds(500);

double usableSpeed(double speed)
{
    return speed > 0.0 && speed < kMinReplaySpeed ? kMinReplaySpeed : speed;
}

}  // namespace

Simulator::Simulator(Options options)
    : m_options(std::move(options)),
      m_scenario(m_options.seed, m_options.noFixSpells),
      m_line(m_options.faults, m_options.seed, m_options.garbleAtWrongSpeed),
      m_rate(m_options.rate),
      m_replaySpeed(usableSpeed(m_options.replaySpeed))
{
    if (!(m_options.speedup > 0.0)) m_options.speedup = 1.0;
}

Simulator::~Simulator()
{
    stop();
}

bool Simulator::start()
{
    const auto fail = [this](const std::string& reason) {
        m_terminal.close();
        m_wake.close();
        m_record.close();
        std::lock_guard lock(m_mutex);
        m_error = reason;
        return false;
    };
    // The reason is made before anything closes: close() may change errno.
    const auto failWithErrno = [&](const std::string& what) { return fail(what + ": " + std::strerror(errno)); };
    if (m_thread.joinable() || m_terminal.isOpen()) {
        std::lock_guard lock(m_mutex);
        m_error = "already started";
        return false;
    }
    const bool ubx = m_options.protocol != Protocol::Nmea;
    if (ubx ? !UbxReceiver::validBaud(m_options.rate) : !SirfCommandReader::validRate(m_options.rate)) {
        errno = EINVAL;
        return failWithErrno("rate " + std::to_string(m_options.rate));
    }
    if (ubx && !m_options.replayPath.empty()) {
        std::lock_guard lock(m_mutex);
        m_error = "a log is replayed as it was recorded, not in UBX mode";
        return false;
    }
    const auto model = m_options.protocol == Protocol::UbxM8 ? UbxModel::M8 : UbxModel::Generation9;
    if (ubx) m_ubx = std::make_unique<UbxSession>(m_options.rate, model, m_scenario, m_line);
    if (!m_options.replayPath.empty()) {
        if (!m_replayer.open(m_options.replayPath, m_options.replayTimesPath, m_options.loop)) {
            std::lock_guard lock(m_mutex);
            m_error = m_replayer.error();
            return false;
        }
        m_replaying = true;
        m_replayHeld = m_options.replayWhenSpokenTo;
    }

    if (!m_terminal.open(m_options.rate)) return fail(m_terminal.error());

    if (!m_wake.open()) return failWithErrno("pipe");
    if (!m_options.recordPath.empty() && !m_record.open(m_options.recordPath)) return fail(m_record.error());
    if (!m_options.linkPath.empty() && !m_terminal.link(m_options.linkPath)) return fail(m_terminal.error());

    {
        std::lock_guard lock(m_mutex);
        m_devicePath = m_terminal.devicePath();
        m_error.clear();
    }
    m_started = Clock::now();
    m_line.restartPace(m_started);
    if (m_ubx) m_ubx->start(m_started);
    m_thread = std::thread(&Simulator::run, this);
    return true;
}

void Simulator::stop()
{
    m_stopping.store(true);
    wake();
    if (m_thread.joinable()) m_thread.join();
    closeTerminal();
    m_wake.close();
    m_record.close();
}

void Simulator::closeTerminal()
{
    // To the application this is an unplugged adapter.
    if (!m_terminal.close()) return;
    std::lock_guard lock(m_mutex);
    m_unplugged = true;
}

// ---- public queries and requests -----------------------------------------------------

std::string Simulator::devicePath() const
{
    std::lock_guard lock(m_mutex);
    return m_devicePath;
}

std::string Simulator::error() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

void Simulator::unplug()
{
    m_unplugRequested.store(true);
    wake();
}

bool Simulator::unplugged() const
{
    std::lock_guard lock(m_mutex);
    return m_unplugged;
}

void Simulator::silence(double seconds)
{
    requestUnderLock([&] {
        m_silentUntil = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(seconds));
    });
}

void Simulator::injectBytes(const std::string& bytes)
{
    requestUnderLock([&] { m_injected += bytes; });
}

void Simulator::setReplayPaused(bool paused)
{
    m_replayPaused.store(paused);
    wake();
}

void Simulator::setReplaySpeed(double speed)
{
    requestUnderLock([&] { m_replaySpeed = usableSpeed(speed); });
}

double Simulator::replaySpeed() const
{
    std::lock_guard lock(m_mutex);
    return m_replaySpeed;
}

void Simulator::seekReplay(double fraction)
{
    requestUnderLock([&] { m_seekTo = std::clamp(fraction, 0.0, 1.0); });
}

std::uint32_t Simulator::rate() const
{
    std::lock_guard lock(m_mutex);
    return m_rate;
}

bool Simulator::binaryMode() const
{
    std::lock_guard lock(m_mutex);
    return m_binary;
}

int Simulator::periodSeconds(Sentence sentence) const
{
    std::lock_guard lock(m_mutex);
    return m_periods[static_cast<std::size_t>(sentence)];
}

int Simulator::dgpsSource() const
{
    std::lock_guard lock(m_mutex);
    return m_dgpsSource;
}

bool Simulator::debugOn() const
{
    std::lock_guard lock(m_mutex);
    return m_debug;
}

std::uint64_t Simulator::bannersSent() const
{
    std::lock_guard lock(m_mutex);
    return m_banners;
}

std::uint64_t Simulator::bytesSent() const
{
    std::lock_guard lock(m_mutex);
    return m_bytesSent;
}

std::vector<std::string> Simulator::commandsAccepted() const
{
    std::lock_guard lock(m_mutex);
    return m_commands;
}

std::vector<std::uint8_t> Simulator::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

bool Simulator::waitForReceived(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_receivedChanged.wait_for(lock, timeout, [&] { return m_received.size() >= count; });
}

// ---- input from the application ------------------------------------------------------

void Simulator::receive(const std::uint8_t* bytes, std::size_t count)
{
    m_lastInput = Clock::now();
    m_record.write(bytes, count);
    {
        std::lock_guard lock(m_mutex);
        const std::size_t room = kMaxReceivedKept - std::min(kMaxReceivedKept, m_received.size());
        m_received.insert(m_received.end(), bytes, bytes + std::min(room, count));
    }
    m_receivedChanged.notify_all();
    if (m_ubx) {
        std::uint32_t rate;
        {
            std::lock_guard lock(m_mutex);
            rate = m_rate;
        }
        m_ubx->receive({bytes, count}, rate);
        return;
    }
    // The protocol can change in the middle of a chunk ($PSRF100,0 followed by a frame).
    for (std::size_t i = 0; i < count; ++i) {
        if (const auto command = m_reader.read(bytes[i], m_binary)) apply(*command);
    }
}

void Simulator::apply(const SirfCommand& command)
{
    using Kind = SirfCommand::Kind;
    switch (command.kind) {
    case Kind::SetPort: {
        // The receiver resets its port: what is not on the wire yet is lost.
        m_line.cut();
        m_line.restartPace(Clock::now());
        {
            std::lock_guard lock(m_mutex);
            m_rate = command.rate;
            m_binary = command.binary;
            m_commands.push_back(command.text);
            if (!m_binary) ++m_banners;
        }
        m_reader.resetBinary();
        if (!command.binary) m_line.append(m_options.banner + "\r\n");
        return;
    }
    case Kind::SetPeriod:
    case Kind::QueryOnce: {
        std::lock_guard lock(m_mutex);
        m_commands.push_back(command.text);
        if (command.message >= kSentenceCount) return;  // MSS and the like: accepted, not produced
        const auto sentence = static_cast<std::size_t>(command.message);
        if (command.kind == Kind::SetPeriod)
            m_periods[sentence] = command.periodSeconds;
        else
            m_queryOnce[sentence] = true;
        return;
    }
    case Kind::Restart: {
        m_scenario.restart(command.resetConfiguration);
        std::lock_guard lock(m_mutex);
        m_commands.push_back(command.text);
        return;
    }
    case Kind::Debug: {
        std::lock_guard lock(m_mutex);
        m_debug = command.debugOn;
        m_commands.push_back(command.text);
        return;
    }
    case Kind::DgpsSource: {
        std::lock_guard lock(m_mutex);
        m_dgpsSource = command.dgpsSource;
        m_commands.push_back(command.text);
        return;
    }
    case Kind::BackToNmea: {
        m_line.restartPace(Clock::now());
        std::lock_guard lock(m_mutex);
        m_periods = command.periods;
        m_rate = command.rate;
        m_binary = false;
        m_commands.push_back(command.text);
        return;
    }
    }
}

void Simulator::switchRateIfAnswered(Clock::time_point now)
{
    const auto rate = m_ubx ? m_ubx->takeRateChange() : std::nullopt;
    if (!rate) return;
    m_line.restartPace(now);
    std::lock_guard lock(m_mutex);
    m_rate = *rate;
}

// ---- output --------------------------------------------------------------------------

void Simulator::queueSecond()
{
    m_scenario.step();
    std::array<int, kSentenceCount> periods;
    std::uint32_t rate;
    {
        std::lock_guard lock(m_mutex);
        periods = m_periods;
        rate = m_rate;
    }
    // Like a receiver whose output does not fit the line: a second is dropped rather than
    // letting the backlog grow without end.
    const std::size_t backlog = m_options.unpaced ? SerialLine::kUnpacedBacklog : rate / 10;
    const bool drop = m_line.size() > backlog;
    for (int i = 0; i < kSentenceCount; ++i) {
        const bool due = periods[static_cast<std::size_t>(i)] > 0
                         && m_cycle % static_cast<std::uint64_t>(periods[static_cast<std::size_t>(i)]) == 0;
        const bool query = m_queryOnce[static_cast<std::size_t>(i)];
        if (!drop && (due || query)) {
            m_queryOnce[static_cast<std::size_t>(i)] = false;
            for (auto& line : m_scenario.sentences(static_cast<Sentence>(i))) m_line.queueLine(std::move(line));
        }
    }
    ++m_cycle;
}

void Simulator::run()
{
    // Named so that a CPU figure of a process holding it can leave it out.
    pthread_setname_np(pthread_self(), "gpsdesk-sim");
    using namespace std::chrono;
    const auto cycleLength = duration_cast<Clock::duration>(duration<double>(1.0 / m_options.speedup));
    const auto at = [this](double seconds) {
        return m_started + duration_cast<Clock::duration>(duration<double>(seconds));
    };
    const Faults& faults = m_options.faults;
    auto nextCycle = m_started;
    bool writeBlocked = false;

    while (!m_stopping.load()) {
        auto now = Clock::now();
        switchRateIfAnswered(now);
        if (m_unplugRequested.load() || (faults.unplugAtSeconds >= 0.0 && now >= at(faults.unplugAtSeconds))) {
            closeTerminal();
            break;
        }

        bool silent;
        Clock::time_point silentUntil;
        std::string injected;
        bool binary;
        std::uint32_t rate;
        double replaySpeed;
        std::optional<double> seekTo;
        {
            std::lock_guard lock(m_mutex);
            if (!m_scheduledSilenceDone && faults.silenceAtSeconds >= 0.0
                && now >= at(faults.silenceAtSeconds)) {
                m_scheduledSilenceDone = true;
                m_silentUntil = std::max(m_silentUntil,
                                         at(faults.silenceAtSeconds + faults.silenceSeconds));
            }
            silentUntil = m_silentUntil;
            silent = now < silentUntil;
            if (!silent) injected.swap(m_injected);
            binary = m_binary;
            rate = m_rate;
            replaySpeed = m_replaySpeed;
            seekTo = m_seekTo;
            m_seekTo.reset();
        }
        if (rate != m_lineRate) {
            m_previousRate = m_lineRate;
            m_lineRate = rate;
            m_rateChangedAt = now;
        }
        // Gone quiet at once, even in the middle of a line: the rest of it is lost.
        if (silent) m_line.clear();
        m_line.append(injected);

        if (m_ubx) m_ubx->measureIfDue(now, silent, rate, m_options.unpaced, m_options.speedup);
        if (now >= nextCycle) {
            if (m_ubx) {
                // The measurements move the scenario on.
            } else if (!silent && !binary && !m_replaying)
                queueSecond();
            else if (!m_replaying)
                m_scenario.step(), ++m_cycle;  // simulated time runs on while quiet
            // A held replay announces the receiver, as one does at power-on, until the
            // application answers: it waits for such a line before it sets the receiver up.
            if (m_replayHeld && m_lastInput == Clock::time_point{} && m_line.empty() && !silent)
                m_line.append(m_options.banner + "\r\n");
            nextCycle += cycleLength;
            if (nextCycle <= now) nextCycle = now + cycleLength;  // late: no burst to catch up
        }
        // A replay with a pace of its own is not held to the line rate.
        const bool replayPaced = m_replaying && replaySpeed >= 0.0;
        Clock::time_point replayDue = Clock::time_point::max();
        if (m_replaying && seekTo) {
            m_replayer.seek(*seekTo);
            m_line.cut();
        }
        if (m_replayHeld && m_lastInput != Clock::time_point{}
            && now - m_lastInput >= kReplayQuietAfterSetUp)
            m_replayHeld = false;
        if (m_replaying && (m_replayPaused.load() || m_replayHeld)) {
            m_replayer.restartPace();  // the pace resumes from the moment of resuming
        } else if (!silent && !binary && m_replaying) {
            if (replayPaced)
                replayDue = m_replayer.queuePaced(m_line, now, replaySpeed);
            else
                m_replayer.queueBacklog(m_line);
        }

        Clock::time_point nextSend = Clock::time_point::max();
        if (!silent && !m_line.empty() && !writeBlocked) {
            const SerialLine::Sent sent = m_line.send(m_terminal, now, rate, !m_options.unpaced && !replayPaced);
            writeBlocked = sent.blocked;
            nextSend = sent.next;
            if (sent.bytes > 0) {
                std::lock_guard lock(m_mutex);
                m_bytesSent += sent.bytes;
            }
        }

        if (m_replayHeld && m_lastInput != Clock::time_point{})
            replayDue = std::min(replayDue, m_lastInput + kReplayQuietAfterSetUp);
        Clock::time_point wakeAt = std::min({nextCycle, nextSend, replayDue, now + kMaxWait});
        if (m_ubx) wakeAt = std::min(wakeAt, m_ubx->nextMeasurement());
        if (m_ubx && m_ubx->rateChangeDue()) wakeAt = now;
        if (silent) wakeAt = std::min(wakeAt, silentUntil);
        if (faults.unplugAtSeconds >= 0.0) wakeAt = std::min(wakeAt, std::max(now, at(faults.unplugAtSeconds)));
        if (faults.silenceAtSeconds >= 0.0 && !m_scheduledSilenceDone)
            wakeAt = std::min(wakeAt, std::max(now, at(faults.silenceAtSeconds)));
        const auto waitMs = duration_cast<milliseconds>(wakeAt - Clock::now() + microseconds(999)).count();

        pollfd fds[2] = {{m_terminal.master(), POLLIN, 0}, {m_wake.readFd(), POLLIN, 0}};
        if (writeBlocked && !m_line.empty()) fds[0].events |= POLLOUT;
        const int ready = ::poll(fds, 2, static_cast<int>(std::max<long long>(0, waitMs)));
        if (ready < 0) continue;
        if (fds[1].revents & POLLIN) m_wake.drain();
        if (fds[0].revents & POLLOUT) writeBlocked = false;
        if (fds[0].revents & POLLIN) {
            std::uint8_t input[4096];
            const ssize_t n = ::read(m_terminal.master(), input, sizeof input);
            // The end of the line that switched the rate still comes at the old one.
            const bool justSwitched = Clock::now() - m_rateChangedAt < kSwitchGrace;
            if (n > 0 && !m_line.speedMatches(m_terminal, rate)
                && !(justSwitched && m_line.speedMatches(m_terminal, m_previousRate))) {
                const std::string garbled = m_line.garble(input, static_cast<std::size_t>(n));
                std::copy(garbled.begin(), garbled.end(), input);
            }
            if (n > 0) receive(input, static_cast<std::size_t>(n));
        }
        if (writeBlocked && !(fds[0].events & POLLOUT)) writeBlocked = false;
    }
}

}  // namespace sim
