#pragma once
// The crawl archive of one download folder: siterambler-archive.sqlite beside the SRnnnn
// folders, a row per run and a row per fetch. Written in WAL mode, in short transactions: the
// rows of a fast crawl are committed together a few times a second (a commit per row would cost
// more than storing the file), so a crash or a kill loses at most the rows of the last
// kCommitMs and never damages the file.
// Every failure (locked, read-only, full disk) is one warning; the crawl goes on without it.

#include <QElapsedTimer>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "archive/SqliteDb.h"
#include "crawl/CrawlJournal.h"

class CrawlArchive final : public CrawlJournal {
public:
    using Warn = std::function<void(const QString& message)>;

    // record false: opened read-only, and only when the file exists (SkipKnown still asks it).
    CrawlArchive(const QString& downloadFolder, bool record, Warn warn);

    // Longest time a recorded row waits for its commit while the crawl goes on.
    static constexpr qint64 kCommitMs = 200;

    static QString FileName() { return QStringLiteral("siterambler-archive.sqlite"); }
    static QString PathIn(const QString& downloadFolder);

    bool isOpen() const { return mDb.isOpen(); }

    void beginRun(const CrawlRunInfo& run) override;
    void record(const CrawlAttempt& attempt) override;
    void tick() override;
    void endRun(const QString& how) override;
    bool knownPictureUrl(const QString& urlKey) override;
    bool knownPictureHash(const QByteArray& sha256) override;

private:
    bool createSchema();
    bool insertRun();
    bool insertAttempt(const CrawlAttempt& a);
    bool flush();
    void fail(const char* what);

    SqliteDb mDb;
    bool mRecord;
    Warn mWarn;
    bool mWarned = false;
    std::optional<CrawlRunInfo> mRun;
    QString mStarted;
    std::int64_t mRunId = -1;
    // Rows not yet written: while the archive is locked they wait here, and the next try
    // comes only after a pause, so a lock held elsewhere does not slow the crawl down.
    std::vector<CrawlAttempt> mPending;
    QElapsedTimer mSinceFailure;
    QElapsedTimer mSinceCommit;   // invalid: nothing committed yet, the next row goes at once
    SqliteDb::Statement mInsert;  // compiled once per run
};

// What the archive of its download folder knows of a stored file.
struct StoredFileOrigin {
    QString runFolder;
    QString startUrl;
    QString runStarted;
    std::int64_t number = 0;
    QString url;
    QString foundOn;
    QString kind;  // "page" or "picture"
    std::int64_t httpStatus = 0;
    std::int64_t bytes = 0;
    QString sha256;  // hex
    QString outcome;
    QString why;
};

// file is a stored file SRnnnn/nnnnnn.ext under a download folder; nothing when its archive
// is missing or does not know it.
std::optional<StoredFileOrigin> LookUpOrigin(const QString& file);

// Lines "key: value" for the command line.
QString OriginReport(const QString& file, const StoredFileOrigin& origin);
// The picture's tooltip: where it came from and the page it was found on.
QString OriginTooltip(const StoredFileOrigin& origin);
