#pragma once
// What the crawl tells a record of its runs, and what it asks of it. The crawl sees only this
// interface; the download folder's archive implements it, so the crawl needs no database.

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "crawl/Fetcher.h"
#include "look/PictureLook.h"

enum class AttemptOutcome { Kept, DeletedSmall, DeletedPage, DeletedKnown, DeletedSimilar, Failed };

// "kept", "deleted-small", "deleted-page", "deleted-known", "deleted-similar", "failed".
QString AttemptOutcomeName(AttemptOutcome outcome);

// One fetch that used up a sequence number.
struct CrawlAttempt {
    std::int32_t number = 0;
    QString fileName;  // empty when nothing was stored
    QString url;       // as the queue showed it
    QString urlKey;    // the comparison key of the URL
    QString foundOn;   // the page the reference was found on; empty for the start and resumed
    bool page = false;
    long httpStatus = 0;
    std::int64_t bytes = 0;
    QByteArray sha256;  // raw digest; empty when nothing was stored
    AttemptOutcome outcome = AttemptOutcome::Failed;
    QString why;      // for a failure
    int retries = 0;  // tries again before the answer
    int resends = 0;  // sent again before, as the connection failed before an answer
    std::int64_t waitedMs = 0;
    // A picture's look, when the crawl worked it out (SkipSimilar); the record works out that
    // of a kept picture without it.
    std::optional<PictureLook> look;
    QString resembles;  // deleted-similar: the kept picture it looks like, "SR0002/000014.jpg"
};

// A picture an earlier run kept, as the record knows it.
struct KeptLook {
    QString picture;  // "SR0002/000014.jpg"
    PictureLook look;
};

struct CrawlRunInfo {
    QString runFolder;  // the folder's name, "SR0003"
    QString startUrl;
    QString settings;  // the settings in force, as "Key=value" pairs
    QString resumes;   // the folder of the run whose saved queue this one resumes, or empty
};

// What the runs before a resumed one fetched: the run that saved its queue and the runs that
// one resumed in turn.
struct EarlierRun {
    QString folder;                 // of the run that saved the queue; empty when none is known
    QSet<QString> keys;             // URL keys of every fetch
    QHash<QString, QString> pages;  // page URL key -> its stored copy, "SR0003/000012.html"
    QHash<QString, std::int64_t> ahead;  // URL key -> a fetch made ahead and kept, for keptAhead
};

// A fetch a stopped run made ahead of its entry and never got to: its answer, and its body read
// where the record writes it (nothing when it could not be read).
struct AheadFetch {
    QString urlKey;
    FetchResult result;
    std::function<std::optional<QByteArray>()> body;
};

// Such a fetch as kept.
struct KeptFetch {
    FetchResult result;
    QByteArray body;
};

// Every call is pure: a journal that wraps another (the window's, ended aside) must pass each on.
class CrawlJournal {
public:
    virtual ~CrawlJournal() = default;

    virtual void beginRun(const CrawlRunInfo& run) = 0;
    virtual void record(const CrawlAttempt& attempt) = 0;
    // Called often while the run waits or scans: rows held back are written when due.
    virtual void tick() = 0;
    // how: "completed", "cancelled", "stopped by limit", "start page failed", "storage failure"
    // or "ended" (the program ended during the crawl).
    virtual void endRun(const QString& how) = 0;

    // A picture kept by an earlier run into this download folder, by URL key and by content.
    virtual bool knownPictureUrl(const QString& urlKey) = 0;
    virtual bool knownPictureHash(const QByteArray& sha256) = 0;
    // For a crawl that resumes queueFile, whose first page is firstPage (the page its run stopped
    // on): the earlier run that saved it, found by the run folder the file lies in or is named
    // after (siterambler-queue-SR0003.srs), else the latest run that did not complete and
    // fetched firstPage.
    virtual EarlierRun earlierRun(const QString& firstPage, const QString& queueFile) = 0;
    // NoRevisit: a fetch made ahead that this run stopped before, kept for the run that resumes
    // its queue; and such a fetch of an earlier run (EarlierRun::ahead), once.
    virtual void keepAhead(AheadFetch fetch) = 0;
    virtual std::optional<KeptFetch> keptAhead(std::int64_t id) = 0;
    // SkipSimilar: the looks of the pictures earlier runs into this download folder kept; those
    // it lacks are worked out meanwhile, calling turn every few milliseconds: false stops that.
    virtual std::vector<KeptLook> keptLooks(const std::function<bool()>& turn) = 0;
};
