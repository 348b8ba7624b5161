// SPDX-License-Identifier: BSD-2-Clause
#include "stream/CycleWatch.h"

#include <variant>

namespace {

std::optional<UtcTime> timeOf(const SentenceRecord& record)
{
    return std::visit(
        [](const auto& r) -> std::optional<UtcTime> {
            if constexpr (requires { r.time; }) {
                return r.time;
            } else {
                return std::nullopt;
            }
        },
        record);
}

}  // namespace

bool CycleWatch::startsCycle(const SentenceRecord& record)
{
    const std::optional<UtcTime> time = timeOf(record);
    if (!time) return false;
    const bool moved = m_cycleTime && !(*m_cycleTime == *time);
    if (moved && !m_lastType.empty()) m_ender = m_lastType;
    m_cycleTime = time;
    return moved;
}

bool CycleWatch::endsCycle(std::string_view type)
{
    m_lastType = type;
    return !m_ender.empty() && type == m_ender;
}
