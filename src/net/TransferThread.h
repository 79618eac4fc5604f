#pragma once
// Transfers of the pool, driven on a thread of its own: sockets, HTTP, decoding and the writing
// of the bodies take another core while the run's thread names, stores and scans, and a body
// that arrives in a rush (a compressed bomb) never holds the window. Private to this library.
//
// Only the thread calls libcurl (one thread per multi handle); the run's thread hands requests
// over, waits on the pool's signal, and asks for jobs back. An ended job is never touched by
// the thread again.

#include <curl/curl.h>

#include <QHash>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "net/CurlFetcher.h"
#include "net/SharedRate.h"
#include "net/TransferJob.h"

class TransferThread {
public:
    // Requests carried at once by a connection that multiplexes, at most (the server may allow
    // fewer): as many as Wget2's window, as a polite crawler keeps.
    static constexpr int kStreams = 30;
    // Requests the pool takes per connection that does not multiplex: one runs, the others wait
    // in the thread, in the run's order, and start the moment a connection is free, without a
    // round trip to the run's thread (a connection otherwise sat idle until the run next looked).
    static constexpr int kAskedPerConnection = 3;

    // What the run's thread waits on: a change of any of the pool's threads.
    struct Signal {
        std::mutex lock;
        std::condition_variable changed;
        std::uint64_t changes = 0;  // guarded by lock
    };

    TransferThread(const CurlFetcher::Options& options, Signal& signal);
    ~TransferThread();
    TransferThread(const TransferThread&) = delete;
    TransferThread& operator=(const TransferThread&) = delete;

    // False when no thread or no multi handle could be had: every transfer then fails.
    bool running() const { return mThread.joinable(); }
    void setOptions(const CurlFetcher::Options& options);

    int add(std::unique_ptr<TransferJob> job);
    Transfers::State state(int id);
    void resume(int id);
    // The run waits for job id: it starts before the jobs asked for ahead of it.
    void hurry(int id);
    // Stops the job if it still runs, waits until the thread let go of it, and forgets it.
    FetchResult release(int id);
    // Jobs added and not yet ended.
    int unended() const { return mUnended.load(std::memory_order_relaxed); }
    Transfers::Waits waits();
    // True once a transfer went over a connection that multiplexes.
    bool multiplexes() const { return mMultiplexes.load(std::memory_order_relaxed); }
    // True once an answer came over a connection that carries one request at a time.
    bool oneAtATime() const { return mOneAtATime.load(std::memory_order_relaxed); }

private:
    using Clock = std::chrono::steady_clock;

    void loop();
    void take();
    int startDue();
    std::size_t joinedMost() const;
    bool mayGoBeyond(const TransferJob& job, std::size_t most) const;
    void allowConnections(long count);
    bool collect();
    int resumeHeld();
    // When a job may start and when it goes again (TransferHosts.cpp).
    bool resendAfresh(TransferJob& job, CURLcode code);
    bool retryLater(TransferJob& job, CURLcode code);
    void slowDown(const QString& host);
    bool held(const TransferJob& job, Clock::time_point now, int* nextMs);
    FetchResult detach(TransferJob& job, bool done, CURLcode code);
    void settle(TransferJob& job, FetchResult result);
    void takeOptions();
    CurlTransfer handle();
    void wake();
    void signal();

    CURLM* mMulti = nullptr;
    // One cookie store for every handle of the pool: a cookie set by an answer goes with the
    // requests of every connection. Null without a cookies file.
    CURLSH* mShare = nullptr;
    std::mutex mLock;
    std::condition_variable mChanged;
    CurlFetcher::Options mOptions;                      // guarded by mLock
    std::uint64_t mGeneration = 0;                      // guarded by mLock: options changed
    std::map<int, std::unique_ptr<TransferJob>> mJobs;  // guarded by mLock
    std::vector<TransferJob*> mNew;                     // guarded by mLock
    std::vector<int> mToStop;                           // guarded by mLock
    std::vector<int> mToResume;                         // guarded by mLock
    std::vector<int> mToHurry;                          // guarded by mLock
    bool mQuit = false;                                 // guarded by mLock
    Transfers::Waits mWaits;                            // guarded by mLock
    int mNextId = 0;                                    // the run's thread's own
    Signal& mSignal;
    std::atomic<int> mUnended{0};

    // The thread's own:
    std::vector<TransferJob*> mWaiting;  // not started yet, in the order asked for
    std::vector<TransferJob*> mJoined;
    std::vector<CurlTransfer> mIdle;  // handles of ended transfers, for the next ones
    std::uint64_t mIdleGeneration = 0;
    CurlFetcher::Options mHandleOptions;
    QHash<QString, Clock::time_point> mLastStart;  // per host
    // Hosts that answered 429 or 503, with their least delay between requests: one connection
    // each for the rest of the run.
    QHash<QString, int> mSlowed;
    std::optional<SharedRate> mRate;  // the crawl's rate limit, shared by every transfer
    std::size_t mRateTurn = 0;        // the transfer the rate lets go on first next time

    std::atomic<bool> mOneAtATime{false};
    bool mBeyond = false;  // a hurried job holds a connection beyond the share (see startDue)
    std::atomic<bool> mMultiplexes{false};
    std::atomic<bool> mPolling{false};  // the thread is in (or about to enter) its poll
    std::thread mThread;
};
