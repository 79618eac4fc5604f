#pragma once
// What the crawl tells its journal about every fetch (number, file, URL, the page it was found
// on, status, size, SHA-256 and outcome), and the SkipKnown rule that needs that memory:
// pictures kept before are neither fetched again by URL nor kept again by content.

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/CrawlOptions.h"
#include "core/SteadyHash.h"
#include "crawl/CrawlJournal.h"
#include "crawl/CrawlRules.h"
#include "crawl/Download.h"
#include "crawl/Fetcher.h"
#include "look/LookAlikes.h"

class CrawlRecorder {
public:
    // journal may be null: nothing is recorded and only this run's pictures are known.
    CrawlRecorder(std::unique_ptr<CrawlJournal> journal, const CrawlOptions& options);

    // True when the scan should report where each reference was found.
    bool wantsOrigins() const { return mJournal != nullptr; }
    void noteFound(const QString& url, const QString& foundOn);
    // An entry passed over without a fetch.
    void forget(const QString& url) { mFoundOn.remove(url); }

    // resumes: the folder of the run whose queue this one resumes, or empty.
    void beginRun(const QString& runFolder, const QString& startUrl, const QString& resumes = {});
    EarlierRun earlierRun(const QString& firstPage, const QString& queueFile) {
        return mJournal ? mJournal->earlierRun(firstPage, queueFile) : EarlierRun{};
    }
    void endRun(const QString& how);
    // NoRevisit: a fetch the run made and stopped before it was through with, kept for the run
    // that resumes its queue (body is read off the caller's thread); and one kept by an earlier
    // run. Bodies of up to kKeptMost are kept: a larger one is asked for again.
    static constexpr std::int64_t kKeptMost = 16 << 20;
    void keepAhead(const QString& url, const FetchResult& result,
                   std::function<std::optional<QByteArray>()> body) {
        if (mJournal) mJournal->keepAhead({UrlKey(url), result, std::move(body)});
    }
    std::optional<KeptFetch> keptAhead(std::int64_t id) {
        return mJournal ? mJournal->keptAhead(id) : std::nullopt;
    }

    // SkipKnown: true when an earlier run into this download folder kept this picture URL.
    bool knownPicture(const QString& url);

    // Whether examine() needs the size and digest of what a download of this kind stores.
    bool wantsDigest(bool page) const {
        return mJournal || ((mOptions.skipKnown || mOptions.skipSimilar) && !page);
    }
    // Right after a download, while the stored file is there. currentPage stands in for the
    // page a picture was found on when the scan did not say. stored: the size and digest
    // worked out while the file was written; without it the file is read back.
    CrawlAttempt examine(const QString& url, bool page, const QString& path,
                         const FetchResult& result, const QString& currentPage,
                         const StoredBody* stored = nullptr);
    // SkipKnown: deletes a kept picture whose bytes were kept before. True when deleted; a
    // picture that could not be deleted stays kept (removeError: its errno, else 0).
    bool dropIfKnown(CrawlAttempt& attempt, const QString& path, int* removeError = nullptr);
    // SkipSimilar: deletes a kept picture that looks like one kept before, in this run or an
    // earlier one, with at least as many pixels (a larger look-alike is kept). Its look is
    // worked out off the caller's thread, which yields through ws() meanwhile (it may throw
    // ProgramEnding); so are, at the first picture, those of the earlier runs' pictures that the
    // record lacks. As dropIfKnown otherwise.
    bool dropIfSimilar(CrawlAttempt& attempt, const QString& path, int* removeError = nullptr);
    void record(const CrawlAttempt& attempt);
    // Lets the record write what it holds back; cheap enough for every turn of a transfer.
    void tick() {
        if (mJournal) mJournal->tick();
    }

private:
    bool drop(CrawlAttempt& attempt, const QString& path, int* removeError, const QString& why);
    const KeptLook* lookAlike(const PictureLook& look);

    std::unique_ptr<CrawlJournal> mJournal;
    CrawlOptions mOptions;
    SteadyHash<QString, QString> mFoundOn;  // queued text -> the page it was found on
    QSet<QByteArray> mKeptHashes;           // pictures kept in this run
    // What earlier runs kept does not change while this one runs, and fetching ahead asks for
    // the same entries at every turn: each URL goes to the archive once.
    QHash<QString, bool> mKnownUrls;
    QString mRunFolder;  // "SR0003"
    // SkipSimilar: the looks of the pictures kept before, from the record at the first picture.
    bool mLooksRead = false;
    std::vector<KeptLook> mKeptLooks;
    LookIndex mLookIndex;  // of mKeptLooks, by their index
};

// The settings of a run as "Key=value" pairs, for its record.
QString CrawlSettingsText(const CrawlOptions& options);
