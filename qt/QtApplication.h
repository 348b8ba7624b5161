// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QObject>
#include <functional>
#include <vector>

#include "platform/Application.h"

namespace qtplatform {

// The application object over the running QApplication. terminate() is the one way out:
// the delegate hears applicationWillTerminate exactly once, then the quit hooks run (picture,
// release of waiting threads), then the event loop ends. Main thread only.
class QtApplication : public QObject, public platform::Application {
    Q_OBJECT
public:
    QtApplication();

    void terminate() override;
    void beep() override;
    void setDelegate(platform::ApplicationDelegate* delegate) override;
    std::unique_ptr<platform::Timer> scheduledTimer(double intervalSeconds,
                                                    std::function<void()> fire) override;

    // Runs after the delegate's notice, before the event loop ends, in the order added.
    void addQuitHook(std::function<void()> hook);
    bool isTerminating() const { return m_terminating; }

private:
    platform::ApplicationDelegate* m_delegate = nullptr;
    std::vector<std::function<void()>> m_quitHooks;
    bool m_terminating = false;
};

}  // namespace qtplatform
