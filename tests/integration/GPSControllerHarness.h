// SPDX-License-Identifier: BSD-2-Clause
#pragma once

// The window controller with its real reader thread and the real Serial, against the
// simulated receiver on a pseudo-terminal; everything on screen is a fake.

#include <chrono>
#include <cstdint>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "posix/PosixSleeper.h"
#include "serial/PortDiscovery.h"
#include "serial/Serial.h"
#include "sim/Simulator.h"
#include "unit/GPSControllerTestSupport.h"

namespace harness {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

// A monitor text view that keeps whole lines with their colour and the lamp state at the
// moment each line began, and counts them. Main thread, like every text view.
class RecordingTextView : public platform::TextView {
public:
    struct Line {
        std::string text;
        platform::Color color;
        std::uint32_t lampWhenShown;
    };
    const DataLampView* lamp = nullptr;
    std::vector<Line> lines;
    std::size_t green = 0, yellow = 0;
    std::size_t notes = 0;  // "  <- ..." lines under a handled sentence: no sentence of their own

    std::size_t length() const override { return m_length; }
    std::string string() const override { return {}; }
    void appendText(const std::string& text, platform::Color color) override
    {
        m_length += text.size();
        if (text == "\n") {
            lines.push_back({m_current, color, m_lamp});
            if (m_current.starts_with("  <- "))
                ++notes;
            else
                (color == platform::Color::Green ? green : yellow) += 1;
            m_current.clear();
            return;
        }
        if (m_current.empty()) m_lamp = lamp ? lamp->dataReadyState() : 0;
        m_current += text;
    }
    void clear() override
    {
        lines.clear();
        green = yellow = notes = 0;
        m_current.clear();
        m_length = 0;
    }
    std::size_t lineCount() const override { return 0; }  // never trimmed here
    void removeFirstLines(std::size_t) override {}
    void scrollToEnd() override {}
    void setFont(const platform::Font&) override {}
    void setNeedsDisplay() override {}

    bool contains(const std::string& needle) const
    {
        for (const Line& line : lines)
            if (line.text.find(needle) != std::string::npos) return true;
        return false;
    }

private:
    std::string m_current;
    std::size_t m_length = 0;
    std::uint32_t m_lamp = 0;
};

// CPU seconds used so far by the thread of this process with the given name, or nothing.
inline std::optional<double> threadCpuSeconds(const std::string& name)
{
    DIR* tasks = ::opendir("/proc/self/task");
    if (!tasks) return std::nullopt;
    std::optional<double> seconds;
    while (dirent* entry = ::readdir(tasks)) {
        const std::string task = std::string("/proc/self/task/") + entry->d_name;
        std::ifstream comm(task + "/comm");
        std::string found;
        if (!std::getline(comm, found) || found != name) continue;
        std::ifstream stat(task + "/stat");
        std::string all((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const auto close = all.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream fields(all.substr(close + 2));
        std::string skip;
        for (int i = 0; i < 11; ++i) fields >> skip;  // state .. cmajflt
        long long user = 0, system = 0;
        fields >> user >> system;
        seconds = static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }
    ::closedir(tasks);
    return seconds;
}

// The whole window on fakes, with a real interruptible sleeper for the reader thread.
class ControllerTest : public ::testing::Test {
protected:
    fakes::FakePlatform platform;
    platform::posix::PosixSleeper sleeper;
    RecordingTextView monitorView;
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<controllertest::MainWindow> window;

    void SetUp() override
    {
        PortDiscovery::setDeviceRoots("/nonexistent-sys", "/nonexistent-dev");
        PortDiscovery::clearExtraPorts();
        window = std::make_unique<controllertest::MainWindow>();
        window->monitor.setMonitorTextView(&monitorView);
        monitorView.lamp = &window->dataReady;
        window->controller->setSleeper(&sleeper);
    }
    void TearDown() override
    {
        // The controller first: its thread must be gone before the port's device.
        if (window && window->controller) window->controller->shutdown();
        window.reset();
        simulator.reset();
        PortDiscovery::clearExtraPorts();
    }

    GPSController& controller() { return *window->controller; }

    bool startSimulator(sim::Options options)
    {
        simulator = std::make_unique<sim::Simulator>(std::move(options));
        if (!simulator->start()) {
            ADD_FAILURE() << "simulator: " << simulator->error();
            return false;
        }
        return true;
    }

    void restore(const std::string& port, const std::string& rate)
    {
        platform.preferences.values["serialPort"] = platform::PreferenceValue(port);
        platform.preferences.values["rate"] = platform::PreferenceValue(rate);
    }

    // Wakes the drawers and the controller, as the window description does.
    void wake()
    {
        window->wakeDrawers();
        controller().start();
    }

    bool until(const std::function<bool()>& done, double seconds = 10.0)
    {
        return platform.mainThread.processEventsUntil(done, seconds);
    }

    bool openLineShown(const std::string& port, const std::string& rate)
    {
        return monitorView.contains("#### Open " + port + " at " + rate);
    }
};

}  // namespace harness
