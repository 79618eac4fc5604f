#pragma once
// The crawl archive of one download folder: siterambler-archive.sqlite beside the SRnnnn
// folders, a row per run and a row per fetch. Written in WAL mode, in short transactions: the
// rows of a fast crawl are committed together a few times a second (a commit per row would cost
// more than storing the file), so a crash or a kill loses at most the rows of the last
// kCommitMs and never damages the file.
// The file is opened, written and closed on a thread of its own: the disk's flushes (creating the
// file, each checkpoint, the close) take from a millisecond to seconds on a slow stick, and the
// crawl, the window's own thread, never waits for them. Only the questions of SkipKnown wait.
// Every failure (locked, read-only, full disk, a symbolic link in its place) is one warning,
// told on the crawl's thread at its next call; the crawl goes on without it. Rows that a lock
// held elsewhere keeps out wait for it, up to kEndPatienceMs after the run's end; those still
// out then are told as lost, with their number.
// An archive a newer version of the program wrote is only read (SkipKnown, resumes): one
// warning says this crawl is not recorded in it.

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "archive/SqliteDb.h"
#include "archive/StoredFileOrigin.h"
#include "crawl/CrawlJournal.h"

class TaskThread;

class CrawlArchive final : public CrawlJournal {
public:
    using Warn = std::function<void(const QString& message)>;

    // Longest time the rows of a run wait after its end for a lock held elsewhere to pass.
    static constexpr qint64 kEndPatienceMs = 10000;

    // record false: opened read-only, and only when the file exists (SkipKnown still asks it).
    CrawlArchive(const QString& downloadFolder, bool record, Warn warn,
                 qint64 endPatienceMs = kEndPatienceMs);
    // Writes whatever waits and closes the file, and waits for both.
    ~CrawlArchive() override;
    CrawlArchive(const CrawlArchive&) = delete;
    CrawlArchive& operator=(const CrawlArchive&) = delete;

    // Longest time a recorded row waits for its commit while the crawl goes on.
    static constexpr qint64 kCommitMs = 200;

    static QString FileName() { return QStringLiteral("siterambler-archive.sqlite"); }
    static QString PathIn(const QString& downloadFolder);

    void beginRun(const CrawlRunInfo& run) override;
    void record(const CrawlAttempt& attempt) override;
    void tick() override;
    // Hands the last rows and the run's end over, and the close after them: done by the time
    // the crawl's closing message is read.
    void endRun(const QString& how) override;
    bool knownPictureUrl(const QString& urlKey) override;
    bool knownPictureHash(const QByteArray& sha256) override;
    EarlierRun earlierRun(const QString& firstPage, const QString& queueFile) override;
    std::vector<KeptLook> keptLooks(const std::function<bool()>& turn) override;
    void keepAhead(AheadFetch fetch) override;
    std::optional<KeptFetch> keptAhead(std::int64_t id) override;

    // Waits until what was handed over is written, as far as it is due.
    void settle();

private:
    // On the crawl's thread.
    void handOver();
    void handOverWhenDue();
    void tellWarnings();

    // On the archive's thread.
    void open(const QString& path);
    bool prepare();
    bool insertRun();
    bool insertAttempt(const CrawlAttempt& a);
    bool anyStillThere(SqliteDb::Statement& files) const;
    void take(std::vector<CrawlAttempt> rows);
    std::optional<std::chrono::milliseconds> writeWhenDue();
    bool flush();
    void finishRun(const QString& how);
    bool writeEnd(const QString& how);
    void close();
    void fail(const char* what);
    void warnOnce(const QString& what);
    void warn(const QString& message);

    const bool mRecord;
    Warn mWarn;
    const qint64 mEndPatienceMs;
    // Rows of the crawl's thread, handed over a batch at a time: a wake of the archive's thread
    // for every row would cost more than writing it.
    std::vector<CrawlAttempt> mBatch;
    QElapsedTimer mSinceHandOver;  // invalid: the next row goes at once

    // Warnings of the archive's thread, waiting to be told.
    std::mutex mWarningsLock;
    QStringList mWarnings;
    std::atomic<bool> mHasWarnings{false};

    // Touched only on the archive's thread.
    SqliteDb mDb;
    QString mFolder;         // the download folder
    bool mPrepared = false;  // WAL mode and the tables are there
    bool mNewer = false;     // a newer program's archive: never written
    bool mWarned = false;
    std::optional<CrawlRunInfo> mRun;
    QString mStarted;
    std::int64_t mRunId = -1;
    // Rows not yet written: while the archive is locked they wait here, and the next try
    // comes only after a pause, so a lock held elsewhere does not slow the crawl down.
    std::vector<CrawlAttempt> mPending;
    std::size_t mDropped = 0;  // rows beyond what may wait
    QElapsedTimer mSinceFailure;
    SqliteDb::Statement mInsert;  // compiled once per run

    std::unique_ptr<TaskThread> mThread;  // last: it ends before what it works on goes
};
