// SPDX-License-Identifier: BSD-2-Clause
#include <thread>

#include <gtest/gtest.h>

#include "fakes/FakeControls.h"
#include "fakes/FakeServices.h"

// The fakes carry real behaviour that other tests lean on; these pin it down.

TEST(FakeMainThreadTest, RunFromAnotherThreadWaitsAndKeepsOrderWithPost)
{
    fakes::FakeMainThread main;
    std::vector<int> order;
    bool ranBeforeReturn = false;
    std::thread worker([&] {
        main.post([&] { order.push_back(1); });
        const bool ran = main.run([&] { order.push_back(2); });
        ranBeforeReturn = ran && order.size() == 2;
    });
    EXPECT_TRUE(main.processEventsUntil([&] { return order.size() == 2; }, 5.0));
    worker.join();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_TRUE(ranBeforeReturn);
}

TEST(FakeMainThreadTest, QuitReleasesAWaitingThread)
{
    fakes::FakeMainThread main;
    bool result = true;
    std::thread worker([&] { result = main.run([] {}); });
    while (main.pending() == 0) std::this_thread::yield();
    main.quit();
    worker.join();
    EXPECT_FALSE(result);
}

TEST(FakeTextViewTest, RemovesWholeLinesAcrossRuns)
{
    fakes::FakeTextView view;
    view.appendText("$GPGGA", platform::Color::Green);
    view.appendText("\n", platform::Color::Green);
    view.appendText("$GPXXX\n$GP", platform::Color::Yellow);
    view.appendText("RMC\n", platform::Color::Green);
    EXPECT_EQ(view.lineCount(), 3u);
    view.removeFirstLines(2);
    EXPECT_EQ(view.string(), "$GPRMC\n");
    EXPECT_EQ(view.runs.front().color, platform::Color::Yellow);
    EXPECT_EQ(view.lineCount(), 1u);
}
