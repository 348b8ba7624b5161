// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <optional>
#include <string>

#include "platform/Alerts.h"

namespace platform::posix {

// Speech through speech-dispatcher's command-line client. Each text starts its own detached
// spd-say, so speaking never waits for the voice; without spd-say nothing is spoken.
class SpdSaySpeech : public platform::Speech {
public:
    // Looks the client up on PATH.
    SpdSaySpeech();
    // Uses the given program (a path, or nothing for no speech); for tests.
    explicit SpdSaySpeech(std::optional<std::string> program);

    bool startSpeaking(const std::string& text) override;
    bool available() const { return m_program.has_value(); }

private:
    std::optional<std::string> m_program;
};

}  // namespace platform::posix
