// SPDX-License-Identifier: BSD-2-Clause
#include "serial/PortDiscovery.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct DiscoveryState {
    std::mutex mutex;
    std::string sysRoot = "/sys";
    std::string devRoot = "/dev";
    std::vector<std::string> extraPorts;
};

DiscoveryState& discoveryState()
{
    static DiscoveryState state;
    return state;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Digit runs compare by value, so ttyUSB2 sorts before ttyUSB10.
bool naturalLess(const std::string& a, const std::string& b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t endA = i;
            std::size_t endB = j;
            while (endA < a.size() && isDigit(a[endA])) ++endA;
            while (endB < b.size() && isDigit(b[endB])) ++endB;
            std::size_t startA = i;
            std::size_t startB = j;
            while (startA + 1 < endA && a[startA] == '0') ++startA;
            while (startB + 1 < endB && b[startB] == '0') ++startB;
            const std::string_view runA(a.data() + startA, endA - startA);
            const std::string_view runB(b.data() + startB, endB - startB);
            if (runA.size() != runB.size()) return runA.size() < runB.size();
            if (runA != runB) return runA < runB;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
    return a < b;
}

// Legacy 8250 ports are registered whether or not a UART answers; an absent one has
// type 0 (PORT_UNKNOWN). The file needs no open of the device and no permissions.
bool isPhantom(const fs::path& ttyDir)
{
    std::ifstream typeFile(ttyDir / "type");
    if (!typeFile) return false;
    std::string type;
    typeFile >> type;
    return type == "0";
}

bool isCharacterDevice(const fs::path& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

// The discovered device paths, or nothing when the tty class cannot be read.
std::optional<std::vector<std::string>> discover(const std::string& sysRoot,
                                                 const std::string& devRoot)
{
    const fs::path classDir = fs::path(sysRoot) / "class" / "tty";
    std::error_code error;
    fs::directory_iterator it(classDir, error);
    if (error) return std::nullopt;

    std::vector<std::string> names;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error) return std::nullopt;
        const std::string name = it->path().filename().string();
        const fs::path ttyDir = it->path();
        std::error_code linkError;
        // Virtual consoles, ptmx and the like have no device behind them; Bluetooth
        // rfcomm links have none either but are real serial ports.
        const bool hasDevice = fs::symlink_status(ttyDir / "device", linkError).type()
                               != fs::file_type::not_found
                               && !linkError;
        if (!hasDevice && name.rfind("rfcomm", 0) != 0) continue;
        if (isPhantom(ttyDir)) continue;
        if (!isCharacterDevice(fs::path(devRoot) / name)) continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(), naturalLess);

    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const auto& name : names) paths.push_back((fs::path(devRoot) / name).string());
    return paths;
}

}  // namespace

std::optional<std::string> PortDiscovery::devicesStamp()
{
    const auto [sysRoot, devRoot] = deviceRoots();
    std::string stamp = sysRoot + '\n' + devRoot + '\n';
    {
        auto& state = discoveryState();
        std::lock_guard lock(state.mutex);
        for (const std::string& extra : state.extraPorts) stamp += extra + '\n';
    }
    const auto changed = [](const fs::path& folder) -> std::optional<std::string> {
        struct stat info;
        if (::stat(folder.c_str(), &info) != 0) return std::nullopt;
        return std::to_string(info.st_mtim.tv_sec) + '.' + std::to_string(info.st_mtim.tv_nsec);
    };
    const auto dev = changed(devRoot);
    if (!dev) return std::nullopt;
    stamp += *dev;
    for (const fs::path& folder : {fs::path(devRoot) / "serial", fs::path(devRoot) / "serial" / "by-id",
                                  fs::path(sysRoot) / "class" / "tty"})
        stamp += ' ' + changed(folder).value_or("-");
    return stamp;
}

void PortDiscovery::setDeviceRoots(const std::string& sysRoot, const std::string& devRoot)
{
    auto& state = discoveryState();
    std::lock_guard lock(state.mutex);
    state.sysRoot = sysRoot;
    state.devRoot = devRoot;
}

std::pair<std::string, std::string> PortDiscovery::deviceRoots()
{
    auto& state = discoveryState();
    std::lock_guard lock(state.mutex);
    return {state.sysRoot, state.devRoot};
}

void PortDiscovery::addExtraPort(const std::string& path)
{
    auto& state = discoveryState();
    std::lock_guard lock(state.mutex);
    state.extraPorts.push_back(path);
}

void PortDiscovery::clearExtraPorts()
{
    auto& state = discoveryState();
    std::lock_guard lock(state.mutex);
    state.extraPorts.clear();
}

std::optional<std::vector<std::string>> PortDiscovery::listPorts()
{
    auto& state = discoveryState();
    std::string sysRoot;
    std::string devRoot;
    std::vector<std::string> extras;
    {
        std::lock_guard lock(state.mutex);
        sysRoot = state.sysRoot;
        devRoot = state.devRoot;
        extras = state.extraPorts;
    }
    auto paths = discover(sysRoot, devRoot);
    // Ports named on the command line still count when the tty class cannot be read (a
    // container without sysfs, say).
    if (!paths) {
        if (extras.empty()) return std::nullopt;
        paths.emplace();
    }
    for (const auto& extra : extras)
        if (std::find(paths->begin(), paths->end(), extra) == paths->end())
            paths->push_back(extra);
    return paths;
}

bool PortDiscovery::isDeviceNode(const std::string& path)
{
    return isCharacterDevice(path);
}

void PortDiscovery::nameThread(const char* name)
{
    pthread_setname_np(pthread_self(), name);
}
