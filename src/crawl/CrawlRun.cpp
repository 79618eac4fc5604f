#include "crawl/CrawlRun.h"

#include <fcntl.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <limits>

#include "core/RunFolderName.h"
#include "core/WindowSystem.h"
#include "crawl/BodyFile.h"
#include "crawl/CrawlRunner.h"
#include "crawl/Download.h"
#include "crawl/Fetcher.h"
#include "crawl/HtmlPageScan.h"
#include "crawl/PageLines.h"
#include "crawl/RenderedPageScan.h"
#include "crawl/RunStart.h"
#include "crawl/UrlKinds.h"

// False when the cancel flag was seen after an image.
bool CrawlRunner::imagePhase() {
    UrlQueue& images = mHost.lstImage();
    while (images.count() > 0) {
        images.setSelectedIndex(0);
        const QString url = images.selectedText();
        bool kept = false;
        if (mayTake(url, false)) {
            const QString path = download(url, false);
            if (mEnd.storageFault) return false;  // stops like a cancel: the image stays first
            kept = storePicture(url, path);
        }
        if (kept) countPicture();
        if (gCancelRequested == -1) return false;
        // The user may have selected another entry meanwhile: that one goes.
        RemoveSelectedOrFirst(images);
        mHost.AnimateIcon();
        ws().Yield();
    }
    return true;
}

void CrawlRunner::work() {
    UrlQueue& links = mHost.lstLink();
    while (links.count() > 0) {
        mOpenPage.reset();  // the page before is through
        links.setSelectedIndex(0);
        const QString pageUrl = links.selectedText();
        if (mayTake(pageUrl, true)) {
            const QString path = download(pageUrl, true);
            if (mEnd.storageFault) return;  // stops like a cancel: the page stays first
            if (ReadsHtml(gCrawlOptions) && KindOfUrl(path) == UrlKind::Picture) {
                mAtStart = false;
                if (storePicture(pageUrl, path)) countPicture();
            } else if (!pagePhase(pageUrl, path)) {
                return;
            }
        } else if (const QString copy = earlierCopy(pageUrl); !copy.isEmpty()) {
            if (!rescan(pageUrl, copy)) return;
        } else {
            ws().Yield();  // a long run of passed-over entries still keeps the window alive
        }
        if (gCancelRequested == -1) return;
        RemoveSelectedOrFirst(links);
    }
}

// The stored page scanned and its pictures fetched; false when the run is to stop.
bool CrawlRunner::pagePhase(const QString& pageUrl, const QString& path) {
    CrawlAttempt attempt = mRecorder.examine(pageUrl, true, path, mAhead.last(), {}, &mStored);
    const bool scanned =
        !path.isEmpty() && EntryExists(path) && scanStoredPage(path, pageUrl, attempt);
    mRecorder.record(attempt);
    if (startFailed(path)) return false;
    return !scanned || imagePhase();
}

// The first page fetched is the start page: when it did not arrive there is nothing to crawl,
// and a run that ends at once must not look completed. Later pages may fail as they will.
bool CrawlRunner::startFailed(const QString& path) {
    if (!std::exchange(mAtStart, false) || !path.isEmpty()) return false;
    if (mAhead.last().outcome != FetchOutcome::Failed) return false;
    mEnd.startFailure = mAhead.last();
    RemoveSelectedOrFirst(mHost.lstLink());  // the queue is left as it was before the run
    return true;
}

// How the run ended, for its record.
QString CrawlRunner::outcome() const {
    if (mEnd.storageFault) return QStringLiteral("storage failure");
    if (mEnd.startFailure) return QStringLiteral("start page failed");
    if (gCancelRequested == 0) return QStringLiteral("completed");
    return mHost.stoppedByLimit() ? QStringLiteral("stopped by limit")
                                  : QStringLiteral("cancelled");
}

void CrawlRunner::finish() {
    if (mRules.fetchesOnce() && outcome() != QStringLiteral("completed")) keepForResume();
    mAhead.dropAll();  // nothing goes on while the end is told
    mEnd.how = outcome();
    mEnd.startUrl = mStartUrl;
    closeRecord(mEnd.how);
    mHost.setCrawlControls(false);
    mHost.setCaption(kProgramTitle);
    mHost.showRestingIcon();
    // Nothing could be crawled: the run folder made for it goes when nothing went into it
    // (rmdir leaves a folder with anything in it alone).
    if (mEnd.startFailure) QDir().rmdir(gRunFolder);
    gCancelRequested = 0;
}

CrawlEnd RunCrawl(CrawlHost& host, Transfers& transfers, const QStringList& followingLinks,
                  const QString& resumeFile) {
    const auto refuse = [](RunRefusal why, const QString& path) {
        CrawlEnd end;
        end.refused = why;
        end.refusedPath = path;
        return end;
    };
    try {
        if (const RunRefusal why = CheckInputs(host); why != RunRefusal::None)
            return refuse(why, why == RunRefusal::CookiesUnreadable ? gCrawlOptions.cookieFile
                                                                    : host.downloadText());
        // one browser for the run, ended with it, whatever ends it
        std::unique_ptr<PageRenderer> renderer;
        if (gCrawlOptions.renderPages) {
            QString problem;
            if (!(renderer = host.openRenderer(&problem))) {
                CrawlEnd end = refuse(RunRefusal::NoBrowser, {});
                end.refusedText = problem;
                return end;
            }
        }
        const QString folder = host.downloadText();
        const int n = ChooseRunFolder(folder);
        if (n < 0) return refuse(RunRefusal::AllRunFoldersTaken, folder);
        if (!host.confirmStart(folder, RunFolderName(n)) || ws().Ending()) return {};
        if (CreateRunFolder(folder, n) != 0)
            return refuse(RunRefusal::RunFolderNotMade, gRunFolder);
        gImageCount = 0;
        host.lstLink().clear();
        host.lstImage().clear();
        host.setCaption(kCrawlingCaption);
        host.setCrawlControls(true);
        const QString startUrl = host.urlText();
        // builds the scan patterns
        CrawlRunner runner(host, transfers, startUrl, resumeFile, renderer.get());
        host.lstLink().append(startUrl);
        host.lstLink().appendAll(followingLinks);
        if (!followingLinks.isEmpty()) runner.resumes();
        runner.work();
        runner.finish();
        return runner.end();
    } catch (const ProgramEnding&) {
        // The program is ending inside a yield: nothing more may be shown or changed.
    }
    return {};
}
