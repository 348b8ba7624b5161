// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QObject>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/Application.h"

namespace qtplatform {

// Calls from other threads queued on the Qt event loop. Posted events to one object are
// delivered in the order they were posted, so calls from one thread keep their order.
// After quit() nothing queued runs any more, every run() that waits returns false and new
// run() calls return false at once: a reader thread waiting for the main thread is never
// stranded by the end of the event loop. Make it on the main thread.
class QtMainThread : public QObject, public platform::MainThread {
    Q_OBJECT
public:
    QtMainThread();
    ~QtMainThread() override;

    void post(std::function<void()> call) override;
    bool run(std::function<void()> call) override;

    // Releases every waiter and refuses what comes later. Any thread.
    void quit();
    bool isQuitting() const;

private:
    struct Waiter;

    std::thread::id m_mainId;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_quitting = false;
};

}  // namespace qtplatform
