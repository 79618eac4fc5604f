#pragma once
// A thread of its own that runs the tasks handed to it one after another, in the order they
// came: the one job of a pool of one thread, from construction to destruction. Between tasks it
// runs the idle work, which says how long it may sleep before it is due again. Private to this
// library.

#include <QThreadPool>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

class TaskThread {
public:
    using Task = std::function<void()>;
    // Returns the time until it is due again; nothing: not before the next task.
    using Idle = std::function<std::optional<std::chrono::milliseconds>()>;

    explicit TaskThread(Idle idle = {});
    // Runs every task handed over, then ends.
    ~TaskThread();
    TaskThread(const TaskThread&) = delete;
    TaskThread& operator=(const TaskThread&) = delete;

    void post(Task task);
    // Waits until every task handed over so far has run.
    void settle();
    // Runs work on the thread, after every task handed over so far, and returns its result.
    template <class Work>
    auto call(Work work) -> decltype(work()) {
        // shared: the thread may still be inside it when the caller has its result
        auto task = std::make_shared<std::packaged_task<decltype(work())()>>(std::move(work));
        auto result = task->get_future();
        post([task] { (*task)(); });
        return result.get();
    }

private:
    void loop();

    Idle mIdle;
    std::mutex mMutex;
    std::condition_variable mWake;  // a task came, or the end
    std::condition_variable mRan;   // a task ran
    std::deque<Task> mTasks;
    std::uint64_t mPosted = 0;
    std::uint64_t mDone = 0;
    bool mEnding = false;
    bool mEnded = false;  // the loop is over: nothing above is touched by the pool's thread again
    QThreadPool mPool;    // last: starts once everything above is there
};
