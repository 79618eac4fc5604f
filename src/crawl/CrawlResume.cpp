// What a run keeps for a resume, and what it takes from the runs it resumes.
#include <fcntl.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <limits>

#include "core/WindowSystem.h"
#include "crawl/BodyFile.h"
#include "crawl/CrawlRunner.h"
#include "crawl/Download.h"
#include "crawl/Fetcher.h"
#include "crawl/HtmlPageScan.h"
#include "crawl/PageLines.h"
#include "crawl/RunStart.h"
#include "crawl/UrlKinds.h"

// The stored copy of a page that a run this one resumes fetched, while it is there; once.
QString CrawlRunner::earlierCopy(const QString& pageUrl) const {
    const QString copy = mEarlier.pages.value(UrlKey(pageUrl));
    if (copy.isEmpty()) return {};
    const QString path = QDir(mHost.downloadText()).filePath(copy);
    return EntryExists(path) ? path : QString();
}

// What a run this one resumes fetched ahead and kept, in place of a request; taken once.
std::optional<KeptFetch> CrawlRunner::keptAhead(const QString& url) {
    if (mEarlier.ahead.isEmpty()) return std::nullopt;
    const auto kept = mEarlier.ahead.constFind(UrlKey(url));
    if (kept == mEarlier.ahead.constEnd()) return std::nullopt;
    const std::int64_t id = *kept;
    mEarlier.ahead.erase(kept);
    return mRecorder.keptAhead(id);
}

// The page the resumed run stopped on is not fetched again: its stored copy is scanned, so that
// the pictures that run did not get to are fetched now. False when the run is to stop.
bool CrawlRunner::rescan(const QString& pageUrl, const QString& copy) {
    mEarlier.pages.remove(UrlKey(pageUrl));
    mAtStart = false;
    return !scanPage(copy, pageUrl) || imagePhase();
}

// NoRevisit, with stored pages deleted: the page whose pictures come next, held while it is the
// first in the queue, for a stop before it leaves it (keepForResume).
void CrawlRunner::holdOpenPage(const QString& path, const QString& pageUrl) {
    mOpenPage.reset();
    if (!mRules.fetchesOnce() || gHTMLAutoDelete != u"0") return;  // "0": pages are deleted
    // Kept open, not read: only a stop reads it, off this thread.
    auto copy = std::make_shared<OpenCopy>();
    copy->size = QFileInfo(path).size();
    if (copy->size > CrawlRecorder::kKeptMost) return;
    copy->handle = ::open(QFile::encodeName(path), O_RDONLY | O_CLOEXEC);
    if (copy->handle >= 0) mOpenPage = OpenPage{pageUrl, mAhead.last(), std::move(copy)};
}

// A stopped run may be resumed: the page it was on, whose stored copy is gone, and what it
// fetched ahead are kept, so that the server is not asked for them again.
void CrawlRunner::keepForResume() {
    constexpr std::int64_t kLimitGraceMs = 5000;  // a user's stop cuts them at once
    if (mHost.stoppedByLimit()) mAhead.finishHeld([] { return TransferTurn(true); }, kLimitGraceMs);
    if (mOpenPage)
        mRecorder.keepAhead(mOpenPage->url, mOpenPage->result, [copy = mOpenPage->copy] {
            return ReadWhole(copy->handle, copy->size);
        });
    mAhead.setAside(
        [this](const QString& url, const FetchResult& result, std::unique_ptr<BodyFile> body) {
            std::shared_ptr<BodyFile> file = std::move(body);
            mRecorder.keepAhead(url, result,
                                [file] { return file->contents(CrawlRecorder::kKeptMost); });
        });
}
