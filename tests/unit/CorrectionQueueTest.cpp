// SPDX-License-Identifier: BSD-2-Clause
#include <thread>

#include <gtest/gtest.h>

#include "sources/CorrectionQueue.h"

namespace {

using Frame = std::vector<std::uint8_t>;

TEST(CorrectionQueueTest, KeepsOrderAndDropsTheOldestBeyondTheBound)
{
    CorrectionQueue queue(10);
    queue.push(Frame(4, 1));
    queue.push(Frame(4, 2));
    EXPECT_EQ(queue.takeAll(), (std::vector<Frame>{Frame(4, 1), Frame(4, 2)}));
    EXPECT_TRUE(queue.takeAll().empty());

    queue.push(Frame(4, 1));
    queue.push(Frame(4, 2));
    queue.push(Frame(4, 3));  // 12 bytes: the first goes
    EXPECT_EQ(queue.framesDropped(), 1u);
    EXPECT_EQ(queue.takeAll(), (std::vector<Frame>{Frame(4, 2), Frame(4, 3)}));
    queue.push(Frame(30, 4));  // larger than the bound on its own: kept whole
    EXPECT_EQ(queue.takeAll(), (std::vector<Frame>{Frame(30, 4)}));
}

TEST(CorrectionQueueTest, NoFrameIsLostOrTornBetweenThreads)
{
    CorrectionQueue queue(1 << 20);
    constexpr int kFrames = 2000;
    std::thread producer([&] {
        for (int i = 0; i < kFrames; ++i) queue.push(Frame(static_cast<std::size_t>(i % 50 + 1), static_cast<std::uint8_t>(i)));
    });
    int next = 0;
    while (next < kFrames) {
        for (const Frame& frame : queue.takeAll()) {
            ASSERT_EQ(frame.size(), static_cast<std::size_t>(next % 50 + 1));
            ASSERT_EQ(frame.front(), static_cast<std::uint8_t>(next));
            ++next;
        }
    }
    producer.join();
    EXPECT_EQ(queue.framesDropped(), 0u);
}

}  // namespace
