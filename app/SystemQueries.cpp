// SPDX-License-Identifier: BSD-2-Clause
#include "app/SystemQueries.h"

#include <cmath>
#include <filesystem>
#include <limits>

#include "platform/Services.h"
#include "platform/TextField.h"
#include "platform/Workspace.h"

namespace {

}  // namespace

bool SystemQueries::hasRAM()
{
    const platform::SystemInfo* info = platform::services().systemInfo;
    if (!info) return false;
    // Compared as 64 bits: a 32-bit byte count wraps on machines of 2 GiB and more.
    const auto bytes = info->physicalMemoryBytes();
    return bytes && *bytes < (std::uint64_t{1} << 28);
}

bool SystemQueries::hasScreen()
{
    const platform::Screen* screen = platform::services().screen;
    const auto size = screen ? screen->mainScreenSize() : std::nullopt;
    if (!size) return true;
    return size->width < 1024.0f || size->height < 768.0f;
}

std::uint32_t SystemQueries::screenDPI()
{
    const platform::Screen* screen = platform::services().screen;
    const auto dpi = screen ? screen->horizontalDPI() : std::nullopt;
    // Zero, negative or NaN is no resolution either.
    if (!dpi || !(*dpi >= 1.0f)) return 72;
    if (*dpi >= 4294967296.0f) return std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(*dpi);
}

void SystemQueries::sizeTextforControl(platform::TextField* control)
{
    if (!control) return;
    float size = control->bounds().height - 8.0f;
    // A control 9 points high or less still gets a font that can be drawn.
    if (!(size >= 1.0f)) size = 1.0f;
    control->setFont(platform::Font{platform::FontKind::BoldSystem, size});
}

std::FILE* SystemQueries::fopen(const std::string& path, const std::string& mode)
{
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    const auto slash = trimmed.rfind('/');
    if (slash == std::string::npos) return nullptr;
    const std::string folder = slash == 0 ? "/" : trimmed.substr(0, slash);
    const std::string name = trimmed.substr(slash + 1);
    if (name.empty()) return nullptr;
    std::error_code failed;
    std::filesystem::current_path(folder, failed);
    if (failed) return nullptr;
    return std::fopen(name.c_str(), mode.c_str());
}

std::uint32_t SystemQueries::titleBarControlsHeight()
{
    return 0;
}
