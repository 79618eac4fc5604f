#include "net/TransferThread.h"

#include <algorithm>
#include <limits>
#include <system_error>
#include <utility>

namespace {

// The thread sleeps in the multi handle's poll until a socket or a timer of libcurl's needs it,
// or until the run's thread wakes it: this only bounds a sleep nobody asked to end.
constexpr int kLongestSleepMs = 1000;

template <typename T>
void Remove(std::vector<T*>& list, const T* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

}  // namespace

TransferThread::TransferThread(const CurlFetcher::Options& options, Signal& signal)
    : mOptions(options), mSignal(signal), mHandleOptions(options) {
    InitCurlOnce();
    mMulti = curl_multi_init();
    if (!mMulti) return;
    const long connections = options.connections;
    curl_multi_setopt(mMulti, CURLMOPT_MAX_HOST_CONNECTIONS, connections);
    curl_multi_setopt(mMulti, CURLMOPT_PIPELINING, static_cast<long>(CURLPIPE_MULTIPLEX));
    curl_multi_setopt(mMulti, CURLMOPT_MAX_CONCURRENT_STREAMS, static_cast<long>(kStreams));
    // Room for every connection of the pool in the cache: none is closed only to open another.
    curl_multi_setopt(mMulti, CURLMOPT_MAXCONNECTS, 2 * connections);
    // Every handle is driven by the one thread: the store needs no lock.
    if (options.limitRate > 0) mRate.emplace(options.limitRate);
    if (!options.cookieFile.isEmpty() && (mShare = curl_share_init()))
        curl_share_setopt(mShare, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    try {
        mThread = std::thread([this] { loop(); });
    } catch (const std::system_error&) {  // every transfer then fails
    }
}

TransferThread::~TransferThread() {
    if (mThread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mLock);
            mQuit = true;
        }
        curl_multi_wakeup(mMulti);
        mThread.join();
    }
    mJobs.clear();
    mIdle.clear();  // before the multi handle they were joined to
    if (mMulti) curl_multi_cleanup(mMulti);
    if (mShare) curl_share_cleanup(mShare);  // after every handle that used it
}

// Only a thread in its poll needs waking: one that works takes what was asked before it sleeps
// (see loop). A wake-up costs both threads four system calls.
void TransferThread::wake() {
    if (mMulti && mPolling.load()) curl_multi_wakeup(mMulti);
}

void TransferThread::setOptions(const CurlFetcher::Options& options) {
    std::lock_guard<std::mutex> lock(mLock);
    mOptions = options;
    ++mGeneration;
}

int TransferThread::add(std::unique_ptr<TransferJob> job) {
    job->id = ++mNextId;
    const int id = job->id;
    if (!running()) {
        job->result.error = QStringLiteral("no transfer handle");
        job->state = Transfers::State::Ended;
    }
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(mLock);
        if (job->state != Transfers::State::Ended) {
            mUnended.fetch_add(1, std::memory_order_relaxed);
            first = mNew.empty();
            mNew.push_back(job.get());
        }
        mJobs.emplace(id, std::move(job));
    }
    // The thread takes every start at once: the first of a batch wakes it for all of them.
    if (first) wake();
    return id;
}

Transfers::State TransferThread::state(int id) {
    std::lock_guard<std::mutex> lock(mLock);
    const auto it = mJobs.find(id);
    return it == mJobs.end() ? Transfers::State::Ended : it->second->state;
}

// No wake-up: a job that waits here waits for a connection, and the thread looks again when one
// is free.
void TransferThread::hurry(int id) {
    std::lock_guard<std::mutex> lock(mLock);
    mToHurry.push_back(id);
}

void TransferThread::resume(int id) {
    {
        std::lock_guard<std::mutex> lock(mLock);
        const auto it = mJobs.find(id);
        // a writer may ask for its piece again before the transfer shows that it waits
        if (it == mJobs.end() || it->second->state == Transfers::State::Ended) return;
        it->second->state = Transfers::State::Running;
        it->second->resumeAsked = true;
        mToResume.push_back(id);
    }
    wake();
}

