// Work run elsewhere: it runs off the caller's thread while the caller keeps taking its turns,
// its result or exception comes back, and a caller that unwinds waits for it first.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "core/Elsewhere.h"

namespace {

// Until released (or a few seconds, so that a fault fails instead of hanging).
void WaitFor(const std::atomic<bool>& released) {
    for (int i = 0; i < 500 && !released; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

}  // namespace

TEST(Elsewhere, WorkRunsOffTheCallersThreadWhileItTakesTurnsUntilATurnSaysStop) {
    std::atomic<bool> released{false};
    int turns = 0;
    const std::thread::id ranOn = RunWhileServiced(
        [&released] {
            WaitFor(released);
            return std::this_thread::get_id();
        },
        [&] {
            if (++turns == 3) released = true;
            return turns < 3;  // the third turn is the last: the rest is waited for
        });
    EXPECT_NE(ranOn, std::this_thread::get_id());
    EXPECT_EQ(turns, 3);
}

TEST(Elsewhere, AThrowingTurnWaitsForTheWorkAndTheWorksOwnExceptionComesBack) {
    std::atomic<bool> released{false};
    bool finished = false;  // the caller's local that the work writes
    EXPECT_THROW(RunWhileServiced(
                     [&] {
                         WaitFor(released);
                         finished = true;
                     },
                     [&]() -> bool {
                         released = true;
                         throw ProgramEnding{};
                     }),
                 ProgramEnding);
    EXPECT_TRUE(finished);
    EXPECT_THROW(
        RunWhileServiced([]() -> int { throw std::runtime_error("no"); }, [] { return true; }),
        std::runtime_error);
}
