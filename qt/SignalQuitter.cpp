// SPDX-License-Identifier: BSD-2-Clause
#include "qt/SignalQuitter.h"

#include <QSocketNotifier>
#include <algorithm>
#include <iterator>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace qtplatform {

namespace {

int g_pipe[2] = {-1, -1};

constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};
// Signals caught only when not ignored at start: under nohup the terminal's hang-up must not
// end the program.
constexpr int kUnlessIgnored[] = {SIGHUP, SIGQUIT};
// The signals this process caught, so that only those are given back.
sigset_t g_caught;

extern "C" void onQuitSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    // Async-signal-safe; a full pipe already holds a request, so a lost byte loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

SignalQuitter::SignalQuitter(std::function<void()> quit) : m_quit(std::move(quit))
{
    if (g_pipe[0] >= 0) return;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
        }
        if (m_quit) m_quit();
    });
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigemptyset(&g_caught);
    for (const int signal : kQuitSignals) {
        struct sigaction previous = {};
        ::sigaction(signal, nullptr, &previous);
        const bool ignoredStaysIgnored =
            std::find(std::begin(kUnlessIgnored), std::end(kUnlessIgnored), signal) !=
            std::end(kUnlessIgnored);
        if (previous.sa_handler == SIG_IGN && ignoredStaysIgnored) continue;
        ::sigaction(signal, &action, nullptr);
        sigaddset(&g_caught, signal);
    }
}

SignalQuitter::~SignalQuitter()
{
    if (!m_notifier) return;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signal : kQuitSignals)
        if (sigismember(&g_caught, signal) == 1) ::sigaction(signal, &action, nullptr);
    delete m_notifier;
    m_notifier = nullptr;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

}  // namespace qtplatform
