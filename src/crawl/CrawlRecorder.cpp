#include "crawl/CrawlRecorder.h"

#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <utility>

#include "core/Elsewhere.h"
#include "core/WindowSystem.h"
#include "core/basGlobal.h"
#include "crawl/CrawlRules.h"
#include "crawl/FileDigest.h"
#include "crawl/RunStorage.h"

QString AttemptOutcomeName(AttemptOutcome outcome) {
    switch (outcome) {
        case AttemptOutcome::Kept:
            return QStringLiteral("kept");
        case AttemptOutcome::DeletedSmall:
            return QStringLiteral("deleted-small");
        case AttemptOutcome::DeletedPage:
            return QStringLiteral("deleted-page");
        case AttemptOutcome::DeletedKnown:
            return QStringLiteral("deleted-known");
        case AttemptOutcome::DeletedSimilar:
            return QStringLiteral("deleted-similar");
        case AttemptOutcome::Failed:
            break;
    }
    return QStringLiteral("failed");
}

QString CrawlSettingsText(const CrawlOptions& o) {
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    const QString retries =
        o.retries > 0 ? QStringLiteral(" Retries=%1").arg(o.retries) : QString();
    return QStringLiteral(
               "Connections=%1 NoRevisit=%2 Scope=%3 SkipKnown=%4 DelayMs=%5 "
               "Robots=%6 HTMLAutoDelete=%7 PictAutoDelete=%8 PictAutoDeleteSize=%9")
               .arg(QString::number(o.connections), flag(o.noRevisit), ScopeName(o.scope),
                    flag(o.skipKnown), QString::number(o.delayMs), flag(o.robots), gHTMLAutoDelete,
                    gPictAutoDelete, QString::number(gPictAutoDeleteSize)) +
           retries + QStringLiteral(" SkipSimilar=") + flag(o.skipSimilar);
}

CrawlRecorder::CrawlRecorder(std::unique_ptr<CrawlJournal> journal, const CrawlOptions& options)
    : mJournal(std::move(journal)), mOptions(options) {}

void CrawlRecorder::noteFound(const QString& url, const QString& foundOn) {
    if (mJournal) mFoundOn.insert(url, foundOn);
}

void CrawlRecorder::beginRun(const QString& runFolder, const QString& startUrl,
                             const QString& resumes) {
    mRunFolder = QFileInfo(runFolder).fileName();
    if (mJournal)
        mJournal->beginRun(
            {QFileInfo(runFolder).fileName(), startUrl, CrawlSettingsText(mOptions), resumes});
}

void CrawlRecorder::endRun(const QString& how) {
    if (mJournal) mJournal->endRun(how);
}

bool CrawlRecorder::knownPicture(const QString& url) {
    if (!mOptions.skipKnown || !mJournal) return false;
    const QString key = UrlKey(url);
    auto known = mKnownUrls.constFind(key);
    if (known == mKnownUrls.cend()) known = mKnownUrls.insert(key, mJournal->knownPictureUrl(key));
    return *known;
}

CrawlAttempt CrawlRecorder::examine(const QString& url, bool page, const QString& path,
                                    const FetchResult& result, const QString& currentPage,
                                    const StoredBody* stored) {
    CrawlAttempt a;
    if (!wantsDigest(page)) return a;
    a.number = gFileCounter;
    a.url = url;
    a.urlKey = UrlKey(url);
    const QString* found = mFoundOn.find(url);
    a.foundOn = found ? *found : (page ? QString() : currentPage);
    mFoundOn.remove(url);
    a.page = page;
    a.httpStatus = result.httpStatus;
    a.retries = result.retries;
    a.resends = result.resends;
    a.waitedMs = result.waitedMs;
    if (path.isEmpty()) {
        a.why = result.error.isEmpty() ? QStringLiteral("not stored") : result.error;
        return a;
    }
    a.fileName = QFileInfo(path).fileName();
    a.bytes = stored ? stored->bytes : QFileInfo(path).size();
    a.sha256 = stored ? stored->sha256 : FileSha256(path);
    a.outcome = AttemptOutcome::Kept;
    return a;
}

bool CrawlRecorder::dropIfKnown(CrawlAttempt& a, const QString& path, int* removeError) {
    if (removeError) *removeError = 0;
    if (!mOptions.skipKnown || a.page || a.sha256.isEmpty()) return false;
    const bool known =
        mKeptHashes.contains(a.sha256) || (mJournal && mJournal->knownPictureHash(a.sha256));
    if (!known) {
        mKeptHashes.insert(a.sha256);
        return false;
    }
    if (!drop(a, path, removeError, QStringLiteral("known"))) return false;
    a.outcome = AttemptOutcome::DeletedKnown;
    return true;
}

bool CrawlRecorder::drop(CrawlAttempt& a, const QString& path, int* removeError,
                         const QString& why) {
    const int error = CurrentRunStorage().remove(path);
    if (error != 0 && error != ENOENT) {  // still on disk: kept, whatever the rule wanted
        if (removeError) *removeError = error;
        a.why = why + QStringLiteral(", but could not be deleted: ") +
                QString::fromLocal8Bit(std::strerror(error));
        return false;
    }
    return true;
}

bool CrawlRecorder::dropIfSimilar(CrawlAttempt& a, const QString& path, int* removeError) {
    if (removeError) *removeError = 0;
    if (!mOptions.skipSimilar || a.page || path.isEmpty()) return false;
    // A file no format reads has no look: no thread is started for it.
    if (!LookReadable(path)) return false;  // kept, like any other
    // Decoding a large picture takes a while: the window is serviced meanwhile.
    a.look = RunWhileServiced([path] { return LookOfPicture(path); });
    if (!a.look) return false;  // not a picture it can decode: kept, like any other
    const KeptLook* like = lookAlike(*a.look);
    if (!like) {
        mLookIndex.add(a.look->hash, int(mKeptLooks.size()));
        mKeptLooks.push_back({mRunFolder + u'/' + QFileInfo(path).fileName(), *a.look});
        return false;
    }
    if (!drop(a, path, removeError, QStringLiteral("looks like ") + like->picture)) return false;
    a.outcome = AttemptOutcome::DeletedSimilar;
    a.resembles = like->picture;
    return true;
}

// The nearest picture kept before that looks like look and is at least as large.
const KeptLook* CrawlRecorder::lookAlike(const PictureLook& look) {
    if (!std::exchange(mLooksRead, true) && mJournal) {
        // Earlier runs' pictures may have no look yet (a crawl without the rule works none out):
        // theirs are worked out now, while the window is serviced; a stop cuts that short.
        mKeptLooks =
            mJournal->keptLooks([] { return ws().YieldNoThrow() && gCancelRequested != -1; });
        for (std::size_t i = 0; i < mKeptLooks.size(); ++i)
            mLookIndex.add(mKeptLooks[i].look.hash, int(i));
    }
    for (const int i : mLookIndex.near(look.hash))
        if (mKeptLooks[i].look.pixels >= look.pixels) return &mKeptLooks[i];
    return nullptr;
}

void CrawlRecorder::record(const CrawlAttempt& attempt) {
    if (mJournal && !attempt.url.isEmpty()) mJournal->record(attempt);
}
