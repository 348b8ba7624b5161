// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qtplatform {

// The command line of gpsdesk. Each option takes "--name VALUE" or "--name=VALUE".
struct ProgramOptions {
    std::vector<std::string> ports;          // --port PATH, repeatable, in the given order
    std::optional<std::string> screenshot;   // --screenshot FILE.png
    std::optional<double> quitAfterSeconds;  // --quit-after SECONDS
    std::optional<std::string> rate;         // --rate RATE; "auto" is kept as "Automatic"
    bool simulate = false;                   // --simulate
    bool headless = false;                   // --headless
    std::optional<std::string> recordPath;   // --record FILE
    std::optional<std::string> replayPath;   // --replay FILE
    double replaySpeed = 1.0;                // --speed N|max (max: 0)
    std::optional<std::string> share;        // --share [ADDRESS:]PORT, checked
    std::optional<std::string> source;       // --source tcp://HOST:PORT | gpsd://HOST[:PORT][/DEVICE]
    std::optional<std::string> ntrip;        // --ntrip ntrip[s]://USER@HOST:PORT/MOUNT
    std::vector<std::string> settings;       // --set KEY=VALUE, repeatable, checked
    bool save = false;                       // --save
    bool help = false;                       // --help / -h
    bool version = false;                    // --version
    std::string error;                       // not empty: the command line is unusable

    // arguments without the program name.
    static ProgramOptions parse(const std::vector<std::string>& arguments);
    static std::string usage(const std::string& program);
    // A command line that is unusable, or asks for --help or --version, is answered here
    // (standard error or output): the exit status. Nothing when the program is to run.
    std::optional<int> answeredAlone(const std::string& program) const;
};

}  // namespace qtplatform
