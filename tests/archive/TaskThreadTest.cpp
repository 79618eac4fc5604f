// The archive's own thread: tasks run in the order they came and off the caller's thread, a call
// sees everything handed over before it, the end runs whatever still waits, and the idle work
// comes back when it said it is due, never in a busy loop.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <numeric>
#include <thread>
#include <vector>

#include "archive/TaskThread.h"

using std::chrono::milliseconds;

TEST(TaskThreadTest, TasksRunInOrderOffTheCallersThreadAndTheEndRunsWhatWaits) {
    std::vector<int> seen;  // the thread's own until it has ended
    std::thread::id ranOn;
    {
        TaskThread thread;
        for (int i = 0; i < 100; ++i) thread.post([&seen, i] { seen.push_back(i); });
        const std::size_t before = thread.call([&] {
            ranOn = std::this_thread::get_id();
            return seen.size();
        });
        EXPECT_EQ(before, 100u);
        EXPECT_NE(ranOn, std::this_thread::get_id());
        for (int i = 100; i < 300; ++i) thread.post([&seen, i] { seen.push_back(i); });
    }
    std::vector<int> expected(300);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(seen, expected);
}

TEST(TaskThreadTest, IdleWorkComesBackWhenDueAndSleepsWhenNothingIsDue) {
    std::atomic<int> retries{3};
    std::atomic<int> calls{0};
    TaskThread thread([&]() -> std::optional<milliseconds> {
        ++calls;
        if (retries == 0) return std::nullopt;
        --retries;
        return milliseconds(1);
    });
    // nobody hands anything over: the retries come by themselves
    for (int i = 0; i < 500 && retries > 0; ++i) std::this_thread::sleep_for(milliseconds(10));
    EXPECT_EQ(retries, 0);
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_EQ(calls, 4);  // three retries and the one that found nothing due; then it slept
    thread.call([] { return 0; });
    thread.settle();
    for (int i = 0; i < 500 && calls < 5; ++i) std::this_thread::sleep_for(milliseconds(10));
    EXPECT_EQ(calls, 5);  // a task wakes it, and the idle work runs once after it
}
