#include "net/TransferThread.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <system_error>

#include "net/TransferJob.h"

namespace {

// The thread sleeps in the multi handle's poll until a socket or a timer of libcurl's needs it,
// or until the run's thread wakes it: this only bounds a sleep nobody asked to end.
constexpr int kLongestSleepMs = 1000;

}  // namespace

TransferThread::TransferThread(CURLM* multi) : mMulti(multi) {
    try {
        mThread = std::thread([this] { loop(); });
    } catch (const std::system_error&) {  // the caller then drives the transfers itself
    }
}

TransferThread::~TransferThread() {
    if (!mThread.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mLock);
        mQuit = true;
    }
    curl_multi_wakeup(mMulti);
    mThread.join();
}

void TransferThread::start(TransferJob& job) {
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(mLock);
        job.held = true;
        first = mToStart.empty();
        mToStart.push_back(&job);
    }
    // The thread takes every start at once: the first of a batch wakes it for all of them.
    if (first) curl_multi_wakeup(mMulti);
}

void TransferThread::release(const std::vector<TransferJob*>& jobs) {
    std::unique_lock<std::mutex> lock(mLock);
    bool any = false;
    for (TransferJob* job : jobs) {
        if (!job->held) continue;
        job->cancel = true;  // a write under way stops at once
        mToStop.push_back(job);
        any = true;
    }
    if (!any) return;
    lock.unlock();
    curl_multi_wakeup(mMulti);
    lock.lock();
    mChanged.wait(lock, [&jobs] {
        return std::none_of(jobs.begin(), jobs.end(), [](const TransferJob* j) { return j->held; });
    });
}

void TransferThread::waitChange(int waitMs) {
    std::unique_lock<std::mutex> lock(mLock);
    mChanged.wait_for(lock, std::chrono::milliseconds(std::max(0, waitMs)),
                      [this] { return mEnded != mSeen; });
    mSeen = mEnded;
}

// Once let go, a job may be destroyed by the run's thread at any moment: the thread keeps no
// reference to it, not even a request to stop it that came while it ended.
void TransferThread::letGo(TransferJob& job) {
    {
        std::lock_guard<std::mutex> lock(mLock);
        job.held = false;
        ++mEnded;
        mToStop.erase(std::remove(mToStop.begin(), mToStop.end(), &job), mToStop.end());
    }
    mChanged.notify_all();
}

void TransferThread::take(std::vector<TransferJob*>& starting,
                          std::vector<TransferJob*>& stopping) {
    // Stops first: a job stopped before it started never joins, and is let go once.
    for (TransferJob* job : stopping) {
        starting.erase(std::remove(starting.begin(), starting.end(), job), starting.end());
        const auto it = std::find(mJoined.begin(), mJoined.end(), job);
        if (it != mJoined.end()) {
            curl_multi_remove_handle(mMulti, job->transfer.easy());
            mJoined.erase(it);
        }
        letGo(*job);
    }
    stopping.clear();
    for (TransferJob* job : starting) {
        if (curl_multi_add_handle(mMulti, job->transfer.easy()) == CURLM_OK) {
            mJoined.push_back(job);
        } else {
            job->result.outcome = FetchOutcome::Failed;
            job->result.error = QStringLiteral("cannot start the transfer");
            job->done = true;
            letGo(*job);
        }
    }
    starting.clear();
}

void TakeEnded(CURLM* multi, const std::function<void(TransferJob&)>& ended) {
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg != CURLMSG_DONE) continue;
        TransferJob* job = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &job);
        if (!job) continue;
        curl_multi_remove_handle(multi, job->transfer.easy());
        job->finish(message->data.result);
        job->done = true;
        ended(*job);
    }
}

// Hands every transfer that ended back to the run's thread.
void TransferThread::collect() {
    TakeEnded(mMulti, [this](TransferJob& job) {
        mJoined.erase(std::remove(mJoined.begin(), mJoined.end(), &job), mJoined.end());
        letGo(job);
    });
}

void TransferThread::loop() {
    std::vector<TransferJob*> starting;
    std::vector<TransferJob*> stopping;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mLock);
            if (mQuit) break;
            starting.swap(mToStart);
            stopping.swap(mToStop);
        }
        take(starting, stopping);
        int running = 0;
        curl_multi_perform(mMulti, &running);
        collect();
        curl_multi_poll(mMulti, nullptr, 0, kLongestSleepMs, nullptr);
    }
    // Whatever is still joined goes with the pool; its owner destroys it after the join.
    for (TransferJob* job : mJoined) curl_multi_remove_handle(mMulti, job->transfer.easy());
    mJoined.clear();
}
