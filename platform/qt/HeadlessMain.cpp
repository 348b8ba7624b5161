#include "platform/qt/HeadlessMain.h"

#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <variant>

#include "app/GPSSettingsController.h"
#include "app/HeadlessSession.h"
#include "core/Alert.h"
#include "core/LineTap.h"
#include "core/NmeaShare.h"
#include "core/StreamRecorder.h"
#include "platform/Services.h"
#include "platform/posix/JsonPreferences.h"
#include "platform/posix/PosixClock.h"
#include "platform/posix/PosixSleeper.h"
#include "platform/posix/StringsBundle.h"
#include "platform/qt/ProgramOptions.h"

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
                const ReplayFinished& replayFinished)
{
    const std::optional<std::string> port =
        simulatedPort ? simulatedPort
                      : (options.ports.empty() ? std::nullopt
                                               : std::optional<std::string>(options.ports.front()));
    if (!port) {
        std::fputs("gpsdesk: --headless needs --port PATH or --simulate\n", stderr);
        return 2;
    }
    const std::string rate = options.rate.value_or(simulatedRate.value_or("4800"));

    const auto resources = platform::posix::StringsBundle::findResourcesFolder();
    platform::posix::StringsBundle bundle(resources.value_or(GPSDESK_RESOURCE_DIR));
    platform::posix::PosixClock clock;
    platform::posix::PosixSleeper sleeper;
    platform::Services& services = platform::services();
    services = {.bundle = &bundle, .clock = &clock, .sleeper = &sleeper};

    HeadlessTaps taps;
    std::atomic<bool> recordingFailed{false};
    taps.recorder.setStopListener([&](StreamRecorder::StopReason reason, int error) {
        recordingFailed.store(true);
        const std::string why = reason == StreamRecorder::StopReason::WriteFailed
                                    ? message("NSRecordingWriteFailed") + " (" + std::strerror(error) + ")"
                                    : message("NSRecordingTooSlow");
        std::fprintf(stderr, "gpsdesk: %s %s\n", why.c_str(), taps.recorder.path().c_str());
    });
    if (options.recordPath &&
        !taps.recorder.start(*options.recordPath, *port, rate)) {
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

    HeadlessSession session(
        [](const std::string& line) {
            std::fputs(line.c_str(), stdout);
            std::fputc('\n', stdout);
            // A script reading the pipe sees each report as it happens.
            std::fflush(stdout);
        },
        [](const std::string& line) { std::fprintf(stderr, "gpsdesk: %s\n", line.c_str()); },
        &taps);

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
    const bool used = session.run(*port, rate, rate == GPSSettingsController::kAutomaticRate ? storedRate() : std::nullopt);
    done.store(true);
    watcher.join();
    taps.share.stop();
    taps.recorder.stop();
    services = platform::Services{};
    if (recordingFailed.load()) return 1;
    return used ? 0 : 1;
}

}  // namespace qtplatform
