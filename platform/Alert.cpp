// SPDX-License-Identifier: BSD-2-Clause
#include "platform/Alert.h"

#include <optional>

#include "platform/Alerts.h"
#include "platform/Services.h"

std::string Alert::localizedStringWithKey(const std::string& key)
{
    const platform::Bundle* bundle = platform::services().bundle;
    if (!bundle) return key;
    return bundle->objectForInfoDictionaryKey(key).value_or(key);
}

std::string Alert::localizedStringWithKey(const std::string& key,
                                         const std::vector<std::string>& arguments)
{
    std::string text = localizedStringWithKey(key);
    std::size_t from = 0;
    for (const auto& argument : arguments) {
        const auto at = text.find("%@", from);
        if (at == std::string::npos) break;
        text.replace(at, 2, argument);
        // Past the argument: a "%@" inside it is not a place for the next one.
        from = at + argument.size();
    }
    return text;
}

void Alert::showMessageWithKey(const std::string& key)
{
    showMessage(localizedStringWithKey(key));
}

void Alert::showMessageWithKey(platform::Window* window, const std::string& key)
{
    showMessage(window, localizedStringWithKey(key));
}

void Alert::showMessage(platform::Window* window, const std::string& text)
{
    platform::Alerts* alerts = platform::services().alerts;
    if (!alerts) return;
    // No end operation: the sheet simply goes away when answered.
    alerts->beginSheet(window, text, std::nullopt, localizedStringWithKey("OK"), {});
}

void Alert::showMessage(const std::string& text)
{
    platform::Alerts* alerts = platform::services().alerts;
    if (!alerts) return;
    alerts->runPanel(localizedStringWithKey("CFBundleName"), text, localizedStringWithKey("OK"),
                     std::nullopt);
}

bool Alert::showSave(const std::string& key)
{
    return showQuestion(key, "Save", "DontSave");
}

bool Alert::showDelete(const std::string& key)
{
    return showQuestion(key, "Delete", "DontDelete");
}

bool Alert::showYes(const std::string& key)
{
    return showQuestion(key, "Yes", "No");
}

bool Alert::showQuit(const std::string& key)
{
    return showQuestion(key, "Quit", "WaitForReceiver");
}

bool Alert::showQuestion(const std::string& key, const std::string& defaultKey,
                         const std::string& alternateKey)
{
    platform::Alerts* alerts = platform::services().alerts;
    if (!alerts) return false;
    const std::string title = localizedStringWithKey("CFBundleName");
    const std::string message = localizedStringWithKey(key);
    const std::string defaultButton = localizedStringWithKey(defaultKey);
    const std::string alternateButton = localizedStringWithKey(alternateKey);
    // Dismissing the panel any other way (closing it, Escape) counts as the safe answer.
    return alerts->runPanel(title, message, defaultButton, alternateButton) == 0;
}

void Alert::speakMessageWithKey(const std::string& key)
{
    platform::Speech* speech = platform::services().speech;
    if (!speech) return;
    speech->startSpeaking(localizedStringWithKey(key));
}
