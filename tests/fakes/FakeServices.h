// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Alerts.h"
#include "platform/Application.h"
#include "platform/Preferences.h"
#include "platform/Services.h"
#include "platform/Workspace.h"

namespace fakes {

class FakeTimer : public platform::Timer {
public:
    double intervalSeconds = 0;
    std::function<void()> callback;
    bool valid = true;
    void invalidate() override { valid = false; }
    void fire()
    {
        if (valid && callback) callback();
    }
};

class FakeApplication : public platform::Application {
public:
    int terminateCount = 0;
    int beepCount = 0;
    platform::ApplicationDelegate* delegate = nullptr;
    std::vector<FakeTimer*> timers;  // owned by whoever scheduled them

    void terminate() override
    {
        ++terminateCount;
        if (delegate) delegate->applicationWillTerminate();
    }
    void beep() override { ++beepCount; }
    void setDelegate(platform::ApplicationDelegate* d) override { delegate = d; }
    std::unique_ptr<platform::Timer> scheduledTimer(double interval,
                                                    std::function<void()> fire) override
    {
        auto timer = std::make_unique<FakeTimer>();
        timer->intervalSeconds = interval;
        timer->callback = std::move(fire);
        timers.push_back(timer.get());
        return timer;
    }
};

// A main-thread queue that the test's own thread drains. The thread that made it is the
// main thread; run() from there executes at once.
class FakeMainThread : public platform::MainThread {
public:
    FakeMainThread();
    void post(std::function<void()> call) override;
    bool run(std::function<void()> call) override;
    // Runs queued calls until the queue is empty; returns how many ran. Main thread only.
    int processEvents();
    // Runs queued calls as they come until the predicate holds or the time is up.
    bool processEventsUntil(const std::function<bool()>& done, double timeoutSeconds);
    // Releases every waiting run() and refuses new ones (the application is quitting).
    void quit();
    std::size_t pending() const;
    // Calls posted so far, from any thread.
    std::size_t posted() const;

private:
    struct Item {
        std::function<void()> call;
        std::shared_ptr<bool> finished;
    };
    std::thread::id m_mainId;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Item> m_queue;
    std::size_t m_posted = 0;
    bool m_quitting = false;
};

class FakeClock : public platform::Clock {
public:
    double seconds = 1000.0;
    double now() const override { return seconds; }
    void advance(double by) { seconds += by; }
};

// Returns at once; records what was asked. wake() makes later sleeps fail.
class FakeSleeper : public platform::Sleeper {
public:
    bool sleepFor(double seconds) override;
    void wake() override;
    std::vector<double> sleeps() const;

private:
    mutable std::mutex m_mutex;
    std::vector<double> m_sleeps;
    bool m_woken = false;
};

class FakeAlerts : public platform::Alerts {
public:
    struct Panel {
        std::string title, message, defaultButton;
        std::optional<std::string> alternateButton;
    };
    struct Sheet {
        platform::Window* window = nullptr;
        std::string message;
        std::optional<std::string> informative;
        std::string button;
        std::function<void()> didEnd;
        bool open = true;
    };
    std::vector<Panel> panels;
    std::vector<Sheet> sheets;
    int panelAnswer = 0;

    int runPanel(const std::string& title, const std::string& message,
                 const std::string& defaultButton,
                 const std::optional<std::string>& alternateButton) override
    {
        panels.push_back({title, message, defaultButton, alternateButton});
        return panelAnswer;
    }
    void beginSheet(platform::Window* window, const std::string& message,
                    const std::optional<std::string>& informative, const std::string& button,
                    std::function<void()> didEnd) override
    {
        sheets.push_back({window, message, informative, button, std::move(didEnd), true});
    }
    // The user presses the sheet's button.
    void answerSheet(std::size_t index)
    {
        Sheet& sheet = sheets.at(index);
        if (!sheet.open) return;
        sheet.open = false;
        if (sheet.didEnd) sheet.didEnd();
    }
    std::size_t openSheets() const
    {
        std::size_t count = 0;
        for (const auto& sheet : sheets) count += sheet.open ? 1 : 0;
        return count;
    }
};

class FakeBundle : public platform::Bundle {
public:
    std::map<std::string, std::string> entries;
    std::map<std::string, std::string> resources;
    std::optional<std::string> objectForInfoDictionaryKey(const std::string& key) const override
    {
        const auto found = entries.find(key);
        if (found == entries.end()) return std::nullopt;
        return found->second;
    }
    std::optional<std::string> pathForResource(const std::string& name) const override
    {
        const auto found = resources.find(name);
        if (found == resources.end()) return std::nullopt;
        return found->second;
    }
};

class FakePreferences : public platform::Preferences {
public:
    std::map<std::string, platform::PreferenceValue> values;
    int synchronizeCount = 0;
    std::optional<std::string> failure;  // set: every synchronize() fails with this reason
    std::optional<platform::PreferenceValue> objectForKey(const std::string& key) const override
    {
        const auto found = values.find(key);
        if (found == values.end()) return std::nullopt;
        return found->second;
    }
    void setObject(const std::string& key, const platform::PreferenceValue& value) override
    {
        values[key] = value;
    }
    bool synchronize() override
    {
        ++synchronizeCount;
        return !failure;
    }
    std::string failureReason() const override { return failure.value_or(""); }
};

class FakeSpeech : public platform::Speech {
public:
    std::vector<std::string> spoken;
    bool available = true;
    bool startSpeaking(const std::string& text) override
    {
        if (!available) return false;
        spoken.push_back(text);
        return true;
    }
};

class FakeWorkspace : public platform::Workspace {
public:
    std::vector<std::string> executables;
    std::vector<std::string> media;
    std::vector<std::string> launched;
    std::vector<std::string> opened;
    bool isExecutableFileAtPath(const std::string& path) const override
    {
        for (const auto& e : executables)
            if (e == path) return true;
        return false;
    }
    bool launchApplication(const std::string& path) override
    {
        launched.push_back(path);
        return true;
    }
    std::vector<std::string> mountedRemovableMedia() const override { return media; }
    bool openSucceeds = true;
    bool openURL(const std::string& url) override
    {
        opened.push_back(url);
        return openSucceeds;
    }
};

class FakeScreen : public platform::Screen {
public:
    std::optional<platform::Size> size = platform::Size{1920, 1080};
    std::optional<float> dpi;
    std::optional<platform::Size> mainScreenSize() const override { return size; }
    std::optional<float> horizontalDPI() const override { return dpi; }
};

class FakeSystemInfo : public platform::SystemInfo {
public:
    std::optional<std::uint64_t> memory = 8ull << 30;
    std::optional<std::uint64_t> physicalMemoryBytes() const override { return memory; }
};

// Every fake service, installed into platform::services() for the lifetime of the object
// (the previous services come back afterwards).
class FakePlatform {
public:
    FakePlatform();
    ~FakePlatform();
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    FakeAlerts alerts;
    FakeApplication application;
    FakeBundle bundle;
    FakeClock clock;
    FakeMainThread mainThread;
    FakePreferences preferences;
    FakeScreen screen;
    FakeSleeper sleeper;
    FakeSpeech speech;
    FakeSystemInfo systemInfo;
    FakeWorkspace workspace;

private:
    platform::Services m_previous;
};

}  // namespace fakes
