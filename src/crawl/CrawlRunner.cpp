#include "crawl/CrawlRunner.h"

#include <fcntl.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <limits>

#include "core/WindowSystem.h"
#include "crawl/BodyFile.h"
#include "crawl/Download.h"
#include "crawl/Fetcher.h"
#include "crawl/HtmlPageScan.h"
#include "crawl/PageLines.h"
#include "crawl/RenderedPageScan.h"
#include "crawl/RunStart.h"
#include "crawl/UrlKinds.h"

bool TransferTurn(bool cancelledBefore) {
    if (!ws().YieldNoThrow()) return false;
    return cancelledBefore || gCancelRequested != -1;
}

void RemoveSelectedOrFirst(UrlQueue& queue) {
    const int selected = queue.selectedIndex();
    queue.removeAt(selected >= 0 ? selected : 0);
}

QString CrawlRunner::download(const QString& url, bool page) {
    const bool cancelledBefore = gCancelRequested == -1;
    mStored = {};
    const Fetcher::Progress progress = [this, cancelledBefore] {
        mRecorder.tick();
        showWait();
        return TransferTurn(cancelledBefore);
    };
    const QString path = StoreBody(
        url,
        [&](bool digest) {
            FetchedBody fetched = mAhead.fetch(url, page, digest, progress);
            noteFailure(url, fetched.result);
            return fetched;
        },
        // read as HTML, a page may answer as a picture: then it is kept like one
        &mEnd.storageFault,
        mRecorder.wantsDigest(page && !ReadsHtml(gCrawlOptions)) ? &mStored : nullptr,
        ReadsHtml(gCrawlOptions) ? AnswerNaming([&url, page](const FetchResult& answer) {
            return StoredExtension(url, answer.contentType, !page);
        })
                                 : AnswerNaming());
    if (ws().Ending()) throw ProgramEnding{};
    return path;
}

// A fetch that failed goes into the end's count; a cancel, the disk's refusal, a local file
// refused, a redirect the rules passed over or a picture abandoned for its size in pixels (the
// user's rule, as a small picture deleted is) is no failure of the fetch.
void CrawlRunner::noteFailure(const QString& url, const FetchResult& result) {
    if (result.outcome == FetchOutcome::Failed && result.storageError == 0 &&
        !result.tooFewPixels && result.redirect.isEmpty() && mFiles.mayFetch(url))
        mEnd.failures.note(result);
}

// False when the stored page cannot be opened: the page is then passed over like a failed fetch.
bool CrawlRunner::scanStoredPage(const QString& path, const QString& pageUrl,
                                 CrawlAttempt& attempt) {
    QString note;
    if (!scanPage(path, pageUrl, &note)) return false;
    if (!note.isEmpty()) attempt.why = note;  // the archive's row tells what was not read
    holdOpenPage(path, pageUrl);
    return deleteScannedPage(path, attempt);
}

bool CrawlRunner::scanPage(const QString& path, const QString& pageUrl, QString* note) {
    mCurrentPage = pageUrl;
    if (mRenderer) {
        mRecorder.tick();
        return ScanRenderedPage(*mRenderer, mHost, path, pageUrl, mAhead.last().contentType,
                                mScanFilter, [this] {
                                    mRecorder.tick();
                                    mHost.AnimateIcon();
                                    return TransferTurn(false);  // a stop ends a render at once
                                });
    }
    if (ReadsHtml(gCrawlOptions)) {
        mRecorder.tick();
        // As a browser does: references resolve against the URL the answer came from.
        const QString& from = mAhead.last().url;
        return ScanHtmlPage(path, from.isEmpty() ? pageUrl : from, mHost.lstLink(),
                            mHost.lstImage(), mScanFilter, note);
    }
    PageLineReader page;
    if (!page.open(path)) return false;
    QByteArrayView line;  // scanned as stored: only the references found are decoded
    // Rows held back are written when due during a long scan too, but the clock is not read
    // for every short line.
    constexpr unsigned kLinesPerTick = 256;
    mRecorder.tick();
    for (unsigned lines = 1; page.readLine(line); ++lines) {
        mScanner.ScanLine(line, pageUrl);
        mHost.AnimateIcon();
        if (lines % kLinesPerTick == 0) mRecorder.tick();
    }
    page.close();
    return true;
}

bool CrawlRunner::deleteScannedPage(const QString& path, CrawlAttempt& attempt) {
    int removeError = 0;
    if (ApplyStoredPageRule(path, &removeError)) attempt.outcome = AttemptOutcome::DeletedPage;
    noteDeletion(path, removeError);
    return true;
}

