// SPDX-License-Identifier: BSD-2-Clause
// gpsdesk-sim: a simulated GPS receiver (SiRF-type NMEA, or generation-9 UBX) on a
// pseudo-terminal. Prints the device
// path as its first line of output, then runs until killed or --duration ends.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <locale.h>

#include "sim/Simulator.h"

namespace {

const char kUsage[] =
    "usage: gpsdesk-sim [options]\n"
    "  --protocol nmea|ubx|ubx-m8\n"
    "                       a SiRF-type NMEA receiver (default), a UBX receiver configured\n"
    "                       through its keys, or an M8 configured through older messages\n"
    "  --seed N             scenario seed (default 1)\n"
    "  --rate BPS           line rate at start (default 4800; ubx 38400; ubx-m8 9600)\n"
    "  --unpaced            send as fast as the reader takes it\n"
    "  --speedup X          simulated seconds per real second (default 1)\n"
    "  --no-fix-spells      20 s without a fix in every 300 s lap\n"
    "  --replay LOG         send a recorded log's $ and ! lines instead of the route\n"
    "  --loop               replay: start over at the end\n"
    "  --speed N|max        replay at the log's own pace (arrival times from LOG.times, or\n"
    "                       one cycle a second) N times faster, or as fast as it is read\n"
    "  --times FILE         replay: arrival times from FILE instead of LOG.times\n"
    "  --link PATH          make a symbolic link to the device\n"
    "  --record FILE        write every byte received from the application to FILE\n"
    "  --duration S         end after S seconds (default: run until killed)\n"
    "  --silence-at T       go silent T seconds after start ...\n"
    "  --silence S          ... for S seconds\n"
    "  --bad-checksums P    share of lines with a wrong checksum (0..1)\n"
    "  --cut P              share of lines cut in two\n"
    "  --overlong P         share of lines followed by a 300-byte line\n"
    "  --noise P            share of lines followed by a burst of random bytes\n"
    "  --unplug-at T        close the terminal T seconds after start (a hang-up)\n"
    "  --help               this text\n";

bool parseNumber(const char* text, double& value)
{
    // Options read the same under any locale: "--speed 1.5", never "1,5".
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    char* end = nullptr;
    value = c ? strtod_l(text, &end, c) : std::strtod(text, &end);
    return end != text && *end == '\0';
}

}  // namespace

int main(int argc, char** argv)
{
    sim::Options options;
    double duration = -1.0;
    bool rateGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto number = [&](double& out) {
            if (i + 1 >= argc || !parseNumber(argv[i + 1], out)) {
                std::fprintf(stderr, "gpsdesk-sim: %s needs a number\n%s", arg.c_str(), kUsage);
                std::exit(2);
            }
            ++i;
        };
        const auto text = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "gpsdesk-sim: %s needs a value\n%s", arg.c_str(), kUsage);
                std::exit(2);
            }
            return argv[++i];
        };
        double value = 0.0;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--protocol") {
            const std::string protocol = text();
            if (protocol == "nmea") {
                options.protocol = sim::Protocol::Nmea;
            } else if (protocol == "ubx") {
                options.protocol = sim::Protocol::Ubx;
            } else if (protocol == "ubx-m8") {
                options.protocol = sim::Protocol::UbxM8;
            } else {
                std::fprintf(stderr, "gpsdesk-sim: --protocol is nmea, ubx or ubx-m8\n%s", kUsage);
                return 2;
            }
        } else if (arg == "--seed") {
            number(value);
            options.seed = static_cast<std::uint32_t>(value);
        } else if (arg == "--rate") {
            number(value);
            options.rate = static_cast<std::uint32_t>(value);
            rateGiven = true;
        } else if (arg == "--unpaced") {
            options.unpaced = true;
        } else if (arg == "--speedup") {
            number(options.speedup);
        } else if (arg == "--no-fix-spells") {
            options.noFixSpells = true;
        } else if (arg == "--replay") {
            options.replayPath = text();
        } else if (arg == "--speed") {
            const std::string speed = text();
            if (speed == "max") {
                options.replaySpeed = 0.0;
            } else if (!parseNumber(speed.c_str(), options.replaySpeed)
                       || !(options.replaySpeed >= sim::kMinReplaySpeed)) {
                std::fprintf(stderr, "gpsdesk-sim: --speed needs a number of at least %g or max\n%s",
                             sim::kMinReplaySpeed, kUsage);
                return 2;
            }
        } else if (arg == "--times") {
            options.replayTimesPath = text();
        } else if (arg == "--loop") {
            options.loop = true;
        } else if (arg == "--link") {
            options.linkPath = text();
        } else if (arg == "--record") {
            options.recordPath = text();
        } else if (arg == "--duration") {
            number(duration);
        } else if (arg == "--silence-at") {
            number(options.faults.silenceAtSeconds);
        } else if (arg == "--silence") {
            number(options.faults.silenceSeconds);
            if (options.faults.silenceAtSeconds < 0.0) options.faults.silenceAtSeconds = 0.0;
        } else if (arg == "--bad-checksums") {
            number(options.faults.badChecksumShare);
        } else if (arg == "--cut") {
            number(options.faults.cutShare);
        } else if (arg == "--overlong") {
            number(options.faults.overlongShare);
        } else if (arg == "--noise") {
            number(options.faults.noiseShare);
        } else if (arg == "--unplug-at") {
            number(options.faults.unplugAtSeconds);
        } else {
            std::fprintf(stderr, "gpsdesk-sim: unknown option %s\n%s", arg.c_str(), kUsage);
            return 2;
        }
    }

    // A generation-9 receiver leaves the factory at 38400 bit/s, an M8 at 9600.
    if (options.protocol != sim::Protocol::Nmea && !rateGiven)
        options.rate = sim::UbxReceiver::factoryBaud(options.protocol == sim::Protocol::UbxM8 ? sim::UbxModel::M8
                                                                                             : sim::UbxModel::Generation9);

    // Block the ending signals before the simulator thread exists, so that only the wait
    // below receives them.
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGINT);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);

    sim::Simulator simulator(options);
    if (!simulator.start()) {
        std::fprintf(stderr, "gpsdesk-sim: %s\n", simulator.error().c_str());
        return 1;
    }
    std::printf("%s\n", simulator.devicePath().c_str());
    std::fflush(stdout);

    timespec step{0, 200 * 1000 * 1000};
    timespec begun;
    clock_gettime(CLOCK_MONOTONIC, &begun);
    for (;;) {
        if (sigtimedwait(&ending, nullptr, &step) > 0) break;
        if (simulator.unplugged()) break;
        if (duration >= 0.0) {
            timespec now;
            clock_gettime(CLOCK_MONOTONIC, &now);
            const double elapsed = static_cast<double>(now.tv_sec - begun.tv_sec)
                                   + static_cast<double>(now.tv_nsec - begun.tv_nsec) / 1e9;
            if (elapsed >= duration) break;
        }
    }
    simulator.stop();
    return 0;
}
