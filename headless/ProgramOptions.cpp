// SPDX-License-Identifier: BSD-2-Clause
#include "headless/ProgramOptions.h"

#include "binary/UbxConfigKeys.h"

#include "serial/RateHunt.h"
#include "serial/Serial.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "stream/NmeaShare.h"
#include "sim/Simulator.h"

namespace qtplatform {

namespace {

constexpr double kMinReplaySpeed = sim::kMinReplaySpeed;

std::string decimal(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::optional<double> parseSeconds(const std::string& text)
{
    double seconds = 0;
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, seconds);
    if (failure != std::errc() || stop != end || !std::isfinite(seconds) || seconds < 0)
        return std::nullopt;
    return seconds;
}

}  // namespace

ProgramOptions ProgramOptions::parse(const std::vector<std::string>& arguments)
{
    ProgramOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> value;
        if (const auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        const bool takesValue = name == "--port" || name == "--screenshot" || name == "--quit-after"
                                || name == "--rate" || name == "--record" || name == "--replay"
                                || name == "--speed" || name == "--share" || name == "--source"
                                || name == "--ntrip" || name == "--set";
        if (takesValue && !value) {
            if (i + 1 >= arguments.size()) {
                options.error = name + " needs a value";
                return options;
            }
            value = arguments[++i];
        }
        if (!takesValue && value) {
            options.error = name + " takes no value";
            return options;
        }
        if (name == "--port") {
            if (value->empty()) {
                options.error = "--port needs a device path";
                return options;
            }
            options.ports.push_back(*value);
        } else if (name == "--screenshot") {
            if (value->empty()) {
                options.error = "--screenshot needs a file name";
                return options;
            }
            options.screenshot = *value;
        } else if (name == "--quit-after") {
            options.quitAfterSeconds = parseSeconds(*value);
            if (!options.quitAfterSeconds) {
                options.error = "--quit-after needs a number of seconds, not \"" + *value + "\"";
                return options;
            }
        } else if (name == "--rate") {
            // An unknown rate would quietly run the line at 4800.
            if (*value != "auto" && !Serial::isKnownRate(*value)) {
                options.error = "--rate needs \"auto\" or one of 4800, 9600, 19200, 38400, 57600, "
                                "115200, 230400, 460800, 921600, not \"" + *value + "\"";
                return options;
            }
            options.rate = *value == "auto" ? RateHunt::kAutomaticRate : *value;
        } else if (name == "--headless") {
            options.headless = true;
        } else if (name == "--record" || name == "--replay") {
            if (value->empty()) {
                options.error = name + " needs a file name";
                return options;
            }
            (name == "--record" ? options.recordPath : options.replayPath) = *value;
        } else if (name == "--speed") {
            const auto speed = *value == "max" ? std::optional<double>(0.0) : parseSeconds(*value);
            if (!speed || (*value != "max" && !(*speed >= kMinReplaySpeed))) {
                options.error = "--speed needs a factor of at least " + decimal(kMinReplaySpeed)
                                + " or \"max\", not \"" + *value + "\"";
                return options;
            }
            options.replaySpeed = *speed;
        } else if (name == "--share") {
            if (!NmeaShare::parseEndpoint(*value)) {
                options.error = "--share needs [ADDRESS:]PORT with a numeric address, not \"" + *value + "\"";
                return options;
            }
            options.share = *value;
        } else if (name == "--source" || name == "--ntrip") {
            // Checked where the addresses are parsed; a password never belongs here.
            if (value->empty()) {
                options.error = name + " needs an address";
                return options;
            }
            (name == "--source" ? options.source : options.ntrip) = *value;
        } else if (name == "--set") {
            const binary::UbxConfigParse parsed = binary::parseUbxConfigAssignment(*value);
            if (!parsed.value) {
                options.error = "--set needs KEY=VALUE with a key the receiver's configuration knows "
                                "(for example CFG-RATE-MEAS=200), not \"" + *value + "\"";
                return options;
            }
            options.settings.push_back(*value);
        } else if (name == "--save") {
            options.save = true;
        } else if (name == "--simulate") {
            options.simulate = true;
        } else if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--version") {
            options.version = true;
        } else {
            options.error = "unknown option \"" + name + "\"";
            return options;
        }
    }
    return options;
}

