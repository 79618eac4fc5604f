#pragma once
// The one way the program runs work off the calling thread (the transfers' thread aside): a job
// on one of Qt's thread pools, its result handed back through a std::future.
//
// Qt's pool hands a job to its thread through Qt's own locks, which ThreadSanitizer cannot see
// (Qt is not built for it), and QFuture's hand-back goes the same way: the hand-over is told to
// the sanitizer here, and the result comes back through the standard library, which it sees.

#include <QRunnable>
#include <QThreadPool>
#include <chrono>
#include <exception>
#include <future>
#include <type_traits>
#include <utility>

#include "core/WindowSystem.h"

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace elsewhere {

inline void HandOver([[maybe_unused]] void* job) {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(job);
#endif
}

inline void TakeOver([[maybe_unused]] void* job) {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(job);
#endif
}

template <class Work>
class Job final : public QRunnable {
public:
    explicit Job(Work work) : mWork(std::move(work)) {}
    void run() override {
        TakeOver(this);
        mWork();
    }

private:
    Work mWork;
};

// How long a wait for work lasts before the waiting thread takes its turn: a time slice.
constexpr std::chrono::milliseconds kTurn{10};

}  // namespace elsewhere

// Starts work() on pool (Qt's global pool when none is given) and returns at once. A job must
// never wait for another job of its own pool: the pool may have no thread left for it.
template <class Work>
void StartElsewhere(Work work, QThreadPool* pool = nullptr) {
    auto* job = new elsewhere::Job<Work>(std::move(work));  // the pool deletes it once it ran
    elsewhere::HandOver(job);
    (pool ? pool : QThreadPool::globalInstance())->start(job);
}

// Starts work() like StartElsewhere; what it returns, or throws, comes through the future.
template <class Work>
std::future<std::invoke_result_t<Work&>> RunElsewhere(Work work, QThreadPool* pool = nullptr) {
    using Result = std::invoke_result_t<Work&>;
    std::promise<Result> promise;
    std::future<Result> future = promise.get_future();
    StartElsewhere(
        [promise = std::move(promise), work = std::move(work)]() mutable {
            try {
                if constexpr (std::is_void_v<Result>) {
                    work();
                    promise.set_value();
                } else {
                    promise.set_value(work());
                }
            } catch (...) {
                promise.set_exception(std::current_exception());
            }
        },
        pool);
    return future;
}

// Runs work() on Qt's global pool and returns what it returned, calling turn() between waits
// of a time slice meanwhile. Once turn() returns false the rest is waited for without turns.
// When turn() throws, work is waited for before the exception goes on: work may use the
// caller's locals.
template <class Work, class Turn>
std::invoke_result_t<Work&> RunWhileServiced(Work work, Turn turn) {
    auto done = RunElsewhere(std::move(work));
    try {
        bool turning = true;
        while (turning && done.wait_for(elsewhere::kTurn) != std::future_status::ready)
            turning = turn();
    } catch (...) {
        done.wait();
        throw;
    }
    return done.get();
}

// The same, servicing the window meanwhile: throws ProgramEnding when the program ends.
template <class Work>
std::invoke_result_t<Work&> RunWhileServiced(Work work) {
    return RunWhileServiced(std::move(work), [] {
        ws().Yield();
        return true;
    });
}
