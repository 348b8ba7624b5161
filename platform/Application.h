// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <functional>
#include <memory>

namespace platform {

class MenuItem;

class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    // Called once, on the main thread, when the application is about to end, whatever
    // started the end.
    virtual void applicationWillTerminate() = 0;
};

// A repeating timer on the main thread. Destroying it stops it.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void invalidate() = 0;
};

class Application {
public:
    virtual ~Application() = default;
    // Asks the application to end normally: the delegate is told, then the event loop ends.
    virtual void terminate() = 0;
    virtual void beep() = 0;
    // Not owned; nullptr for none.
    virtual void setDelegate(ApplicationDelegate* delegate) = 0;
    // A timer that calls fire on the main thread every intervalSeconds until invalidated.
    virtual std::unique_ptr<Timer> scheduledTimer(double intervalSeconds,
                                                  std::function<void()> fire) = 0;
};

// The reader thread's only way into the user interface.
class MainThread {
public:
    virtual ~MainThread() = default;
    // Queues the call on the main thread and returns at once. Calls queued from one thread
    // (by post or run) run in the order they were queued.
    virtual void post(std::function<void()> call) = 0;
    // Queues the call and waits until it has run. Returns false without waiting (or stops
    // waiting) once the application is quitting, so a waiting thread is never stranded.
    // Called on the main thread it runs the call at once.
    virtual bool run(std::function<void()> call) = 0;
};

// Wall-clock-independent time in seconds; only differences matter.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
};

// Sleep for the reader thread that ends early when woken (on quit).
class Sleeper {
public:
    virtual ~Sleeper() = default;
    // true when the whole time passed, false when woken early.
    virtual bool sleepFor(double seconds) = 0;
    // Wakes every sleeper now and makes later sleeps return false at once. Any thread.
    virtual void wake() = 0;
};

}  // namespace platform
