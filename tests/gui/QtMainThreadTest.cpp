// SPDX-License-Identifier: BSD-2-Clause
// The reader thread's way into the user interface: order, waiting, and the end of the loop.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "GuiTestApp.h"
#include "qt/QtMainThread.h"

using qtplatform::QtMainThread;

namespace {

// Serves the event loop until the predicate holds or two seconds pass.
bool serveUntil(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

}  // namespace

TEST(QtMainThreadTest, CallsFromOneThreadRunInOrderOnTheMainThread)
{
    guiTestApp();
    QtMainThread mainThread;
    std::vector<int> seen;
    std::atomic<bool> wrongThread{false};
    const auto mainId = std::this_thread::get_id();
    std::thread reader([&] {
        for (int i = 0; i < 200; ++i) {
            auto call = [&, i] {
                if (std::this_thread::get_id() != mainId) wrongThread = true;
                seen.push_back(i);
            };
            // Waiting and non-waiting calls interleave as the reader's status and handler
            // calls do.
            if (i % 10 == 0)
                mainThread.run(call);
            else
                mainThread.post(call);
        }
    });
    ASSERT_TRUE(serveUntil([&] { return seen.size() == 200; }));
    reader.join();
    EXPECT_FALSE(wrongThread);
    for (int i = 0; i < 200; ++i) ASSERT_EQ(seen[static_cast<std::size_t>(i)], i);
}

TEST(QtMainThreadTest, RunWaitsUntilTheCallHasRun)
{
    guiTestApp();
    QtMainThread mainThread;
    int value = 0;  // touched by the main thread only, read by the reader after run()
    std::atomic<bool> returned{false};
    std::atomic<int> seenByReader{-1};
    std::thread reader([&] {
        const bool ran = mainThread.run([&] { value = 42; });
        seenByReader = ran ? value : -2;
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(returned) << "run() returned before the main thread served it";
    ASSERT_TRUE(serveUntil([&] { return returned.load(); }));
    reader.join();
    EXPECT_EQ(seenByReader, 42);
}

TEST(QtMainThreadTest, RunOnTheMainThreadRunsAtOnce)
{
    guiTestApp();
    QtMainThread mainThread;
    bool ran = false;
    EXPECT_TRUE(mainThread.run([&] { ran = true; }));
    EXPECT_TRUE(ran);
}

TEST(QtMainThreadTest, QuitReleasesAWaiterAndDropsItsCall)
{
    guiTestApp();
    QtMainThread mainThread;
    std::atomic<bool> callRan{false};
    std::atomic<int> result{-1};
    std::thread reader([&] { result = mainThread.run([&] { callRan = true; }) ? 1 : 0; });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(result, -1) << "the waiter must still be waiting";
    mainThread.quit();  // the event loop will not serve the call any more
    reader.join();      // would hang if the waiter were stranded
    EXPECT_EQ(result, 0);
    // Whatever the call referred to may be gone once its waiter went on: it must never run.
    QCoreApplication::processEvents();
    EXPECT_FALSE(callRan);

    std::atomic<bool> lateRan{false};
    std::thread late([&] { result = mainThread.run([&] { lateRan = true; }) ? 1 : 0; });
    late.join();
    EXPECT_EQ(result, 0) << "run() after quit must refuse at once";
    mainThread.post([&] { lateRan = true; });
    QCoreApplication::processEvents();
    EXPECT_FALSE(lateRan);
}

TEST(QtMainThreadTest, QuittingWhileAReaderStreamsNeverDeadlocks)
{
    guiTestApp();
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        QtMainThread mainThread;
        std::atomic<bool> stop{false};
        std::atomic<int> handled{0};
        std::thread reader([&] {
            while (!stop) {
                mainThread.post([] {});
                if (!mainThread.run([&] { ++handled; })) break;
            }
        });
        serveUntil([&] { return handled >= round * 5; });
        mainThread.quit();
        stop = true;
        reader.join();
    }
}
