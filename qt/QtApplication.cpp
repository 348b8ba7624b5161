// SPDX-License-Identifier: BSD-2-Clause
#include "qt/QtApplication.h"

#include <QApplication>
#include <QTimer>
#include <cmath>

namespace qtplatform {

namespace {

class QtTimer : public platform::Timer {
public:
    QtTimer(double intervalSeconds, std::function<void()> fire)
    {
        m_timer.setTimerType(Qt::CoarseTimer);
        m_timer.setInterval(static_cast<int>(std::lround(intervalSeconds * 1000.0)));
        QObject::connect(&m_timer, &QTimer::timeout, [fire = std::move(fire)] {
            if (fire) fire();
        });
        m_timer.start();
    }
    void invalidate() override { m_timer.stop(); }

private:
    QTimer m_timer;
};

}  // namespace

QtApplication::QtApplication()
{
    // The last window closing ends the program through terminate(), so the delegate hears it.
    QApplication::setQuitOnLastWindowClosed(false);
    connect(qApp, &QGuiApplication::lastWindowClosed, this, [this] { terminate(); });
}

void QtApplication::terminate()
{
    if (m_terminating) return;
    m_terminating = true;
    if (m_delegate) m_delegate->applicationWillTerminate();
    for (const auto& hook : m_quitHooks) hook();
    QCoreApplication::exit(0);
}

void QtApplication::beep()
{
    QApplication::beep();
}

void QtApplication::setDelegate(platform::ApplicationDelegate* delegate)
{
    m_delegate = delegate;
}

std::unique_ptr<platform::Timer> QtApplication::scheduledTimer(double intervalSeconds,
                                                               std::function<void()> fire)
{
    return std::make_unique<QtTimer>(intervalSeconds, std::move(fire));
}

void QtApplication::addQuitHook(std::function<void()> hook)
{
    m_quitHooks.push_back(std::move(hook));
}

}  // namespace qtplatform
