// When a transfer of the pool may start and when it goes again: the hosts' least delays and
// their slowing down, the tries again a server allows, and the resends of a request its broken
// connection left unanswered. On the transfers' thread only.
#include <algorithm>

#include "net/TransferThread.h"

namespace {

// The longest wait before a try again: a server that asks for more fails the fetch at once.
constexpr std::int64_t kLongestRetryWaitMs = 5 * 60 * 1000;
constexpr int kSlowestDelayMs = 10000;  // a host slowed down again and again
// A request whose connection failed before it was answered goes again this often at most.
constexpr int kMostResends = 2;

// The wait before try number tries + 1 again: the server's, else 1 s, 2 s, 4 s ...; -1 when
// the server asks for longer than the crawl waits.
std::int64_t RetryWaitMs(long long afterS, int tries) {
    if (afterS > 0) return afterS > kLongestRetryWaitMs / 1000 ? -1 : afterS * 1000;
    return std::min<std::int64_t>(std::int64_t{1000} << std::min(tries, 16), kLongestRetryWaitMs);
}

int Millis(std::chrono::steady_clock::duration d) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
}

}  // namespace

// True when the job may not start yet: its try again waits, or its host's delay has not
// passed, or its slowed host has its one connection busy. nextMs: the time to look again.
bool TransferThread::held(const TransferJob& job, Clock::time_point now, int* nextMs) {
    if (job.notBefore > now) {
        *nextMs = std::min(*nextMs, Millis(job.notBefore - now) + 1);
        return true;
    }
    const bool slowed = mSlowed.contains(job.host);
    if (slowed && std::any_of(mJoined.begin(), mJoined.end(),
                              [&job](const TransferJob* j) { return j->host == job.host; }))
        return true;  // looked at again when a transfer ends
    const auto delay = std::chrono::milliseconds(mSlowed.value(job.host, mHandleOptions.delayMs));
    if (delay.count() <= 0) return false;
    const auto last = mLastStart.constFind(job.host);
    if (last == mLastStart.constEnd() || now - *last >= delay) return false;
    *nextMs = std::min(*nextMs, Millis(*last + delay - now) + 1);
    return true;
}

// A request whose connection failed under it before it was answered goes again at once on a
// fresh connection, whatever the tries again allowed, as browsers resend such a GET.
bool TransferThread::resendAfresh(TransferJob& job, CURLcode code) {
    if (job.resends >= kMostResends || job.stop.load(std::memory_order_relaxed) || !job.transfer ||
        !job.transfer->brokeBeforeAnswer(code))
        return false;
    detach(job, false, code);
    ++job.resends;
    mWaiting.insert(mWaiting.begin(), &job);  // asked for before those that wait
    std::lock_guard<std::mutex> lock(mLock);
    ++mWaits.resends;
    return true;
}

// A failed try that may go again goes back among the waiting jobs, to start after its wait as
// the host's rules allow; the run's thread sees it running all along.
bool TransferThread::retryLater(TransferJob& job, CURLcode code) {
    if (job.tries >= mHandleOptions.retries || job.stop.load(std::memory_order_relaxed) ||
        !job.transfer)
        return false;
    const CurlTransfer::Retry retry = job.transfer->retry(code);
    if (!retry.may) return false;
    if (retry.spare) slowDown(job.host);
    const std::int64_t waitMs = RetryWaitMs(retry.afterS, job.tries);
    if (waitMs < 0 || !job.transfer->startOver()) return false;
    detach(job, false, code);
    ++job.tries;
    job.waitedMs += waitMs;
    job.notBefore = Clock::now() + std::chrono::milliseconds(waitMs);
    mWaiting.push_back(&job);
    std::lock_guard<std::mutex> lock(mLock);
    ++mWaits.retries;
    mWaits.waitedMs += waitMs;
    return true;
}

// The host's least delay doubles (from 1 s, up to 10 s; a longer one stays) and it keeps one
// connection, for the rest of the run.
void TransferThread::slowDown(const QString& host) {
    const int delay = mSlowed.value(host, mHandleOptions.delayMs);
    mSlowed.insert(host, std::max(delay, std::clamp(2 * delay, 1000, kSlowestDelayMs)));
}
