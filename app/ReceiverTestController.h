// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "serial/ReceiverCommands.h"
#include "quality/ReceiverTest.h"
#include "quality/ReceiverTestFeed.h"

class ReceiverTestView;

// The receiver test pane's controller: owns the test, feeds it from the receiver model,
// keeps the view's clock running, and answers the pane's buttons (Reset, Copy, Export CSV,
// hot/warm/cold restart). Toolkit-free; main thread only.
class ReceiverTestController {
public:
    // Hands a restart to whoever owns the port (the reader thread); false when it could not
    // be passed on.
    using RestartSender = std::function<bool(RestartDepth depth)>;

    ReceiverTestController() : m_feed(m_test) {}

    // Outlet, set by the window description; not owned.
    void setView(ReceiverTestView* view);
    void setRestartSender(RestartSender sender) { m_sendRestart = std::move(sender); }

    // From the window controller.
    void connected(double now);
    void disconnected(double now);
    // After the receiver state folded a sentence of the given talker ("GP", "GN", ...).
    void apply(std::string_view talker, const ReceiverState& state, const SentenceRecord& record,
               ReceiverState::Changes changes, double now);
    // One received line through the model the way the reader takes it (checksum, split,
    // decode, fold into the state) and on into the test; for replaying a log without a
    // port. False when the line was refused.
    bool feedLine(ReceiverState& state, std::string_view line, double now);
    // Once a second or so: moves the clock and the strip chart on.
    void tick(double now);

    // The buttons.
    void reset();
    std::string copyText() const { return m_test.firstFix().copyText(); }
    std::string csvText() const { return m_test.accuracy().csv(); }
    // Sends the restart and starts a new run; false (and nothing sent) when refused.
    bool restart(RestartDepth depth, double now);
    // Why the restart buttons are off, in the user's language; nothing when they can be used.
    std::optional<std::string> restartRefusal() const;

    const ReceiverTest& test() const { return m_test; }

private:
    void redraw();

    ReceiverTest m_test;
    ReceiverTestFeed m_feed;
    ReceiverTestView* m_view = nullptr;
    RestartSender m_sendRestart;
    bool m_connected = false;
    bool m_otherTalkerSeen = false;
};
