// SPDX-License-Identifier: BSD-2-Clause
#include "headless/HeadlessMain.h"

#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <variant>

#include "serial/RateHunt.h"
#include "headless/HeadlessSession.h"
#include "platform/Alert.h"
#include "stream/LineTap.h"
#include "stream/NmeaShare.h"
#include "receiver/ReceiverState.h"
#include "stream/StreamRecorder.h"
#include "sources/ByteSource.h"
#include "sources/CorrectionQueue.h"
#include "sources/GgaSentence.h"
#include "sources/GpsdSource.h"
#include "sources/NtripClient.h"
#include "sources/SourceUrl.h"
#include "platform/Services.h"
#include "posix/JsonPreferences.h"
#include "posix/PosixClock.h"
#include "posix/PosixSleeper.h"
#include "posix/StringsBundle.h"
#include "headless/ProgramOptions.h"
#include "serial/PortDiscovery.h"
#include "serial/Serial.h"
#include "sim/Simulator.h"
#include "stream/CorrectionsSettings.h"


namespace qtplatform {

namespace {

// The recorder and the share on headless's stream, as the window has them.
class HeadlessTaps : public LineTap {
public:
    void lineReceived(const ByteBuffer& raw) override
    {
        if (recorder.recording()) recorder.lineReceived(raw);
    }
    void sentenceAccepted(const ByteBuffer& verified) override
    {
        if (share.running()) share.sentenceAccepted(verified);
    }