FetchResult TransferThread::release(int id) {
    std::unique_lock<std::mutex> lock(mLock);
    const auto it = mJobs.find(id);
    if (it == mJobs.end()) return {};
    TransferJob& job = *it->second;
    if (job.state != Transfers::State::Ended) {
        job.stop.store(true, std::memory_order_relaxed);
        mToStop.push_back(id);
        lock.unlock();
        wake();
        lock.lock();
        mChanged.wait(lock, [&job] { return job.state == Transfers::State::Ended; });
    }
    FetchResult result = std::move(job.result);
    mJobs.erase(id);
    return result;
}

void TransferThread::signal() {
    {
        std::lock_guard<std::mutex> lock(mSignal.lock);
        ++mSignal.changes;
    }
    mSignal.changed.notify_all();
}

Transfers::Waits TransferThread::waits() {
    std::lock_guard<std::mutex> lock(mLock);
    return mWaits;
}

// Takes the job out of the multi handle with what it amounts to; its handle serves the next.
FetchResult TransferThread::detach(TransferJob& job, bool done, CURLcode code) {
    FetchResult result;
    if (job.transfer) {
        if (job.joined) curl_multi_remove_handle(mMulti, job.transfer->easy());
        job.joined = false;
        result = job.transfer->result(done, code);
        const int streams = multiplexes() ? kStreams : 1;
        if (mIdle.size() < 2 * static_cast<std::size_t>(mHandleOptions.connections * streams))
            mIdle.push_back(std::move(*job.transfer));
        job.transfer.reset();
    } else {
        result.outcome = FetchOutcome::Aborted;
        result.error = QStringLiteral("aborted");
    }
    Remove(mJoined, &job);
    Remove(mWaiting, &job);
    if (mBeyond && mJoined.size() < joinedMost()) {  // the share is enough again
        mBeyond = false;
        allowConnections(mHandleOptions.connections);
    }
    return result;
}

// Once ended, a job may be destroyed by the run's thread at any moment: a job is let go as it
// ends, so that the run takes its answer without waiting for this thread's next turn (behind
// a busy HTTP/2 connection a turn took milliseconds, for every picture).
void TransferThread::settle(TransferJob& job, FetchResult result) {
    {
        std::lock_guard<std::mutex> lock(mLock);
        if (job.state != Transfers::State::Ended) {
            job.result = std::move(result);
            mUnended.fetch_sub(1, std::memory_order_relaxed);
        }
        job.state = Transfers::State::Ended;
    }
    mChanged.notify_all();
    signal();
}

// The rules the next transfers start under; handles made under other rules go.
void TransferThread::takeOptions() {
    std::lock_guard<std::mutex> lock(mLock);
    if (mGeneration == mIdleGeneration) return;
    mIdleGeneration = mGeneration;
    mHandleOptions = mOptions;
    mIdle.clear();
}

CurlTransfer TransferThread::handle() {
    if (mIdle.empty()) {
        CurlTransfer made(mHandleOptions);
        if (mShare && made.valid()) curl_easy_setopt(made.easy(), CURLOPT_SHARE, mShare);
        return made;
    }
    CurlTransfer reused = std::move(mIdle.back());
    mIdle.pop_back();
    return reused;
}

