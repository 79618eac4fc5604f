#include "cli/ConsoleCrawl.h"

#include <QCoreApplication>
#include <cstdio>
#include <utility>

#include "core/TerminalText.h"
#include "core/basGlobal.h"

ConsoleHost::ConsoleHost(QString startUrl, QString downloadFolder)
    : mUrl(std::move(startUrl)), mFolder(std::move(downloadFolder)) {
    QObject::connect(&mLinks, &UrlQueue::rowsRemoved, [this] {
        ++mPagesDone;
        if (onPageDone) onPageDone();
    });
}

int CountingTransfers::start(const QString& url, std::int64_t maxBytes, Write write) {
    return mInner.start(
        url, maxBytes, [this, write = std::move(write)](const char* data, std::size_t size) {
            const int error = write(data, size);
            if (error == 0)
                mBytes.fetch_add(static_cast<std::int64_t>(size), std::memory_order_relaxed);
            return error;
        });
}

ConsoleWindowSystem::ConsoleWindowSystem(ConsoleHost& host, bool quiet, bool terminal)
    : mHost(host), mQuiet(quiet), mProgress(stderr, terminal) {
    mClock.start();
}

void ConsoleWindowSystem::setLimits(std::int64_t maxPages, double maxSeconds) {
    mMaxPages = maxPages;
    mMaxSeconds = maxSeconds;
}

void ConsoleWindowSystem::stop(const char* why, bool limit) {
    if (mStopped) return;
    mStopped = true;
    mHost.limitReached = limit;
    gCancelRequested = -1;  // the crawl stops at its next check, as with the cancel button
    if (!mQuiet) {
        finishProgress();
        std::fprintf(stderr, "siterambler-crawl: %s, stopping\n", why);
    }
}

void ConsoleWindowSystem::checkLimits() {
    if (mMaxPages > 0 && mHost.pagesDone() >= mMaxPages) stop("page limit reached", true);
    if (mMaxSeconds > 0 && mClock.elapsed() >= qint64(mMaxSeconds * 1000))
        stop("time limit reached", true);
}

void ConsoleWindowSystem::ProcessEvents() {
    if (QCoreApplication::instance()) QCoreApplication::processEvents();
    if (mSignal && *mSignal) stop("interrupted");
    checkLimits();
    if (!mQuiet) mProgress.update(figures(), mClock.elapsed());
}

ProgressFigures ConsoleWindowSystem::figures() const {
    ProgressFigures f;
    f.pages = mHost.pagesDone();
    f.picturesKept = gImageCount;
    f.linksQueued = mHost.links().count();
    f.imagesQueued = mHost.images().count();
    f.bytes = mCounter ? mCounter->bytes() : 0;
    f.elapsedMs = mClock.elapsed();
    if (mCounter) {
        const Transfers::Waits waits = mCounter->waits();
        f.retries = waits.retries;
        f.resends = waits.resends;
        f.waitedMs = waits.waitedMs;
        f.waitingFor = waits.host;
    }
    return f;
}

void ConsoleWindowSystem::finishProgress() {
    if (!mQuiet) mProgress.breakLine();
}

void ConsoleWindowSystem::finalReport(bool stats) {
    if (mQuiet) return;
    mProgress.finalLine(figures());
    if (stats)  // a developer's figure: what keeps a window responsive
        std::fprintf(stderr, "longest time without servicing events: %lld ms\n",
                     static_cast<long long>(LongestGapMs()));
}
