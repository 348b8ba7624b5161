// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

// What goes to the receiver, from any thread, taken by the reading thread in the order it
// came: a command's bytes, or (no bytes) the port opened again at another rate in between.
class OutgoingCommands {
public:
    struct Command {
        std::vector<std::uint8_t> bytes;
        std::uint32_t reopenAt = 0;
    };

    void push(Command command)
    {
        std::lock_guard lock(m_mutex);
        m_commands.push_back(std::move(command));
    }
    std::deque<Command> takeAll()
    {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_commands, {});
    }
    void clear() { (void)takeAll(); }

private:
    std::mutex m_mutex;
    std::deque<Command> m_commands;  // guarded by m_mutex
};
