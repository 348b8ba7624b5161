// SPDX-License-Identifier: BSD-2-Clause
// The reader's hand-off to the main thread: bounded, in order, events never dropped.

#include <thread>

#include <gtest/gtest.h>

#include "app/UpdateQueue.h"

namespace {

ReaderUpdate line(std::uint8_t tag)
{
    ReaderUpdate update;
    update.result.kind = LineResult::Kind::Decoded;
    update.result.line = {tag};
    return update;
}

ReaderUpdate event(const std::string& text)
{
    ReaderUpdate update;
    update.kind = ReaderUpdate::Kind::Message;
    update.text = text;
    return update;
}

TEST(UpdateQueueTest, AFullQueueDropsItsOldestLinesButNeverAnEvent)
{
    UpdateQueue queue(3, 0.0);  // no main thread to wait for
    queue.push(event("opened"));
    queue.push(line(1));
    queue.push(line(2));
    EXPECT_EQ(queue.push(line(3)), 3u) << "line 1 made room";
    queue.push(event("closed"));  // events go in whatever the bound
    EXPECT_EQ(queue.dropped(), 2u);

    const auto updates = queue.takeAll();
    ASSERT_EQ(updates.size(), 3u);
    EXPECT_EQ(updates[0].text, "opened");
    EXPECT_EQ(updates[1].result.line, ByteBuffer{3});
    EXPECT_EQ(updates[2].text, "closed");

    // Only events queued and the bound reached: nothing to drop, nothing lost.
    UpdateQueue events(1, 0.0);
    events.push(event("a"));
    events.push(event("b"));
    EXPECT_EQ(events.takeAll().size(), 2u);
    EXPECT_EQ(events.dropped(), 0u);
}

TEST(UpdateQueueTest, OneDrainIsAskedForUntilTheMainThreadTakesTheUpdates)
{
    UpdateQueue queue(8, 0.0);
    EXPECT_FALSE(queue.needsDrain()) << "nothing waits";
    queue.push(line(1));
    EXPECT_TRUE(queue.undrained());
    EXPECT_TRUE(queue.needsDrain());
    queue.push(line(2));
    EXPECT_FALSE(queue.needsDrain()) << "one is on its way already";
    EXPECT_FALSE(queue.undrained());
    EXPECT_EQ(queue.takeAll().size(), 2u);
    queue.push(line(3));
    EXPECT_TRUE(queue.needsDrain());
}

TEST(UpdateQueueTest, AFullQueueWaitsForADrainAndClosingLetsTheWaitGo)
{
    UpdateQueue queue(1, 30.0);
    queue.push(line(1));
    std::thread mainThread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        queue.takeAll();
    });
    queue.push(line(2));  // waits for the drain: nothing dropped
    mainThread.join();
    EXPECT_EQ(queue.dropped(), 0u);

    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        queue.close();
    });
    const auto before = std::chrono::steady_clock::now();
    queue.push(line(3));  // would wait 30 s without the close
    closer.join();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10));
    EXPECT_EQ(queue.dropped(), 1u);
}

}  // namespace
