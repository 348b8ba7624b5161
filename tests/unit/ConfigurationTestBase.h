// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "binary/StreamFramer.h"
#include "platform/Services.h"
#include "posix/StringsBundle.h"
#include "serial/ReceiverConfiguration.h"

// The answers waiting on a line reach the configuration through the program's framer.
inline void deliverAnswers(std::vector<std::uint8_t>& pending, ReceiverConfiguration& configuration)
{
    binary::StreamFramer framer;
    framer.feed(pending);
    pending.clear();
    binary::Frame frame;
    while (framer.next(frame))
        if (frame.kind == binary::FrameKind::Ubx) configuration.onUbxFrame(frame.ubxClass, frame.ubxId, frame.payload());
}

// What the configuration tests share: the English tables (what is asserted is what the user
// reads), a clock of their own, the messages said, and a run that delivers the receiver's
// answers and ticks the configuration as its owner does.
class ConfigurationTestBase : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = platform::services();
        platform::services().bundle = &english;
    }
    void TearDown() override { platform::services() = saved; }

    // Answers, then time passes in small steps until the configuration is idle, ticking it
    // as its owner does. Line: anything with deliver(ReceiverConfiguration&).
    template <typename Line>
    void run(Line& line, ReceiverConfiguration& configuration, double forSeconds)
    {
        const double end = seconds + forSeconds;
        do {
            line.deliver(configuration);
            configuration.tick();
            line.deliver(configuration);
            seconds += 0.1;
        } while (seconds < end && configuration.busy());
    }

    std::string lastMessage() const { return messages.empty() ? "" : messages.back().first; }
    bool said(const std::string& part, bool problem) const
    {
        for (const auto& [text, wasProblem] : messages)
            if (text.find(part) != std::string::npos && wasProblem == problem) return true;
        return false;
    }
    std::string allMessages() const
    {
        std::string all;
        for (const auto& message : messages) all += message.first + "\n";
        return all;
    }
    bool lastWasProblem() const { return !messages.empty() && messages.back().second; }

    platform::posix::StringsBundle english{std::filesystem::path(GPSDESK_SOURCE_DIR) / "resources",
                                           std::vector<std::string>{"en"}};
    platform::Services saved;
    double seconds = 100.0;
    std::vector<std::pair<std::string, bool>> messages;
};
