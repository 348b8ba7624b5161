// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <memory>

#include "platform/Alerts.h"

namespace qtplatform {

// Speaks through Qt's text-to-speech when an engine is installed; otherwise hands the text to
// the fallback (not owned; may be nullptr), otherwise says nothing and answers false.
class QtSpeech : public platform::Speech {
public:
    explicit QtSpeech(platform::Speech* fallback = nullptr);
    ~QtSpeech() override;

    bool startSpeaking(const std::string& text) override;
    bool hasEngine() const;

private:
    struct Engine;
    std::unique_ptr<Engine> m_engine;
    platform::Speech* m_fallback;
};

}  // namespace qtplatform
