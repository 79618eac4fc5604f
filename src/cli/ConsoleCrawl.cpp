#include "cli/ConsoleCrawl.h"

#include <QCoreApplication>
#include <cstdio>

#include "core/basGlobal.h"

namespace {

QByteArray Local(const QString& s) { return s.toLocal8Bit(); }

}  // namespace

ConsoleHost::ConsoleHost(QString startUrl, QString downloadFolder)
    : mUrl(std::move(startUrl)), mFolder(std::move(downloadFolder)) {
    QObject::connect(&mLinks, &UrlQueue::rowsRemoved, [this] {
        ++mPagesDone;
        if (onPageDone) onPageDone();
    });
}

FetchResult CountingFetcher::fetch(const QString& url, const Sink& sink,
                                   const Progress& progress) {
    return mInner.fetch(
        url,
        [this, &sink](const char* data, std::size_t size) {
            mBytes += static_cast<std::int64_t>(size);
            return sink(data, size);
        },
        progress);
}

ConsoleWindowSystem::ConsoleWindowSystem(const ConsoleHost& host, bool quiet, bool terminal)
    : mHost(host), mQuiet(quiet), mTerminal(terminal) {
    mClock.start();
}

void ConsoleWindowSystem::setLimits(std::int64_t maxPages, double maxSeconds) {
    mMaxPages = maxPages;
    mMaxSeconds = maxSeconds;
}

int ConsoleWindowSystem::MsgBox(const QString& text, const QString& title, int style) {
    QString flat = text;
    flat.replace(QLatin1Char('\r'), QLatin1Char(' '));
    const bool question = (style & 0xF) == MB_YESNOCANCEL;
    const bool warning = (style & 0xF0) == MB_ICONWARNING || (style & 0xF0) == MB_ICONERROR;
    if (warning) mInputError = true;
    if (warning || (!mQuiet && !question)) {
        finishProgress();
        std::fprintf(stderr, "siterambler-crawl: %s: %s\n", Local(title).constData(),
                     Local(flat).constData());
    }
    return question ? IDYES : IDOK;
}

void ConsoleWindowSystem::stop(const char* why) {
    if (mStopped) return;
    mStopped = true;
    gCancelRequested = -1;  // the crawl stops at its next check, as with the cancel button
    if (!mQuiet) {
        finishProgress();
        std::fprintf(stderr, "siterambler-crawl: %s, stopping\n", why);
    }
}

void ConsoleWindowSystem::checkLimits() {
    if (mMaxPages > 0 && mHost.pagesDone() >= mMaxPages) stop("page limit reached");
    if (mMaxSeconds > 0 && mClock.elapsed() >= qint64(mMaxSeconds * 1000))
        stop("time limit reached");
}

void ConsoleWindowSystem::ProcessEvents() {
    if (QCoreApplication::instance()) QCoreApplication::processEvents();
    if (mSignal && *mSignal) stop("interrupted");
    checkLimits();
    const qint64 now = mClock.elapsed();
    const qint64 every = mTerminal ? 250 : 5000;
    if (!mQuiet && (mLastReportMs < 0 || now - mLastReportMs >= every)) {
        mLastReportMs = now;
        printProgress(false);
    }
}

void ConsoleWindowSystem::printProgress(bool final) {
    const double seconds = qMax<qint64>(mClock.elapsed(), 1) / 1000.0;
    const double mb = (mCounter ? mCounter->bytes() : 0) / 1e6;
    const QByteArray line =
        QStringLiteral("pages %1, images kept %2, queued %3 links %4 images, %5 MB, "
                       "%6 pages/s, %7 MB/s, %8 s")
            .arg(mHost.pagesDone())
            .arg(gImageCount)
            .arg(mHost.links().count())
            .arg(mHost.images().count())
            .arg(mb, 0, 'f', 1)
            .arg(mHost.pagesDone() / seconds, 0, 'f', 1)
            .arg(mb / seconds, 0, 'f', 2)
            .arg(seconds, 0, 'f', 0)
            .toLocal8Bit();
    if (mTerminal && !final) {
        std::fprintf(stderr, "\r\033[K%s", line.constData());
        mLineOpen = true;
    } else {
        std::fprintf(stderr, "%s\n", line.constData());
    }
    std::fflush(stderr);
}

void ConsoleWindowSystem::finishProgress() {
    if (mQuiet) return;
    if (mLineOpen) {
        std::fputc('\n', stderr);
        mLineOpen = false;
    }
}

void ConsoleWindowSystem::finalReport() {
    if (mQuiet) return;
    finishProgress();
    if (mTerminal) mLineOpen = false;
    printProgress(true);
    std::fprintf(stderr, "longest time without servicing events: %lld ms\n",
                 static_cast<long long>(LongestGapMs()));
}
