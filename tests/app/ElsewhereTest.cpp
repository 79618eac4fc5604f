// Work run elsewhere: off the caller's thread while the caller takes its turns; its result or
// exception comes back, and a caller that unwinds waits for it first.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "core/Elsewhere.h"

TEST(Elsewhere, TurnsGoOnUntilOneSaysStopAndAThrowingTurnWaitsForTheWork) {
    std::atomic<int> turns{0};
    const auto work = [&turns] {  // until the third turn, or a few seconds when turns fail
        for (int i = 0; i < 500 && turns < 3; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return std::this_thread::get_id();
    };
    EXPECT_NE(RunWhileServiced(work, [&] { return ++turns < 3; }), std::this_thread::get_id());
    EXPECT_EQ(turns, 3);  // none after the one that said stop

    turns = 0;
    bool finished = false;  // the caller's own, written by the work
    const auto throwing = [&]() -> bool {
        turns = 3;
        throw ProgramEnding{};
    };
    EXPECT_THROW(RunWhileServiced([&] { finished = work() != std::thread::id(); }, throwing),
                 ProgramEnding);
    EXPECT_TRUE(finished);
    EXPECT_THROW(
        RunWhileServiced([]() -> int { throw std::runtime_error("no"); }, [] { return true; }),
        std::runtime_error);
}
