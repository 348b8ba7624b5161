// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace qtplatform {

// Turns SIGTERM, SIGINT, SIGHUP (the terminal went away) and SIGQUIT into a normal end of the
// program: the signal handler only writes a byte to a pipe; the event loop reads it and runs
// the quit call on the main thread, where the application can save its settings as on any
// other way out. A hang-up or quit signal ignored at start (nohup) stays ignored. One per
// process.
class SignalQuitter : public QObject {
    Q_OBJECT
public:
    explicit SignalQuitter(std::function<void()> quit);
    ~SignalQuitter() override;

    bool isActive() const { return m_notifier != nullptr; }

private:
    std::function<void()> m_quit;
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace qtplatform
