// SPDX-License-Identifier: BSD-2-Clause
#include "fakes/FakeServices.h"

#include <chrono>

namespace fakes {

FakeMainThread::FakeMainThread() : m_mainId(std::this_thread::get_id()) {}

void FakeMainThread::post(std::function<void()> call)
{
    std::lock_guard lock(m_mutex);
    m_queue.push_back({std::move(call), nullptr});
    ++m_posted;
    m_changed.notify_all();
}

std::size_t FakeMainThread::posted() const
{
    std::lock_guard lock(m_mutex);
    return m_posted;
}

bool FakeMainThread::run(std::function<void()> call)
{
    if (std::this_thread::get_id() == m_mainId) {
        call();
        return true;
    }
    auto finished = std::make_shared<bool>(false);
    std::unique_lock lock(m_mutex);
    if (m_quitting) return false;
    m_queue.push_back({std::move(call), finished});
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return *finished || m_quitting; });
    return *finished;
}

int FakeMainThread::processEvents()
{
    int ran = 0;
    for (;;) {
        Item item;
        {
            std::lock_guard lock(m_mutex);
            if (m_queue.empty()) return ran;
            item = std::move(m_queue.front());
            m_queue.pop_front();
        }
        item.call();
        ++ran;
        if (item.finished) {
            std::lock_guard lock(m_mutex);
            *item.finished = true;
            m_changed.notify_all();
        }
    }
}

bool FakeMainThread::processEventsUntil(const std::function<bool()>& done, double timeoutSeconds)
{
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(timeoutSeconds));
    for (;;) {
        processEvents();
        if (done()) return true;
        std::unique_lock lock(m_mutex);
        if (std::chrono::steady_clock::now() >= deadline) return false;
        m_changed.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() +
                                                          std::chrono::milliseconds(10)),
                             [&] { return !m_queue.empty(); });
    }
}

void FakeMainThread::quit()
{
    std::lock_guard lock(m_mutex);
    m_quitting = true;
    m_changed.notify_all();
}

std::size_t FakeMainThread::pending() const
{
    std::lock_guard lock(m_mutex);
    return m_queue.size();
}

bool FakeSleeper::sleepFor(double seconds)
{
    std::lock_guard lock(m_mutex);
    m_sleeps.push_back(seconds);
    return !m_woken;
}

void FakeSleeper::wake()
{
    std::lock_guard lock(m_mutex);
    m_woken = true;
}

std::vector<double> FakeSleeper::sleeps() const
{
    std::lock_guard lock(m_mutex);
    return m_sleeps;
}

FakePlatform::FakePlatform() : m_previous(platform::services())
{
    platform::Services& s = platform::services();
    s.alerts = &alerts;
    s.application = &application;
    s.bundle = &bundle;
    s.clock = &clock;
    s.mainThread = &mainThread;
    s.preferences = &preferences;
    s.screen = &screen;
    s.sleeper = &sleeper;
    s.speech = &speech;
    s.systemInfo = &systemInfo;
    s.workspace = &workspace;
}

FakePlatform::~FakePlatform()
{
    platform::services() = m_previous;
}

}  // namespace fakes
