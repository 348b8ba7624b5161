// SPDX-License-Identifier: BSD-2-Clause
#pragma once
// CPU time from a /proc stat file (a process's or one of its threads').

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <unistd.h>

// (user, system) seconds; zeros when the file cannot be read.
inline std::pair<double, double> cpuSecondsOf(const std::filesystem::path& statFile)
{
    std::ifstream stat(statFile);
    std::string all((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto nameEnd = all.rfind(')');
    if (nameEnd == std::string::npos || nameEnd + 2 > all.size()) return {0.0, 0.0};
    // After the name: state, then ten fields, then utime and stime in clock ticks.
    std::istringstream fields(all.substr(nameEnd + 2));
    std::string skip;
    for (int i = 0; i < 11; ++i) fields >> skip;
    double user = 0, system = 0;
    fields >> user >> system;
    const double tick = static_cast<double>(::sysconf(_SC_CLK_TCK));
    return {user / tick, system / tick};
}