std::string ProgramOptions::usage(const std::string& program)
{
    return "Usage: " + program +
           " [--port PATH]... [--rate RATE] [--simulate] [--screenshot FILE.png]\n"
           "       [--quit-after SECONDS] [--record FILE] [--replay FILE [--speed N|max]]\n"
           "       [--share [ADDRESS:]PORT] [--source URL]\n"
           "       " + program + " --headless (--port PATH | --source URL | --simulate | --replay FILE)\n"
           "       [--rate RATE] [--ntrip URL] [--record FILE] [--share [ADDRESS:]PORT]\n"
           "       [--set KEY=VALUE]... [--save] [--quit-after SECONDS]\n"
           "       " + program + " --help | --version\n"
           "\n"
           "GPS Desk shows time, position, fix, speed and course from a GPS receiver on a\n"
           "serial port. Six panes open beside the read-outs: the satellites (sky plot and\n"
           "signal bars), the settings, the monitor of the raw sentences, an overview, the\n"
           "receiver test (first fix, restarts, accuracy) and share (to other programs).\n"
           "The File menu records the stream, replays a recording and exports GPX.\n"
           "Keys: Ctrl+K connect, Ctrl+1..4 satellites, settings, monitor, receiver test,\n"
           "F1 help page, Ctrl+Q quit.\n"
           "\n"
           "  --port PATH            use this device (a pseudo-terminal, a socat link): it is\n"
           "                         chosen and connected; may be given more than once, the\n"
           "                         first is chosen\n"
           "  --simulate             start the built-in simulated receiver and offer its port\n"
           "  --rate RATE            the line rate for the port, in bits per second, or auto\n"
           "                         to find it (tried: the stored rate, then the usual ones)\n"
           "  --headless             no window: read the receiver and write one JSON report a\n"
           "                         line to standard output (TPV and SKY, as gpsd writes\n"
           "                         them); messages go to standard error, and the exit status\n"
           "                         says whether the port could be used\n"
           "  --screenshot FILE.png  write the window and its open panes as one picture just\n"
           "                         before the program ends (works with QT_QPA_PLATFORM=offscreen)\n"
           "  --quit-after SECONDS   end the program normally after this many seconds\n"
           "  --record FILE          write every line received to FILE (arrival times to\n"
           "                         FILE.times)\n"
           "  --replay FILE          play a log through the simulated receiver at its own pace\n"
           "  --speed N|max          replay N times faster, or as fast as it is read\n"
           "  --share [ADDRESS:]PORT re-send valid sentences to TCP clients (default address\n"
           "                         127.0.0.1) and on a pseudo-terminal linked at\n"
           "                         $XDG_RUNTIME_DIR/gpsdesk/nmea\n"
           "  --source URL           read a receiver over the network: tcp://HOST:PORT\n"
           "                         for one sending NMEA or UBX over TCP, gpsd://HOST[:PORT]\n"
           "                         [/DEVICE] to read through a running gpsd (no configuration)\n"
           "  --ntrip URL            corrections for an RTK receiver from an NTRIP caster,\n"
           "                         ntrip://USER@HOST:PORT/MOUNT (ntrips:// for TLS), written\n"
           "                         whole to the receiver; the password comes from\n"
           "                         GPSDESK_NTRIP_PASSWORD, never from the command line\n"
           "  --set KEY=VALUE        configure a u-blox receiver of generation 9 or later with\n"
           "                         its own key names (CFG-RATE-MEAS=200); repeatable; every\n"
           "                         write is confirmed or refused by the receiver (headless)\n"
           "  --save                 keep the configuration in battery-backed RAM and flash\n"
           "  --help                 show this text\n"
           "  --version              show the version\n";
}

std::optional<int> ProgramOptions::answeredAlone(const std::string& program) const
{
    if (!error.empty()) {
        std::fprintf(stderr, "gpsdesk: %s\n%s", error.c_str(), usage(program).c_str());
        return 2;
    }
    if (help) {
        std::fputs(usage(program).c_str(), stdout);
        return 0;
    }
    if (version) {
        std::printf("gpsdesk %s\n", GPSDESK_VERSION);
        return 0;
    }
    return std::nullopt;
}

}  // namespace qtplatform
