#include "archive/TaskThread.h"

#include "core/Elsewhere.h"

TaskThread::TaskThread(Idle idle) : mIdle(std::move(idle)) {
    mPool.setMaxThreadCount(1);
    StartElsewhere([this] { loop(); }, &mPool);
}

TaskThread::~TaskThread() {
    std::unique_lock lock(mMutex);
    mEnding = true;
    mWake.notify_one();
    mRan.wait(lock, [this] { return mEnded; });
}

void TaskThread::post(Task task) {
    {
        const std::lock_guard lock(mMutex);
        mTasks.push_back(std::move(task));
        ++mPosted;
    }
    mWake.notify_one();
}

void TaskThread::settle() {
    std::unique_lock lock(mMutex);
    const std::uint64_t target = mPosted;
    mRan.wait(lock, [&] { return mDone >= target; });
}

void TaskThread::loop() {
    std::unique_lock lock(mMutex);
    for (;;) {
        if (!mTasks.empty()) {
            Task task = std::move(mTasks.front());
            mTasks.pop_front();
            lock.unlock();
            task();
            task = nullptr;  // whatever it holds goes before it counts as done
            lock.lock();
            ++mDone;
            mRan.notify_all();
            continue;
        }
        if (mEnding) {
            mEnded = true;
            mRan.notify_all();
            return;
        }
        lock.unlock();
        const std::optional<std::chrono::milliseconds> due = mIdle ? mIdle() : std::nullopt;
        lock.lock();
        if (!mTasks.empty() || mEnding) continue;
        if (due)
            mWake.wait_for(lock, *due);
        else
            mWake.wait(lock);
    }
}
