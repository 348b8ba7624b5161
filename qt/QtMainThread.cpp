// SPDX-License-Identifier: BSD-2-Clause
#include "qt/QtMainThread.h"

#include <QMetaObject>
#include <memory>

namespace qtplatform {

// One waiting run(): the call has started, has finished.
struct QtMainThread::Waiter {
    bool started = false;
    bool finished = false;
};

QtMainThread::QtMainThread() : m_mainId(std::this_thread::get_id()) {}

QtMainThread::~QtMainThread()
{
    quit();
}

void QtMainThread::post(std::function<void()> call)
{
    if (!call || isQuitting()) return;
    QMetaObject::invokeMethod(
        this,
        [this, call = std::move(call)] {
            if (!isQuitting()) call();
        },
        Qt::QueuedConnection);
}

bool QtMainThread::run(std::function<void()> call)
{
    if (!call || isQuitting()) return false;
    if (std::this_thread::get_id() == m_mainId) {
        call();
        return true;
    }
    auto waiter = std::make_shared<Waiter>();
    QMetaObject::invokeMethod(
        this,
        [this, waiter, call = std::move(call)] {
            {
                std::lock_guard lock(m_mutex);
                // The waiter has gone (quit): whatever it handed over may be gone too.
                if (m_quitting) return;
                waiter->started = true;
            }
            call();
            {
                std::lock_guard lock(m_mutex);
                waiter->finished = true;
            }
            m_changed.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(m_mutex);
    // A call that has started runs to its end before the waiter goes on, even during quit.
    m_changed.wait(lock, [&] { return waiter->finished || (m_quitting && !waiter->started); });
    return waiter->finished;
}

void QtMainThread::quit()
{
    {
        std::lock_guard lock(m_mutex);
        m_quitting = true;
    }
    m_changed.notify_all();
}

bool QtMainThread::isQuitting() const
{
    std::lock_guard lock(m_mutex);
    return m_quitting;
}

}  // namespace qtplatform