    StreamRecorder recorder;
    NmeaShare share;
};

std::string message(const char* key) { return Alert::localizedStringWithKey(key); }

// The rate the window stored for the last receiver it used: tried first by the automatic
// rate here too.
std::optional<std::string> storedRate()
{
    platform::posix::JsonPreferences preferences(platform::posix::JsonPreferences::defaultPath());
    const auto value = preferences.objectForKey("rate");
    const auto* text = value ? std::get_if<std::string>(&*value) : nullptr;
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

// The caster's password: GPSDESK_NTRIP_PASSWORD first, then the desktop's secret store, where
// the window keeps it. Never from the command line.
std::string ntripPassword(const SourceUrl& url, const SecretReader& readSecret)
{
    if (auto fromEnvironment = takeNtripPasswordFromEnvironment()) return std::move(*fromEnvironment);
    if (url.user.empty()) return {};
    if (!readSecret) {
        std::fprintf(stderr, "gpsdesk: %s\n", SourceMessage{"corrections.password.noStore", {}}.text().c_str());
        return {};
    }
    const platform::SecretStore::Result found = readSecret(CorrectionsSettings::secretName(url));
    if (found.status == platform::SecretStore::Status::Stored) return found.secret;
    const SourceMessage note = found.status == platform::SecretStore::Status::NotFound
                                   ? SourceMessage{"corrections.password.missing", {url.user, url.hostAndPort()}}
                                   : SourceMessage{"corrections.password.unavailable", {found.detail}};
    std::fprintf(stderr, "gpsdesk: %s\n", note.text().c_str());
    return {};
}

sigset_t endingSignals()
{
    sigset_t endings;
    sigemptyset(&endings);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&endings, signal);
    return endings;
}

}  // namespace

void blockEndingSignals()
{
    const sigset_t endings = endingSignals();
    pthread_sigmask(SIG_BLOCK, &endings, nullptr);
}

int runHeadless(const ProgramOptions& options, const std::optional<std::string>& simulatedPort,
                const std::optional<std::string>& simulatedRate,
                const ReplayFinished& replayFinished, const SecretReader& readSecret)
{
    const std::optional<std::string> port =
        simulatedPort ? simulatedPort
                      : (options.ports.empty() ? std::nullopt
                                               : std::optional<std::string>(options.ports.front()));
    if (!port && !options.source) {
        std::fputs("gpsdesk: --headless needs --port PATH, --source URL or --simulate\n", stderr);
        return 2;
    }
    const std::string rate = options.rate.value_or(simulatedRate.value_or("4800"));

    const auto resources = platform::posix::StringsBundle::findResourcesFolder();
    platform::posix::StringsBundle bundle(resources.value_or(GPSDESK_RESOURCE_DIR));
    platform::posix::PosixClock clock;
    platform::posix::PosixSleeper sleeper;
    platform::Services& services = platform::services();
    services = {.bundle = &bundle, .clock = &clock, .sleeper = &sleeper};

    // A network receiver instead of a port, and a correction source: both addresses checked
    // before anything starts.
    std::unique_ptr<ByteSource> source;
    if (options.source) {
        SourceMessage whyNot;
        const auto url = SourceUrl::parse(*options.source, whyNot);
        if (url && (url->kind == SourceUrl::Kind::Tcp || url->kind == SourceUrl::Kind::Gpsd))
            source = makeByteSource(*url);
        if (!source) {
            std::fprintf(stderr, "gpsdesk: --source: %s\n",
                         url ? "only tcp:// and gpsd:// addresses are read as a source" : whyNot.text().c_str());
            services = platform::Services{};
            return 2;
        }
    }
    std::unique_ptr<NtripClient> ntrip;
    CorrectionQueue corrections;
    if (options.ntrip) {
        SourceMessage whyNot;
        const auto url = SourceUrl::parse(*options.ntrip, whyNot);
        if (!url || url->kind != SourceUrl::Kind::Ntrip) {
            std::fprintf(stderr, "gpsdesk: --ntrip: %s\n",
                         url ? "needs an ntrip:// or ntrips:// address" : whyNot.text().c_str());
            services = platform::Services{};
            return 2;
        }
        NtripSettings ntripSettings = NtripSettings::fromUrl(*url, ntripPassword(*url, readSecret));
        // The window's interval for the position to the caster holds here too.
        platform::posix::JsonPreferences preferences(platform::posix::JsonPreferences::defaultPath());
        ntripSettings.ggaInterval = std::chrono::seconds(CorrectionsSettings::load(preferences).ggaSeconds);
        ntrip = std::make_unique<NtripClient>(
            std::move(ntripSettings),
            [&corrections](std::vector<std::uint8_t> frame) { corrections.push(std::move(frame)); },
            [](const SourceMessage& said) { std::fprintf(stderr, "gpsdesk: %s\n", said.text().c_str()); });
    }

    HeadlessTaps taps;
    std::atomic<bool> recordingFailed{false};
    taps.recorder.setStopListener([&](StreamRecorder::StopReason reason, int error) {
        recordingFailed.store(true);
        const std::string why = reason == StreamRecorder::StopReason::WriteFailed
                                    ? message("RecordingWriteFailed") + " (" + std::strerror(error) + ")"
                                    : message("RecordingTooSlow");
        std::fprintf(stderr, "gpsdesk: %s %s\n", why.c_str(), taps.recorder.path().c_str());
    });
    if (options.recordPath &&
        !taps.recorder.start(*options.recordPath, port.value_or(options.source.value_or("")), rate)) {
        std::fprintf(stderr, "gpsdesk: cannot record: %s\n", taps.recorder.error().c_str());
        services = platform::Services{};
        return 1;
    }
    if (options.share) {
        const auto endpoint = NmeaShare::parseEndpoint(*options.share);
        NmeaShare::Options share;
        if (endpoint) {
            share.address = endpoint->first;
            share.port = endpoint->second;
        }
        share.ptyLink = NmeaShare::defaultPtyLink();
        if (!endpoint || !taps.share.start(share)) {
            std::fprintf(stderr, "gpsdesk: cannot share: %s\n", taps.share.error().c_str());
            services = platform::Services{};
            return 1;
        }
    }

    // A read at full speed brings tens of kilobytes of reports; a buffer that holds them
    // keeps the flush after each read to one write. Nothing has gone to stdout yet.
    // (The C library takes the size only with a buffer of ours.)
    static char reportBuffer[std::size_t{1} << 16];
    std::setvbuf(stdout, reportBuffer, _IOFBF, sizeof reportBuffer);
    HeadlessSession session(
        [](const std::string& line) {
            std::fputs(line.c_str(), stdout);
            std::fputc('\n', stdout);
        },
        [](const std::string& line) { std::fprintf(stderr, "gpsdesk: %s\n", line.c_str()); },
        &taps);
    // A script reading the pipe sees the reports of each read as soon as they are written,
    // in one write rather than one for each.
    session.setReportsDone([] { std::fflush(stdout); });

    // The ending signals are taken by a thread of their own (blocked everywhere else), which
    // also keeps the --quit-after time, so that neither can strike in the middle of a read.
    blockEndingSignals();
    const sigset_t endings = endingSignals();
    std::atomic<bool> done{false};
    std::thread watcher([&] {
        const auto start = std::chrono::steady_clock::now();
        while (!done.load()) {
            const timespec tick{0, 100'000'000};
            if (sigtimedwait(&endings, nullptr, &tick) > 0) break;
            if (options.quitAfterSeconds &&
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >=
                    *options.quitAfterSeconds)
                break;
            // A replay ends with its file: what it sent has been read and reported.
            if (replayFinished && replayFinished(session.bytesRead())) break;
        }
        session.stop();
    });
    // gpsd keeps the receiver to itself and passes its data on read-only: a configuration
    // would never reach it, so it is refused at once rather than waited for.
    const bool configurationRefused = (!options.settings.empty() || options.save) && source &&
                                      dynamic_cast<GpsdSource*>(source.get()) != nullptr;
    if (configurationRefused) {
        std::vector<std::uint8_t> none;
        (void)source->write(none);
        std::fprintf(stderr, "gpsdesk: %s\n", source->message().text().c_str());
    } else if (!options.settings.empty() || options.save) {
        std::vector<binary::UbxConfigValue> values;
        for (const std::string& text : options.settings)
            values.push_back(*binary::parseUbxConfigAssignment(text).value);  // checked by the options
        session.setConfiguration(std::move(values), options.save);
    }
    if (ntrip) {
        session.setCorrections(&corrections);
        // The caster gets the receiver's position for its GGA once per reported cycle.
        session.setCycleListener([client = ntrip.get()](const ReceiverState& state) {
            if (!state.position() || state.mode() < 2) return;
            GgaPosition position;
            position.latitudeDegrees = state.position()->latitudeDegrees;
            position.longitudeDegrees = state.position()->longitudeDegrees;
            position.altitudeMeters = state.altitudeMeters().value_or(0.0f);
            position.quality = state.fixQuality().value_or(1);
            position.satellites = static_cast<int>(state.satellitesUsed());
            if (state.hdop()) position.hdop = *state.hdop();
            client->setPosition(position);
        });
        ntrip->start();
    }
    const bool used = source ? session.runSource(*source)
                             : session.run(*port, rate, rate == RateHunt::kAutomaticRate ? storedRate() : std::nullopt);
    if (ntrip) ntrip->stop();
    done.store(true);
    watcher.join();
    taps.share.stop();
    taps.recorder.stop();
    services = platform::Services{};
    if (recordingFailed.load() || session.configurationFailed() || configurationRefused) return 1;
    return used ? 0 : 1;
}

std::optional<std::string> startSimulatedReceiver(const ProgramOptions& options,
                                                  std::unique_ptr<sim::Simulator>& simulator)
{
    sim::Options simulated;
    // A log plays through the simulated receiver into the same pipeline as a device.
    if (options.replayPath) {
        simulated.replayPath = *options.replayPath;
        simulated.replaySpeed = options.replaySpeed;
        simulated.replayWhenSpokenTo = true;
    }
    simulator = std::make_unique<sim::Simulator>(simulated);
    if (!simulator->start()) {
        if (options.replayPath)
            std::fprintf(stderr, "gpsdesk: cannot replay %s\n", simulator->error().c_str());
        else
            std::fprintf(stderr, "gpsdesk: the simulated receiver did not start: %s\n",
                         simulator->error().c_str());
        simulator.reset();
        return std::nullopt;
    }
    PortDiscovery::addExtraPort(simulator->devicePath());
    return simulator->devicePath();
}

int runProgramHeadless(const ProgramOptions& options, const SecretReader& readSecret)
{
    // Without a window the ending signals are waited for, not caught: blocked before the
    // simulated receiver's thread starts, which would otherwise take them and die of them.
    blockEndingSignals();
    for (const std::string& port : options.ports) PortDiscovery::addExtraPort(port);
    std::unique_ptr<sim::Simulator> simulator;
    std::optional<std::string> simulatedPort;
    if (options.simulate || options.replayPath) {
        simulatedPort = startSimulatedReceiver(options, simulator);
        if (!simulatedPort) return 1;
    }
    ReplayFinished replayFinished;
    if (simulator && options.replayPath) {
        // The end of the file: the simulator has sent its last line and headless has read
        // every byte of it (or the terminal stayed quiet for two seconds after the end, in
        // case bytes were lost on the way).
        replayFinished = [sim = simulator.get(), lastRead = std::uint64_t{0},
                          quietSince = std::chrono::steady_clock::now()](std::uint64_t read) mutable {
            const auto now = std::chrono::steady_clock::now();
            if (read != lastRead) {
                lastRead = read;
                quietSince = now;
            }
            if (!sim->replayFinished()) return false;
            return read >= sim->bytesSent() || now - quietSince > std::chrono::seconds(2);
        };
    }
    return runHeadless(options, simulatedPort,
                       simulator ? std::optional(std::to_string(simulator->rate())) : std::nullopt,
                       replayFinished, readSecret);
}

}  // namespace qtplatform