// Takes what the run's thread asked for: new jobs, stops (first: a job stopped before it
// started never joins), resumes.
void TransferThread::take() {
    std::vector<TransferJob*> fresh;
    std::vector<TransferJob*> stopping;
    std::vector<TransferJob*> resuming;
    std::vector<TransferJob*> hurried;
    {
        std::lock_guard<std::mutex> lock(mLock);
        fresh.swap(mNew);
        // A job that ended meanwhile was let go as it ended, and may be gone already.
        const auto live = [this](int id) {
            const auto it = mJobs.find(id);
            return it == mJobs.end() || it->second->state == Transfers::State::Ended
                       ? nullptr
                       : it->second.get();
        };
        for (const int id : mToStop)
            if (TransferJob* job = live(id)) stopping.push_back(job);
        for (const int id : mToResume)
            if (TransferJob* job = live(id)) {
                resuming.push_back(job);
                job->resumeAsked = false;
            }
        for (const int id : mToHurry)
            if (TransferJob* job = live(id)) hurried.push_back(job);
        mToStop.clear();
        mToResume.clear();
        mToHurry.clear();
    }
    mWaiting.insert(mWaiting.end(), fresh.begin(), fresh.end());
    for (TransferJob* job : hurried) {
        job->hurried = true;
        const auto it = std::find(mWaiting.begin(), mWaiting.end(), job);
        if (it != mWaiting.end()) std::rotate(mWaiting.begin(), it, it + 1);
    }
    for (TransferJob* job : stopping) {
        Remove(resuming, job);
        const bool ended = !job->transfer && !job->joined &&
                           std::find(mWaiting.begin(), mWaiting.end(), job) == mWaiting.end();
        settle(*job, ended ? FetchResult{} : detach(*job, false, CURLE_OK));
    }
    for (TransferJob* job : resuming)
        if (job->transfer) job->transfer->resume();
}

// Transfers in the multi handle at once: a connection's streams once they multiplex, one per
// connection once an answer came over HTTP/1. The rest wait here rather than in libcurl's queue
// of pending transfers: one pending there for a connection at times did not start until the
// thread next woke by itself, a second later. Until an answer tells which, every transfer goes
// to libcurl, which spreads the first ones over connections as it learns what they carry (held
// here, those that joined a breaking HTTP/2 connection late were at times never answered).
std::size_t TransferThread::joinedMost() const {
    const auto connections = static_cast<std::size_t>(mHandleOptions.connections);
    if (multiplexes()) return connections * kStreams;
    return oneAtATime() ? connections : std::numeric_limits<std::size_t>::max();
}

// The run waits for job, and every connection holds a body the held-ahead budget keeps back
// until the run gets to it: only one connection more lets the run go on.
bool TransferThread::mayGoBeyond(const TransferJob& job, std::size_t most) const {
    return job.hurried && mJoined.size() == most &&
           std::all_of(mJoined.begin(), mJoined.end(),
                       [](const TransferJob* j) { return j->transfer->needsRoom(); });
}

void TransferThread::allowConnections(long count) {
    curl_multi_setopt(mMulti, CURLMOPT_MAX_HOST_CONNECTIONS, count);
}

// Starts the waiting jobs whose hosts may be asked again; the milliseconds until the next may.
int TransferThread::startDue() {
    int nextMs = kLongestSleepMs;
    const Clock::time_point now = Clock::now();
    QString waitsFor;  // a host held by a try again or by its slowing down
    takeOptions();
    const std::size_t most = joinedMost();
    for (std::size_t i = 0; i < mWaiting.size();) {
        TransferJob& job = *mWaiting[i];
        if (held(job, now, &nextMs)) {
            if (waitsFor.isEmpty() && (job.tries > 0 || mSlowed.contains(job.host)))
                waitsFor = job.host;
            ++i;
            continue;
        }
        if (mJoined.size() >= most) {
            if (!mayGoBeyond(job, most)) break;
            mBeyond = true;
            allowConnections(mHandleOptions.connections + 1);
        }
        if (!job.host.isEmpty()) mLastStart.insert(job.host, now);
        mWaiting.erase(mWaiting.begin() + static_cast<std::ptrdiff_t>(i));
        const auto refused =
            mHandleOptions.files.allowsFiles() ? RefuseLocalFile(job.url) : std::nullopt;
        if (refused) {
            settle(job, *refused);
            continue;
        }
        job.transfer.emplace(handle());
        if (job.transfer->valid()) {
            job.transfer->prepare(job.url, job.maxBytes, &job.write, &job.stop,
                                  mRate ? &*mRate : nullptr, job.resends > 0);
            curl_easy_setopt(job.transfer->easy(), CURLOPT_PRIVATE, static_cast<void*>(&job));
            job.joined = curl_multi_add_handle(mMulti, job.transfer->easy()) == CURLM_OK;
        }
        if (!job.joined) {
            job.transfer.reset();
            FetchResult failed;
            failed.error = QStringLiteral("cannot start the transfer");
            settle(job, failed);
            continue;
        }
        mJoined.push_back(&job);
    }
    std::lock_guard<std::mutex> lock(mLock);
    mWaits.host = waitsFor;
    return nextMs;
}

