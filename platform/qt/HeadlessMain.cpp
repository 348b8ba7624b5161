#include "platform/qt/HeadlessMain.h"

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "app/HeadlessSession.h"
#include "platform/Services.h"
#include "platform/posix/PosixClock.h"
#include "platform/posix/PosixSleeper.h"
#include "platform/posix/StringsBundle.h"
#include "platform/qt/ProgramOptions.h"

namespace qtplatform {

namespace {

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
                const std::optional<std::string>& simulatedRate)
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

    HeadlessSession session(
        [](const std::string& line) {
            std::fputs(line.c_str(), stdout);
            std::fputc('\n', stdout);
            // A script reading the pipe sees each report as it happens.
            std::fflush(stdout);
        },
        [](const std::string& line) { std::fprintf(stderr, "gpsdesk: %s\n", line.c_str()); });

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
        }
        session.stop();
    });
    const bool used = session.run(*port, rate);
    done.store(true);
    watcher.join();
    services = platform::Services{};
    return used ? 0 : 1;
}

}  // namespace qtplatform
