#pragma once
// Work for the contact sheet done on a pool thread, its result handed back to an object on the
// window's thread: decoding and listing a large folder would hold the window.

#include <QMetaObject>
#include <QObject>
#include <QThreadPool>
#include <memory>
#include <mutex>
#include <utility>

#include "core/Elsewhere.h"

// Shared by an object and the jobs it started: a job that ends after the object went hands its
// result to nobody, instead of to a dangling pointer.
class ResultMailbox {
public:
    explicit ResultMailbox(QObject* receiver) : mReceiver(receiver) {}
    // Called by the receiver as it goes, before anything it owns is gone.
    void close() {
        std::lock_guard lock(mLock);
        mReceiver = nullptr;
    }
    // Runs handle on the receiver's thread, unless it is gone.
    template <class Handle>
    void post(Handle handle) {
        std::lock_guard lock(mLock);
        if (mReceiver)
            QMetaObject::invokeMethod(mReceiver, std::move(handle), Qt::QueuedConnection);
    }

private:
    std::mutex mLock;
    QObject* mReceiver;
};

// The pool the contact sheet works on, at low priority: the crawl and the window come first.
QThreadPool& SheetPool();

// Runs work() on the pool; done(result) follows on the receiver's thread.
template <class Work, class Done>
void RunOffThread(const std::shared_ptr<ResultMailbox>& mailbox, Work work, Done done) {
    StartElsewhere(
        [mailbox, work = std::move(work), done = std::move(done)]() mutable {
            auto result = work();
            mailbox->post([done = std::move(done), result = std::move(result)]() mutable {
                done(std::move(result));
            });
        },
        &SheetPool());
}
