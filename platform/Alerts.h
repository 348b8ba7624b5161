// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace platform {

class Window;

// Message panels and window sheets. Texts are shown literally: never markup, never a format.
class Alerts {
public:
    virtual ~Alerts() = default;
    // Application-modal panel with a title, a message and one or two buttons; blocks until
    // answered. Answers 0 for the default button, 1 for the alternate, -1 when dismissed.
    virtual int runPanel(const std::string& title, const std::string& message,
                         const std::string& defaultButton,
                         const std::optional<std::string>& alternateButton) = 0;
    // Sheet on the window with one button; returns at once. didEnd (may be empty) runs on the
    // main thread when the user has answered.
    virtual void beginSheet(Window* window, const std::string& message,
                            const std::optional<std::string>& informative,
                            const std::string& button, std::function<void()> didEnd) = 0;
};

// Message texts by key: the user's language first, then the base table.
class Bundle {
public:
    virtual ~Bundle() = default;
    virtual std::optional<std::string> objectForInfoDictionaryKey(const std::string& key) const = 0;
    // Full path of a resource file by name, or nothing.
    virtual std::optional<std::string> pathForResource(const std::string& name) const = 0;
};

class Speech {
public:
    virtual ~Speech() = default;
    // Starts speaking and returns at once; false when no speech service is there.
    virtual bool startSpeaking(const std::string& text) = 0;
};

}  // namespace platform
