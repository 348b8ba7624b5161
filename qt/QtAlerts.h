// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include "platform/Alerts.h"

namespace qtplatform {

// Message panels (application-modal, waiting for the answer) and sheets (modal for one
// window, returning at once). Every text is shown as plain text. Main thread only.
class QtAlerts : public platform::Alerts {
public:
    int runPanel(const std::string& title, const std::string& message,
                 const std::string& defaultButton,
                 const std::optional<std::string>& alternateButton) override;
    void beginSheet(platform::Window* window, const std::string& message,
                    const std::optional<std::string>& informative, const std::string& button,
                    std::function<void()> didEnd) override;
};

}  // namespace qtplatform
