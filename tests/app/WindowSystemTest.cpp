#include <gtest/gtest.h>

#include "ScriptedWindowSystem.h"

namespace {

constexpr qint64 kMs = 1'000'000;

// The layer on a clock the test moves by hand.
struct SlicedLayer {
    SlicedLayer() {
        ws.everyYieldProcesses = false;
        ws.clockNs = [this] { return now; };
    }
    ScriptedWindowSystem ws;
    qint64 now = 0;
};

}  // namespace

TEST(WindowSystem, YieldServicesByTheClockWhateverTheCallsCostBefore) {
    SlicedLayer l;
    l.ws.Yield();  // the first yield always services
    ASSERT_EQ(l.ws.yields(), 1);
    // A fast scan: a million cheap calls in 100 ms service once per slice, no more.
    for (int i = 0; i < 1'000'000; ++i) {
        l.now += 100;
        l.ws.Yield();
    }
    EXPECT_EQ(l.ws.yields(), 1 + 10);
    // Then slow steps (a transfer polling 10 ms between calls): every one of them is a slice
    // late, and none may go by without a service.
    const int before = l.ws.yields();
    for (int i = 0; i < 300; ++i) {
        l.now += 10 * kMs;
        l.ws.Yield();
    }
    EXPECT_EQ(l.ws.yields(), before + 300);
    EXPECT_EQ(l.ws.LongestGapMs(), 10);
}

TEST(WindowSystem, LongestGapCountsTimeInsideServicesAndWaits) {
    SlicedLayer l;
    l.ws.ResetLongestGap();
    l.now += 5 * kMs;
    l.ws.YieldNow();
    EXPECT_EQ(l.ws.LongestGapMs(), 5);  // from the reset to the end of the first service
    // A slow paint inside the event processing counts in full.
    l.ws.onYield = [&l] { l.now += 300 * kMs; };
    l.now += 10 * kMs;
    l.ws.Yield();
    EXPECT_EQ(l.ws.LongestGapMs(), 310);
    l.ws.onYield = nullptr;

    // A sleep of 100 ms is cut into slices with a service between them.
    l.ws.ResetLongestGap();
    l.ws.clockNs = [&l] { return l.now += kMs; };  // every look at the clock takes 1 ms
    const int before = l.ws.yields();
    EXPECT_TRUE(l.ws.SleepNoThrow(100));
    EXPECT_GE(l.ws.yields() - before, 8);
    EXPECT_LE(l.ws.LongestGapMs(), 12);
    EXPECT_LE(l.ws.WaitBudgetMs(), 10);

    l.ws.RequestEnd();
    EXPECT_FALSE(l.ws.SleepNoThrow(100));
}
