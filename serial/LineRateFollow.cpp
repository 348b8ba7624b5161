// SPDX-License-Identifier: BSD-2-Clause
#include "serial/LineRateFollow.h"

#include "binary/UbxCommands.h"
#include "platform/Alert.h"

void LineRateFollow::say(const std::string& key, std::vector<std::string> arguments, bool problem)
{
    if (m_hooks.message) m_hooks.message(Alert::localizedStringWithKey(key, arguments), problem);
}

LineRateFollow::Outcome LineRateFollow::fail()
{
    m_following = false;
    m_fallingBack = true;
    return Outcome::Failed;
}

LineRateFollow::Outcome LineRateFollow::start(std::uint32_t from, std::uint32_t to)
{
    m_from = from;
    m_to = to;
    m_fallingBack = false;
    const std::string newRate = std::to_string(to);
    if (!m_hooks.reopenAt || from == 0) {
        say("ConfigRateNotFollowed", {newRate}, true);
        return fail();
    }
    if (!m_hooks.reopenAt(to)) {
        say("ConfigReopenFailed", {newRate}, true);
        m_fallingBack = true;
        if (!m_hooks.reopenAt(from)) {
            say("ConfigReopenFailed", {std::to_string(from)}, true);
            return fail();
        }
    }
    m_following = true;
    m_deadline = m_hooks.now() + m_hearSeconds;
    m_lastProbe = -1e9;
    return tick();
}

LineRateFollow::Outcome LineRateFollow::heard()
{
    if (!m_following) return Outcome::Failed;
    m_following = false;
    if (!m_fallingBack) {
        say("ConfigRateFollowed", {std::to_string(m_to)}, false);
        return Outcome::Followed;
    }
    say("ConfigRateFellBack", {std::to_string(m_to), std::to_string(m_from)}, true);
    return Outcome::Failed;
}

LineRateFollow::Outcome LineRateFollow::tick()
{
    if (!m_following) return Outcome::Failed;
    const double time = m_hooks.now();
    if (time >= m_deadline) {
        if (m_fallingBack) {
            say("ConfigRateLost", {std::to_string(m_to), std::to_string(m_from)}, true);
            return fail();
        }
        m_fallingBack = true;
        if (!m_hooks.reopenAt(m_from)) {
            say("ConfigReopenFailed", {std::to_string(m_from)}, true);
            return fail();
        }
        m_deadline = time + m_hearSeconds;
        m_lastProbe = -1e9;
    }
    // Asked again and again: the receiver may still be finishing at the old rate when the
    // first question goes out at the new one.
    if (time - m_lastProbe >= m_probeSeconds) {
        m_lastProbe = time;
        if (m_hooks.send) m_hooks.send(binary::ubxPollMonVer());
    }
    return Outcome::Following;
}