// Hands every transfer that ended, or that waits for room, back to the run's thread, or sends
// it again; true when one ended.
bool TransferThread::collect() {
    int queued = 0;
    bool ended = false;
    while (CURLMsg* message = curl_multi_info_read(mMulti, &queued)) {
        if (message->msg != CURLMSG_DONE) continue;
        TransferJob* job = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &job);
        if (!job) continue;
        ended = true;
        if (job->transfer && !multiplexes() && job->transfer->multiplexed())
            mMultiplexes.store(true, std::memory_order_relaxed);
        else if (job->transfer && !oneAtATime() && message->data.result == CURLE_OK)
            mOneAtATime.store(job->transfer->oneAtATime());  // an answer, not a broken try
        if (resendAfresh(*job, message->data.result) || retryLater(*job, message->data.result))
            continue;
        FetchResult result = detach(*job, true, message->data.result);
        result.retries = job->tries;
        result.resends = job->resends;
        result.waitedMs = job->waitedMs;
        settle(*job, std::move(result));
    }
    for (TransferJob* job : mJoined) {
        if (!job->transfer->needsRoom()) continue;
        std::lock_guard<std::mutex> lock(mLock);
        if (job->state != Transfers::State::Running || job->resumeAsked) continue;
        job->state = Transfers::State::NeedsRoom;
        signal();
    }
    return ended;
}

// Lets the transfers held for the rate go on as far as it allows, each in its turn first, so
// that the connections share it; the milliseconds until it allows more, or kLongestSleepMs when
// none is held.
int TransferThread::resumeHeld() {
    if (!mRate || mJoined.empty()) return kLongestSleepMs;
    bool held = false;
    const std::size_t count = mJoined.size();
    const std::size_t first = mRateTurn++ % count;
    for (std::size_t i = 0; i < count; ++i)
        held = !mJoined[(first + i) % count]->transfer->resumeRate() || held;
    return held ? mRate->waitMs(Clock::now()) : kLongestSleepMs;
}

void TransferThread::loop() {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mLock);
            if (mQuit) break;
        }
        take();
        const int sleepMs = startDue();
        int running = 0;
        curl_multi_perform(mMulti, &running);
        // A transfer that ended may free a slowed host's one connection for a waiting job.
        const bool ended = collect();
        const int rateMs = resumeHeld();
        // Said before the last look at what was asked: a request made after the look sees it
        // and wakes the poll.
        mPolling.store(true);
        const bool asked = [this] {
            std::lock_guard<std::mutex> lock(mLock);
            return mQuit || !mNew.empty() || !mToStop.empty() || !mToResume.empty();
        }();
        const bool now = asked || (ended && !mWaiting.empty());
        curl_multi_poll(mMulti, nullptr, 0, now ? 0 : std::min(sleepMs, rateMs), nullptr);
        mPolling.store(false);
    }
    // Whatever is still joined goes with the pool.
    for (TransferJob* job : mJoined) curl_multi_remove_handle(mMulti, job->transfer->easy());
    mJoined.clear();
}
