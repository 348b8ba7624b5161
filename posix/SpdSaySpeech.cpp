// SPDX-License-Identifier: BSD-2-Clause
#include "posix/SpdSaySpeech.h"

#include <utility>

#include "posix/DetachedProcess.h"

namespace platform::posix {

SpdSaySpeech::SpdSaySpeech() : m_program(DetachedProcess::findOnPath("spd-say")) {}

SpdSaySpeech::SpdSaySpeech(std::optional<std::string> program) : m_program(std::move(program)) {}

bool SpdSaySpeech::startSpeaking(const std::string& text)
{
    if (!m_program) return false;
    if (text.empty()) return true;
    // "--" keeps a text that starts with '-' from being read as an option.
    return DetachedProcess::start({*m_program, "--", text});
}

}  // namespace platform::posix
