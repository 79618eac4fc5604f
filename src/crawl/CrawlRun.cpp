#include "crawl/CrawlRun.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <limits>
#include <optional>
#include <utility>

#include "core/CrawlOptions.h"
#include "core/UrlQueue.h"
#include "core/WindowSystem.h"
#include "core/basGlobal.h"
#include "crawl/BodyFile.h"
#include "crawl/CrawlHost.h"
#include "crawl/CrawlRecorder.h"
#include "crawl/CrawlRules.h"
#include "crawl/Download.h"
#include "crawl/FetchAhead.h"
#include "crawl/Fetcher.h"
#include "crawl/HtmlPageScan.h"
#include "crawl/KeptTransfers.h"
#include "crawl/PageLines.h"
#include "crawl/PageScanner.h"
#include "crawl/RunStart.h"
#include "crawl/Transfers.h"
#include "crawl/UrlKinds.h"

namespace {

constexpr int kInformationStyle = MB_OK | MB_ICONINFORMATION | MB_SYSTEMMODAL;

const QString kProgramTitle = QStringLiteral("Site Rambler");
const QString kCrawlingCaption = kProgramTitle + QStringLiteral(" - 巡回中…");

// What a transfer does while it waits: keep the window serviced, and stop when the program
// ends or when the user cancels during this transfer. A cancel that came before the transfer
// began lets it finish, as the run only looks at the flag after each image.
bool TransferTurn(bool cancelledBefore) {
    if (!ws().YieldNoThrow()) return false;
    return cancelledBefore || gCancelRequested != -1;
}

void RemoveSelectedOrFirst(UrlQueue& queue) {
    const int selected = queue.selectedIndex();
    queue.removeAt(selected >= 0 ? selected : 0);
}

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
                const QString& resumeFile)
        : mHost(host),
          mTransfers(transfers),
          mScanner(host.lstLink(), host.lstImage(), [&host] { host.AnimateIcon(); }),
          mRules(gCrawlOptions, startUrl),
          mRecorder(gCrawlOptions.archive || gCrawlOptions.skipKnown || gCrawlOptions.skipSimilar ||
                            (gCrawlOptions.noRevisit && !resumeFile.isEmpty())
                        ? host.openJournal(host.downloadText(), gCrawlOptions.archive)
                        : nullptr,
                    gCrawlOptions),
          mKept(transfers, [this](const QString& url) { return keptAhead(url); }),
          mAhead(mKept, host.lstLink(), host.lstImage(), aheadRules(IsFileUrl(startUrl))) {
        if (mRules.filters() || mRecorder.wantsOrigins())
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
    bool scanPage(const QString& path, const QString& pageUrl);
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
    bool mayTake(const QString& url, bool page);
    std::optional<RobotsAnswer> fetchRobots(const QString& url);
    bool storePicture(const QString& url, const QString& path);
    bool startFailed(const QString& path);
    QString outcome() const;
    FetchAhead::Rules aheadRules(bool allowFile);

    void showWait();

    CrawlHost& mHost;
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
    FetchAhead mAhead;                  // last: it goes first, with every transfer it holds

    void closeRecord(const QString& how) {
        if (!std::exchange(mRecordClosed, true)) mRecorder.endRun(how);
    }
};

QString CrawlRunner::download(const QString& url, bool page) {
    const bool cancelledBefore = gCancelRequested == -1;
    mStored = {};
    const Fetcher::Progress progress = [this, cancelledBefore] {
        mRecorder.tick();
        showWait();
        return TransferTurn(cancelledBefore);
    };
    const QString path = StoreBody(
        url, [&](bool digest) { return mAhead.fetch(url, page, digest, progress); },
        // read as HTML, a page may answer as a picture: then it is kept like one
        &mEnd.storageFault,
        mRecorder.wantsDigest(page && !gCrawlOptions.parseHtml) ? &mStored : nullptr,
        gCrawlOptions.parseHtml ? AnswerNaming([&url, page](const FetchResult& answer) {
            return StoredExtension(url, answer.contentType, !page);
        })
                                : AnswerNaming());
    if (ws().Ending()) throw ProgramEnding{};
    return path;
}

