// SPDX-License-Identifier: BSD-2-Clause
// Whole-pipeline figures: the simulator's terminal, the real Serial, the real reader thread
// with its decoders, the real Qt hand-off of queued updates to the main thread (offscreen)
// and the handlers; the controls are minimal stand-ins. Prints sentences handled per second
// (none may be lost), the hand-offs a second, and the latency from a line handed to the
// simulator to its update shown. See bench/README.md.

#if __has_include(<QApplication>) && __has_include("qt/QtMainThread.h")

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QTimer>
#include <sys/resource.h>
#include <unistd.h>

#include "app/GPSController.h"
#include "app/MonitorController.h"
#include "instruments/SatelliteStore.h"
#include "app/GPSSettingsController.h"
#include "platform/ComboBox.h"
#include "platform/Drawer.h"
#include "platform/Services.h"
#include "platform/TextField.h"
#include "platform/TextView.h"
#include "posix/PosixClock.h"
#include "posix/PosixSleeper.h"
#include "qt/QtMainThread.h"
#include "instruments/CompassView.h"
#include "instruments/DataLampView.h"
#include "serial/PortDiscovery.h"
#include "serial/Serial.h"
#include "bench/ProcStat.h"
#include "bench/ReceiverOutput.h"
#include "sim/Simulator.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

class Field : public platform::TextField {
public:
    void setStringValue(const std::string& text) override { m_text = text; }
    void setObjectValue(std::optional<float> value) override { m_value = value; }
    void setFormatter(const platform::Formatter*) override {}
    void setFont(const platform::Font&) override {}
    platform::Rect bounds() const override { return {0, 0, 100, 24}; }
    std::string stringValue() const override { return m_text; }
    void setStale(bool) override {}

private:
    std::string m_text;
    std::optional<float> m_value;
};

class Box : public platform::ComboBox {
public:
    std::vector<std::string> items;
    int selected = -1;
    void addItemWithObjectValue(const std::string& text) override { items.push_back(text); }
    void removeAllItems() override { items.clear(); }
    int numberOfItems() const override { return static_cast<int>(items.size()); }
    void setNumberOfVisibleItems(int) override {}
    void selectItemAtIndex(int index) override
    {
        if (index >= 0 && index < numberOfItems()) selected = index;
    }
    int indexOfSelectedItem() const override { return selected; }
    std::optional<std::string> objectValueOfSelectedItem() const override
    {
        return itemObjectValueAtIndex(selected);
    }
    std::optional<std::string> itemObjectValueAtIndex(int index) const override
    {
        if (index < 0 || index >= numberOfItems()) return std::nullopt;
        return items[static_cast<std::size_t>(index)];
    }
};

class NoDrawer : public platform::Drawer {
public:
    void open() override {}
    void close() override {}
    bool isOpen() const override { return false; }
    void setDelegate(platform::DrawerDelegate*) override {}
};

// Counts shown sentences by colour and notes the announcement of an opened port.
class CountingTextView : public platform::TextView {
public:
    std::size_t green = 0, yellow = 0;
    bool opened = false;
    std::size_t length() const override { return 0; }
    std::string string() const override { return {}; }
    void appendText(const std::string& text, platform::Color color) override
    {
        if (text.rfind("#### Open", 0) == 0) opened = true;
        if (text == "\n") ++(color == platform::Color::Green ? green : yellow);
    }
    void clear() override {}
    std::size_t lineCount() const override { return 0; }
    void removeFirstLines(std::size_t) override {}
    void scrollToEnd() override {}
    void setFont(const platform::Font&) override {}
    void setNeedsDisplay() override {}
};

// The real hand-off, with the moment each queued call has finished.
class TimedMainThread : public platform::MainThread {
public:
    explicit TimedMainThread(platform::MainThread& inner) : m_inner(inner) {}
    std::vector<SteadyClock::time_point> finished;  // main thread only

    void post(std::function<void()> call) override
    {
        m_inner.post([this, call = std::move(call)] {
            call();
            finished.push_back(SteadyClock::now());
        });
    }
    bool run(std::function<void()> call) override { return m_inner.run(std::move(call)); }

private:
    platform::MainThread& m_inner;
};

// Runs the Qt event loop, sleeping while there is nothing to do (a busy loop here would
// take the core the reader thread needs), until done() holds or the time is up.
bool pump(const std::function<bool()>& done, double seconds)
{
    QTimer tick;  // wakes the loop so the time limit is seen
    tick.start(20);
    const auto end = SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(
                                              std::chrono::duration<double>(seconds));
    while (!done()) {
        if (SteadyClock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

double percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    const std::size_t at = std::min(values.size() - 1,
                                    static_cast<std::size_t>(share * static_cast<double>(values.size())));
    return values[at];
}

}  // namespace

// CPU seconds (user, system) of this process's thread with the given name, or of the main
// thread for an empty name.
std::pair<double, double> threadCpuSeconds(const std::string& name)
{
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string found;
        if (name.empty()) {
            if (task.path().filename() != std::to_string(::getpid())) continue;
        } else if (!std::getline(comm, found) || found != name) {
            continue;
        }
        return cpuSecondsOf(task.path() / "stat");
    }
    return {0.0, 0.0};
}

double processCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// pipeline_runner [BURST [SAMPLES]]   burst throughput and one-at-a-time latency
// pipeline_runner paced SECONDS       CPU of the process with the simulator at 4800 baud
int main(int argc, char** argv)
{
    const bool paced = argc > 1 && std::string(argv[1]) == "paced";
    const long burst = !paced && argc > 1 ? std::atol(argv[1]) : 70000;
    const int samples = !paced && argc > 2 ? std::atoi(argv[2]) : 2000;
    const double pacedSeconds = paced && argc > 2 ? std::atof(argv[2]) : 60.0;
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);

    // Burst and latency: an idle replay, so the simulator sends nothing but what is
    // injected. Paced: its built-in route at 4800 baud, as a receiver would.
    const std::string idle = "/tmp/gpsdesk-pipeline-idle-" + std::to_string(::getpid()) + ".log";
    if (FILE* file = std::fopen(idle.c_str(), "w")) {
        std::fputs(onTheWire("$PGDSK,IDLE").c_str(), file);
        std::fclose(file);
    }
    sim::Options options;
    if (!paced) {
        options.replayPath = idle;
        options.unpaced = true;
    }
    sim::Simulator simulator(options);
    if (!simulator.start()) {
        std::fprintf(stderr, "simulator: %s\n", simulator.error().c_str());
        return 1;
    }
    std::remove(idle.c_str());
    PortDiscovery::addExtraPort(simulator.devicePath());

    qtplatform::QtMainThread qtMainThread;
    TimedMainThread mainThread(qtMainThread);
    platform::posix::PosixClock clock;
    platform::posix::PosixSleeper sleeper;
    platform::Services& services = platform::services();
    services.mainThread = &qtMainThread;
    services.clock = &clock;
    services.sleeper = &sleeper;

    Field fields[12];
    Box rates, ports, units;
    NoDrawer drawer;
    CountingTextView monitorText;
    DataLampView lamp;
    CompassView compass;
    GPSSettingsController settings;
    MonitorController monitor;
    SatelliteStore satellites;
    settings.setRateComboBox(&rates);
    settings.setPortComboBox(&ports);
    settings.setUnitsComboBox(&units);
    settings.setSettingsDrawer(&drawer);
    monitor.setMonitorDrawer(&drawer);
    monitor.setMonitorTextView(&monitorText);
    {
        GPSController controller;
        controller.setUtcField(&fields[0]);
        controller.setFixField(&fields[1]);
        controller.setLatitudeField(&fields[2]);
        controller.setLongitudeField(&fields[3]);
        controller.setCogField(&fields[4]);
        controller.setSogField(&fields[5]);
        controller.setDataReadyView(&lamp);
        controller.setCompassView(&compass);
        controller.setGpsSettingsController(&settings);
        controller.setSatelliteStore(&satellites);
        controller.setMonitorController(&monitor);
        controller.setMainThread(&mainThread);
        settings.start();
        monitor.start();
        satellites.start();
        controller.start();

        // The simulator's terminal, wherever discovery put it in the list.
        for (int i = 0; i < ports.numberOfItems(); ++i)
            if (ports.itemObjectValueAtIndex(i) == simulator.devicePath()) ports.selectItemAtIndex(i);
        // Only captured: the reader's own connect two seconds after start opens it. A connect
        // command as well could catch the reader before it counts as connected and make it
        // connect a second time, mid-burst, dropping what the terminal holds.
        settings.getGPSSettingsSelection();
        if (!pump([&] { return monitorText.opened; }, 10.0)) {
            std::fprintf(stderr, "no connection\n");
            return 1;
        }
        if (paced) {
            pump([&] { return simulator.received().size() >= 6 * 25; }, 10.0);
            pump([] { return false; }, 2.0);
            const std::size_t greenBefore = monitorText.green;
            const double cpuBefore = processCpuSeconds();
            const auto readerBefore = threadCpuSeconds("gpsdesk-reader");
            const auto mainBefore = threadCpuSeconds("");
            const auto simulatorBefore = threadCpuSeconds("gpsdesk-sim");
            const auto start = SteadyClock::now();
            // The Qt event loop waits for work the way the program's does.
            QTimer::singleShot(static_cast<int>(pacedSeconds * 1000.0), &application,
                               [] { QCoreApplication::exit(0); });
            QApplication::exec();
            const double wall = std::chrono::duration<double>(SteadyClock::now() - start).count();
            const double cpu = processCpuSeconds() - cpuBefore;
            const auto readerAfter = threadCpuSeconds("gpsdesk-reader");
            const auto mainAfter = threadCpuSeconds("");
            const auto simulatorAfter = threadCpuSeconds("gpsdesk-sim");
            const auto spent = [](std::pair<double, double> after, std::pair<double, double> before) {
                return after.first + after.second - before.first - before.second;
            };
            const double reader = spent(readerAfter, readerBefore);
            const double main = spent(mainAfter, mainBefore);
            const double simulated = spent(simulatorAfter, simulatorBefore);
            const double percent = 100.0 / wall;
            std::printf("paced 4800 baud: %.1f s, %zu sentences handled\n"
                        "  GPS Desk (process less the simulator thread): %.3f s = %.2f %% of one "
                        "core (reader thread %.2f %%, main thread %.2f %%, other %.2f %%)\n"
                        "  simulator thread: %.2f %%; whole process: %.2f %%\n",
                        wall, monitorText.green - greenBefore, cpu - simulated,
                        percent * (cpu - simulated), percent * reader, percent * main,
                        percent * (cpu - simulated - reader - main), percent * simulated,
                        percent * cpu);
            qtMainThread.quit();
            controller.shutdown();
            simulator.stop();
            services = platform::Services{};
            return 0;
        }
        simulator.injectBytes("$Version pipeline\r\n");
        pump([&] { return simulator.received().size() >= 6 * 25; }, 10.0);
        pump([] { return false; }, 0.3);

        // Throughput: a burst as fast as the terminal takes it.
        std::string bytes;
        long queued = 0;
        for (int second = 0; queued < burst; ++second) {
            for (const std::string& line : secondOfOutput(second)) {
                if (queued == burst) break;
                bytes += line;
                ++queued;
            }
        }
        const std::size_t greenBefore = monitorText.green;
        const std::size_t finishedBefore = mainThread.finished.size();
        const auto readerBefore = threadCpuSeconds("gpsdesk-reader");
        const double cpuBefore = processCpuSeconds();
        const auto burstStart = SteadyClock::now();
        simulator.injectBytes(bytes);
        const bool complete = pump(
            [&] { return monitorText.green - greenBefore >= static_cast<std::size_t>(burst); },
            120.0);
        pump([] { return false; }, 0.3);
        const std::size_t handled = monitorText.green - greenBefore;
        const double burstSeconds = std::chrono::duration<double>(
            mainThread.finished.back() - burstStart).count();
        std::printf("burst: %ld sentences (%zu bytes) sent, %zu handled, %zu lost, %.3f s, "
                    "%.0f sentences/s%s\n",
                    burst, bytes.size(), handled, static_cast<std::size_t>(burst) - std::min<std::size_t>(handled, burst),
                    burstSeconds, static_cast<double>(handled) / burstSeconds,
                    complete ? "" : " (TIMED OUT)");
        const std::size_t drains = mainThread.finished.size() - finishedBefore;
        std::printf("burst hand-offs to the main thread: %zu (%.1f a second), updates dropped: %llu\n",
                    drains, static_cast<double>(drains) / burstSeconds,
                    static_cast<unsigned long long>(controller.droppedUpdates()));
        const auto readerAfter = threadCpuSeconds("gpsdesk-reader");
        std::printf("burst CPU: whole process %.2f s, reader thread %.2f s user + %.2f s system\n",
                    processCpuSeconds() - cpuBefore, readerAfter.first - readerBefore.first,
                    readerAfter.second - readerBefore.second);

        // Latency: one line at a time, from the hand-over to the simulator to its update
        // applied on the main thread (an upper bound of line feed written to update shown).
        // Hand-offs come at most ~30 a second, so a line close behind the last one waits for
        // the rest of that 1/30 s.
        std::vector<double> latencies;
        const auto lines = secondOfOutput(1);
        for (int i = 0; i < samples; ++i) {
            const std::size_t before = mainThread.finished.size();
            const auto handedOver = SteadyClock::now();
            simulator.injectBytes(lines[static_cast<std::size_t>(i) % lines.size()]);
            if (!pump([&] { return mainThread.finished.size() > before; }, 5.0)) {
                std::fprintf(stderr, "sample %d never arrived\n", i);
                return 1;
            }
            latencies.push_back(std::chrono::duration<double, std::milli>(
                                    mainThread.finished[before] - handedOver).count());
        }
        std::printf("latency over %d sentences: p50 %.3f ms, p99 %.3f ms, max %.3f ms\n",
                    samples, percentile(latencies, 0.50), percentile(latencies, 0.99),
                    *std::max_element(latencies.begin(), latencies.end()));

        qtMainThread.quit();
        controller.shutdown();
    }
    simulator.stop();
    services = platform::Services{};
    return 0;
}

#else

#include <cstdio>

int main()
{
    std::puts("pipeline_runner: needs the Qt build of the platform (GPSDESK_QT=ON)");
    return 0;
}

#endif
