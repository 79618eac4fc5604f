#pragma once
// The pool's transfers driven on a thread of their own. Sockets, HTTP and the bodies held ahead
// then take the second core while the run's thread names, stores and scans: on a fast server
// the crawl is no longer the sum of both. Private to this library.
//
// Only the thread calls into the multi handle (libcurl allows one thread per handle); the run's
// thread hands jobs over and asks for them back, and it waits on the thread's signal instead of
// on the sockets.

#include <curl/curl.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

struct TransferJob;

// Every transfer of multi that ended: it leaves the handle, gets its result and done, and is
// then handed to ended.
void TakeEnded(CURLM* multi, const std::function<void(TransferJob&)>& ended);

class TransferThread {
public:
    // Drives multi until destroyed; false from running() when no thread could be had.
    explicit TransferThread(CURLM* multi);
    ~TransferThread();
    TransferThread(const TransferThread&) = delete;
    TransferThread& operator=(const TransferThread&) = delete;

    bool running() const { return mThread.joinable(); }

    // Joins a prepared job to the multi handle; the thread sets its done when it ends.
    void start(TransferJob& job);
    // Stops the jobs still under way and returns once the thread holds none of them.
    void release(const std::vector<TransferJob*>& jobs);
    // Waits until a transfer ended since the last call, or waitMs passed.
    void waitChange(int waitMs);

private:
    void loop();
    void take(std::vector<TransferJob*>& starting, std::vector<TransferJob*>& stopping);
    void collect();
    void letGo(TransferJob& job);

    CURLM* mMulti;
    std::mutex mLock;
    std::condition_variable mChanged;
    std::vector<TransferJob*> mToStart;  // guarded by mLock
    std::vector<TransferJob*> mToStop;   // guarded by mLock
    std::uint64_t mEnded = 0;            // guarded by mLock: transfers let go so far
    bool mQuit = false;                  // guarded by mLock
    std::uint64_t mSeen = 0;             // the run's thread's own: mEnded at its last wait
    std::vector<TransferJob*> mJoined;   // the thread's own: jobs in the multi handle
    std::thread mThread;
};