// False when the stored page cannot be opened: the page is then passed over like a failed fetch.
bool CrawlRunner::scanStoredPage(const QString& path, const QString& pageUrl,
                                 CrawlAttempt& attempt) {
    if (!scanPage(path, pageUrl)) return false;
    holdOpenPage(path, pageUrl);
    return deleteScannedPage(path, attempt);
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

bool CrawlRunner::scanPage(const QString& path, const QString& pageUrl) {
    mCurrentPage = pageUrl;
    if (gCrawlOptions.parseHtml) {
        mRecorder.tick();
        return ScanHtmlPage(path, pageUrl, mHost.lstLink(), mHost.lstImage(), mScanFilter);
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
    mRecorder.noteFound(url, mCurrentPage);
    return true;
}

bool CrawlRunner::mayTake(const QString& url, bool page) {
    bool robotsRead = false;
    const auto robots = [this, &robotsRead](const QString& robotsUrl) {
        robotsRead = true;
        return fetchRobots(robotsUrl);
    };
    const bool take = mRules.take(url, robots) && (page || !mRecorder.knownPicture(url));
    if (robotsRead) mAhead.rulesChanged();
    if (!take) mRecorder.forget(url);
    return take;
}

FetchAhead::Rules CrawlRunner::aheadRules(bool allowFile) {
    FetchAhead::Rules rules;
    rules.take = [this](const QString& url, bool page) {
        return mRules.wouldTake(url) &&
               (page || !gCrawlOptions.skipKnown || !mRecorder.knownPicture(url));
    };
    rules.admitsPicture = [this](const QString& url) { return mRules.wouldAdmitPicture(url); };
    if (mRules.fetchesOnce()) rules.onceKey = UrlKey;
    rules.digest = [this](bool page) { return mRecorder.wantsDigest(page); };
    rules.allowFile = allowFile;
    rules.tellsPictures = !gCrawlOptions.parseHtml;  // the designed scan's guess would not fit
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

void CrawlRunner::work() {
    UrlQueue& links = mHost.lstLink();
    while (links.count() > 0) {
        mOpenPage.reset();  // the page before is through
        links.setSelectedIndex(0);
        const QString pageUrl = links.selectedText();
        if (mayTake(pageUrl, true)) {
            const QString path = download(pageUrl, true);
            if (mEnd.storageFault) return;  // stops like a cancel: the page stays first
            if (gCrawlOptions.parseHtml && KindOfUrl(path) == UrlKind::Picture) {
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

void CrawlRunner::finish() {
    if (mRules.fetchesOnce() && outcome() != QStringLiteral("completed")) keepForResume();
    mAhead.dropAll();  // nothing goes on while the closing message is shown
    closeRecord(outcome());
    if (mEnd.storageFault) ShowStorageFault(mEnd.storageFault);
    mHost.setCrawlControls(false);
    mHost.setCaption(kProgramTitle);
    mHost.showRestingIcon();
    if (mEnd.startFailure) {
        ShowStartFailure(mStartUrl, *mEnd.startFailure);
    } else if (gCancelRequested == 0 && !mEnd.storageFault) {
        ws().MsgBox(QStringLiteral("巡回が完了しました。"), QStringLiteral("巡回の完了"),
                    kInformationStyle);
    } else {
        ws().MsgBox(QStringLiteral("巡回を中止しました。"), QStringLiteral("巡回の中止"),
                    kInformationStyle);
    }
    gCancelRequested = 0;
}

}  // namespace

bool IsFileUrl(const QString& url) {
    return url.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive);
}

CrawlEnd RunCrawl(CrawlHost& host, Transfers& transfers, const QStringList& followingLinks,
                  const QString& resumeFile) {
    try {
        if (!CheckInputs(host)) return {};
        const QString folder = host.downloadText();
        const int n = ChooseRunFolder(folder);
        if (n < 0) {
            ws().MsgBox(
                QStringLiteral("ダウンロード先のフォルダ「SR0000」～「SR9999」は"
                               "すべて使われています。別のダウンロード先を指定してください。"),
                QStringLiteral("パスエラー"), kWarningStyle);
            host.focusDownloadBox();
            return {};
        }
        if (!ConfirmStart(folder, n) || ws().Ending()) return {};
        if (CreateRunFolder(folder, n) != 0) {
            ws().MsgBox(QStringLiteral("フォルダ「") + gRunFolder +
                            QStringLiteral("」を作成できませんでした。"),
                        QStringLiteral("フォルダ作成エラー"), kWarningStyle);
            return {};
        }
        gImageCount = 0;
        host.lstLink().clear();
        host.lstImage().clear();
        host.setCaption(kCrawlingCaption);
        host.setCrawlControls(true);
        const QString startUrl = host.urlText();
        CrawlRunner runner(host, transfers, startUrl, resumeFile);  // builds the scan patterns
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
