#pragma once
// The byte budget that every transfer of a pool draws on, so that a rate limit holds for the
// crawl as a whole however many connections it has (libcurl's own limit is per transfer). A
// token bucket: it fills at the rate and holds at most a tenth of a second's worth (at least
// one piece of libcurl's, 16 kB); a piece is taken whenever the bucket is not empty and may
// leave it owing, which the next pieces wait off. Used by the transfer thread only. Private to
// this library.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>

class SharedRate {
public:
    using Clock = std::chrono::steady_clock;

    explicit SharedRate(std::int64_t bytesPerSecond)
        : mRate(static_cast<double>(bytesPerSecond)),
          mMost(std::max(mRate / 10, 16384.0)),
          mTokens(mMost),
          mFilled(Clock::now()) {}

    // True when a piece may be taken now.
    bool allows(Clock::time_point now) {
        fill(now);
        return mTokens > 0;
    }
    void spend(std::size_t bytes) { mTokens -= static_cast<double>(bytes); }
    // Milliseconds until a piece may be taken (0: now).
    int waitMs(Clock::time_point now) {
        fill(now);
        return mTokens > 0 ? 0 : static_cast<int>(-mTokens * 1000 / mRate) + 1;
    }

private:
    void fill(Clock::time_point now) {
        const double seconds = std::chrono::duration<double>(now - mFilled).count();
        mFilled = now;
        mTokens = std::min(mMost, mTokens + seconds * mRate);
    }

    double mRate;
    double mMost;
    double mTokens;
    Clock::time_point mFilled;
};
