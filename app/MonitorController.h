// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "platform/Drawer.h"
#include "platform/Drawing.h"

namespace platform {
class Button;
class TextView;
}  // namespace platform

// The monitor drawer: the raw sentence stream, green for sentences the program understood,
// yellow for everything else, binary frames (UBX, RTCM 3) one line each in cyan. Start/Stop toggles monitoring; lines that arrive while it is
// stopped are dropped, not queued. The shown text keeps only the newest kMaxLines lines, and
// no more than kMaxCharacters of them (lines of garbage can each be a thousand bytes long),
// so a receiver left running for days, or a stream of noise, costs neither memory nor
// slower appends.
// Main thread only; the controls are not owned.
class MonitorController : public platform::DrawerDelegate {
public:
    static constexpr std::size_t kMaxLines = 5000;
    static constexpr std::size_t kMaxCharacters = 512u << 10;

    MonitorController() = default;
    MonitorController(const MonitorController&) = delete;
    MonitorController& operator=(const MonitorController&) = delete;

    void setMonitorDrawer(platform::Drawer* drawer) { m_monitorDrawer = drawer; }
    void setMonitorTextView(platform::TextView* view) { m_monitorTextView = view; }
    void setStartButton(platform::Button* button) { m_startButton = button; }
    void setClearButton(platform::Button* button) { m_clearButton = button; }

    // Starts monitoring and opens the drawer.
    void start();
    // Start/Stop button: toggles monitoring.
    void onGPSMonitorStart();
    // Clear button: empties the text.
    void onGPSMonitorClear();
    // Appends the text as plain text, green when recognised, yellow otherwise; nothing
    // while stopped or for an empty text.
    void append(const std::string& text, bool recognised);
    // One binary frame's line ("UBX NAV-PVT 92 bytes"), ended, in the frames' own colour.
    void appendFrame(const std::string& description);
    // Closes the drawer, stops monitoring and clears the text.
    void close();
    void drawerDidClose() override;

    bool isRunning() const { return m_start; }

private:
    void appendColoured(const std::string& text, platform::Color color);

    platform::Drawer* m_monitorDrawer = nullptr;
    platform::TextView* m_monitorTextView = nullptr;
    platform::Button* m_startButton = nullptr;
    [[maybe_unused]] platform::Button* m_clearButton = nullptr;  // only held
    bool m_start = false;
    // What the view holds, counted here: asking the view would hold up its batched appends.
    std::deque<std::size_t> m_lineLengths;  // the whole lines, oldest first
    std::size_t m_partialLength = 0;        // the line not yet ended
    std::size_t m_characters = 0;           // all of it
};
