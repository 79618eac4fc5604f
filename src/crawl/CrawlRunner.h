#pragma once
// The run of one crawl from its created run folder to its closing message, private to this
// library: RunCrawl drives it.

#include <unistd.h>

#include <QSet>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "core/CrawlOptions.h"
#include "core/UrlQueue.h"
#include "core/basGlobal.h"
#include "crawl/CrawlHost.h"
#include "crawl/CrawlRecorder.h"
#include "crawl/CrawlRules.h"
#include "crawl/CrawlRun.h"
#include "crawl/FetchAhead.h"
#include "crawl/KeptTransfers.h"
#include "crawl/PageScanner.h"
#include "crawl/Transfers.h"

inline const QString kProgramTitle = QStringLiteral("Site Rambler");
inline const QString kCrawlingCaption = kProgramTitle + QStringLiteral(" - 巡回中…");

// What a transfer does while it waits: keep the window serviced, and stop when the program
// ends or when the user cancels during this transfer. A cancel that came before the transfer
// began lets it finish, as the run only looks at the flag after each image.
bool TransferTurn(bool cancelledBefore);

void RemoveSelectedOrFirst(UrlQueue& queue);

// A stored page kept open while its name is deleted: read only if the run stops.
struct OpenCopy {
    int handle = -1;
    std::int64_t size = 0;
    OpenCopy() = default;
    OpenCopy(const OpenCopy&) = delete;
    OpenCopy& operator=(const OpenCopy&) = delete;
    ~OpenCopy() {
        if (handle >= 0) ::close(handle);
    }
};

// One run from the created run folder to the closing message.
class CrawlRunner {
public:
    CrawlRunner(CrawlHost& host, Transfers& transfers, const QString& startUrl,
                const QString& resumeFile, PageRenderer* renderer)
        : mHost(host),
          mRenderer(renderer),
          mTransfers(transfers),
          mScanner(host.lstLink(), host.lstImage(), [&host] { host.AnimateIcon(); }),
          mRules(gCrawlOptions, startUrl),
          mRecorder(gCrawlOptions.archive || gCrawlOptions.skipKnown || gCrawlOptions.skipSimilar ||
                            (gCrawlOptions.noRevisit && !resumeFile.isEmpty())
                        ? host.openJournal(host.downloadText(), gCrawlOptions.archive)
                        : nullptr,
                    gCrawlOptions),
          mKept(transfers, [this](const QString& url) { return keptAhead(url); }),
          mFiles(FileUrlPolicy::ForCrawlFrom(startUrl)),
          mAhead(mKept, host.lstLink(), host.lstImage(), aheadRules(mFiles)) {
        transfers.setFilePolicy(mFiles);
        // The rules check where a redirect leads before it is followed; without them the pool
        // follows redirects itself, as the designed crawl does.
        transfers.setRedirectsFollowed(!mRules.checksRedirects());
        if (mRules.filters() || mRecorder.wantsOrigins() || mFiles.allowsFiles())
            mScanFilter = [this](const QString& url, bool page) { return admit(url, page); };
        mScanner.setFilter(mScanFilter);
        if (mRules.fetchesOnce() && !resumeFile.isEmpty()) {
            mEarlier = mRecorder.earlierRun(startUrl, resumeFile);
            // The page that run stopped on comes first: without a stored copy to scan, it is
            // fetched again rather than its pictures not yet fetched lost.
            if (earlierCopy(startUrl).isEmpty()) mEarlier.keys.remove(UrlKey(startUrl));
            mRules.remember(mEarlier.keys);
        }
        mRecorder.beginRun(gRunFolder, startUrl, mEarlier.folder);
        mStartUrl = startUrl;
    }
    ~CrawlRunner() { closeRecord(QStringLiteral("ended")); }

    void work();
    void finish();
    const CrawlEnd& end() const { return mEnd; }
    // A resumed queue: its start page arrived in an earlier run, so that a failure of it is
    // like any other.
    void resumes() { mAtStart = false; }

private:
    QString download(const QString& url, bool page);
    void noteDeletion(const QString& path, int error);
    bool scanStoredPage(const QString& path, const QString& pageUrl, CrawlAttempt& attempt);
    // note, when given: what of a page read as HTML was left, and why (empty when none was).
    bool scanPage(const QString& path, const QString& pageUrl, QString* note = nullptr);
    QString earlierCopy(const QString& pageUrl) const;
    void holdOpenPage(const QString& path, const QString& pageUrl);
    void keepForResume();
    std::optional<KeptFetch> keptAhead(const QString& url);
    bool rescan(const QString& pageUrl, const QString& copy);
    bool deleteScannedPage(const QString& path, CrawlAttempt& attempt);
    void countPicture();
    bool pagePhase(const QString& pageUrl, const QString& path);
    bool imagePhase();
    bool admit(const QString& url, bool page);
    bool mayTake(const QString& url, bool page, bool redirected = false);
    void noteFailure(const QString& url, const FetchResult& result);
    std::optional<RobotsAnswer> fetchRobots(const QString& url);
    bool storePicture(const QString& url, const QString& path);
    bool startFailed(const QString& path);
    QString outcome() const;
    FetchAhead::Rules aheadRules(const FileUrlPolicy& files);

    void showWait();

    CrawlHost& mHost;
    PageRenderer* mRenderer;  // none: pages are read as stored
    Transfers& mTransfers;
    QString mCaption = kCrawlingCaption;  // without the wait for a host
    QString mWaitHost;                    // the host the caption says the crawl waits for
    PageScanner mScanner;
    PageScanner::Filter mScanFilter;  // none: every new reference is queued
    CrawlEnd mEnd;
    CrawlRules mRules;
    CrawlRecorder mRecorder;
    QString mCurrentPage;
    StoredBody mStored;  // of the latest download, when the record wants it
    bool mRecordClosed = false;
    bool mAtStart = true;  // no page fetched yet
    QString mStartUrl;
    EarlierRun mEarlier;  // what the runs this one resumes fetched
    struct OpenPage {
        QString url;
        FetchResult result;
        std::shared_ptr<const OpenCopy> copy;
    };
    std::optional<OpenPage> mOpenPage;  // see holdOpenPage
    KeptTransfers mKept;                // the pool, and what those runs fetched ahead and kept
    FileUrlPolicy mFiles;
    QSet<QString> mRefusedFiles;  // file: URLs named by web pages, never fetched
    FetchAhead mAhead;            // last: it goes first, with every transfer it holds

    void closeRecord(const QString& how) {
        if (!std::exchange(mRecordClosed, true)) mRecorder.endRun(how);
    }
};
