// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>
#include <vector>

namespace platform {
class Window;
}

// Message keys turned into the user's language and shown as panels, sheets, questions or
// speech. Class-level operations only; main thread only. Services come from
// platform::services(); a missing service means nothing is shown (and questions answer no).
class Alert {
public:
    Alert() = delete;

    // The entry for the key in the user's language, else in the base table, else the key.
    static std::string localizedStringWithKey(const std::string& key);
    // As above, with each "%@" of the text replaced by the next argument, taken literally.
    static std::string localizedStringWithKey(const std::string& key,
                                              const std::vector<std::string>& arguments);

    // Application-modal panel with the key's text; blocks until answered.
    static void showMessageWithKey(const std::string& key);
    // Sheet on the window with the key's text; returns at once.
    static void showMessageWithKey(platform::Window* window, const std::string& key);
    // As above with a text shown literally.
    static void showMessage(platform::Window* window, const std::string& text);
    static void showMessage(const std::string& text);

    // Question panels: true exactly when the default button (Save, Delete, Yes) was pressed.
    static bool showSave(const std::string& key);
    static bool showDelete(const std::string& key);
    static bool showYes(const std::string& key);
    // The same with "Quit" (default) and "Wait for a receiver": true for Quit.
    static bool showQuit(const std::string& key);

    // Starts speaking the key's text and returns at once.
    static void speakMessageWithKey(const std::string& key);

private:
    static bool showQuestion(const std::string& key, const std::string& defaultKey,
                             const std::string& alternateKey);
};