// A file that could not be deleted only goes into the summary: the run goes on.
void CrawlRunner::noteDeletion(const QString& path, int error) {
    if (error == 0) return;
    if (mEnd.failedDeletions++ > 0) return;
    mEnd.firstFailedDeletion = path;
    mEnd.firstDeletionError = error;
}

void CrawlRunner::countPicture() {
    if (gImageCount < std::numeric_limits<std::int32_t>::max()) ++gImageCount;
    mCaption = kCrawlingCaption + QStringLiteral(" ( ") + QString::number(gImageCount) +
               QStringLiteral("個のイメージファイルをダウンロードしました。 )");
    mHost.setCaption(mCaption);
    mWaitHost.clear();
}

// While a request waits for a host that failed or asked to be spared, the caption says so.
void CrawlRunner::showWait() {
    const QString host = mTransfers.waits().host;
    if (host == mWaitHost) return;
    mWaitHost = host;
    mHost.setCaption(host.isEmpty()
                         ? mCaption
                         : mCaption + QStringLiteral(" ( ホスト「%1」を待っています… )").arg(host));
}

bool CrawlRunner::admit(const QString& url, bool page) {
    if (!mRules.admit(url, page)) return false;
    if (!mFiles.mayFetch(url, mCurrentPage)) mRefusedFiles.insert(url);
    mRecorder.noteFound(url, mCurrentPage);
    return true;
}

// redirected: url is where a redirect of the entry under way leads.
bool CrawlRunner::mayTake(const QString& url, bool page, bool redirected) {
    if (mRefusedFiles.contains(url)) return false;
    bool robotsRead = false;
    const auto robots = [this, &robotsRead](const QString& robotsUrl) {
        robotsRead = true;
        return fetchRobots(robotsUrl);
    };
    const bool take = (redirected ? mRules.follow(url, page, robots) : mRules.take(url, robots)) &&
                      (page || !mRecorder.knownPicture(url));
    if (robotsRead) mAhead.rulesChanged();
    if (!take && !redirected) mRecorder.forget(url);
    return take;
}

FetchAhead::Rules CrawlRunner::aheadRules(const FileUrlPolicy& files) {
    FetchAhead::Rules rules;
    rules.take = [this](const QString& url, bool page) {
        return mRules.wouldTake(url) &&
               (page || !gCrawlOptions.skipKnown || !mRecorder.knownPicture(url));
    };
    rules.admits = [this](const QString& url, bool page) { return mRules.wouldAdmit(url, page); };
    if (mRules.fetchesOnce()) rules.onceKey = UrlKey;
    rules.digest = [this](bool page) { return mRecorder.wantsDigest(page); };
    rules.files = files;
    if (mRules.checksRedirects())
        rules.followTo = [this](const QString& url, bool page) { return mayTake(url, page, true); };
    rules.tellsPictures = !ReadsHtml(gCrawlOptions);  // the designed scan's guess would not fit
    return rules;
}

std::optional<RobotsAnswer> CrawlRunner::fetchRobots(const QString& url) {
    constexpr qsizetype kRobotsLimit = 512 * 1024;  // what is beyond is not read
    RobotsAnswer answer;
    const bool cancelledBefore = gCancelRequested == -1;
    const FetchResult result =
        mAhead.fetchSmall(url, kRobotsLimit, &answer.body, [this, cancelledBefore] {
            showWait();
            return TransferTurn(cancelledBefore);
        });
    if (ws().Ending()) throw ProgramEnding{};
    if (result.httpStatus == 0 && result.outcome != FetchOutcome::Ok) return std::nullopt;
    answer.httpStatus =
        result.outcome == FetchOutcome::Ok && result.httpStatus == 0 ? 200 : result.httpStatus;
    return answer;
}

// A fetched picture through the small-picture and known-picture rules; true when it is kept.
bool CrawlRunner::storePicture(const QString& url, const QString& path) {
    CrawlAttempt attempt =
        mRecorder.examine(url, false, path, mAhead.last(), mCurrentPage, &mStored);
    bool kept = false;
    if (!path.isEmpty()) {
        int removeError = 0;
        const bool small = ApplySmallImageRule(path, &removeError);
        noteDeletion(path, removeError);
        if (small) {
            attempt.outcome = AttemptOutcome::DeletedSmall;
        } else {
            kept = !mRecorder.dropIfKnown(attempt, path, &removeError);
            noteDeletion(path, removeError);
            if (kept) {
                kept = !mRecorder.dropIfSimilar(attempt, path, &removeError);
                noteDeletion(path, removeError);
            }
        }
    }
    mRecorder.record(attempt);
    return kept;
}
