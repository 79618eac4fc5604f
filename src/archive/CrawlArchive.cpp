#include "archive/CrawlArchive.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <future>
#include <thread>
#include <utility>

#include "archive/AheadFetches.h"
#include "archive/ArchiveLooks.h"
#include "archive/ArchiveSchema.h"
#include "archive/EarlierRuns.h"
#include "archive/RowPaths.h"
#include "archive/TaskThread.h"
#include "crawl/RunStorage.h"

namespace {

constexpr int kBusyTimeoutMs = 100;  // a second writer waits this long, then is a warning
constexpr qint64 kRetryMs = 2000;    // after a failed write, the next try
constexpr size_t kMaxPending = 100000;
constexpr auto kEndRetry = std::chrono::milliseconds(100);         // while the run's end waits
constexpr std::int64_t kAheadMostBytes = std::int64_t{256} << 20;  // fetches kept for resumes

QString Now() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

}  // namespace

QString CrawlArchive::PathIn(const QString& downloadFolder) {
    return QDir(downloadFolder).filePath(FileName());
}

CrawlArchive::CrawlArchive(const QString& downloadFolder, bool record, Warn warn,
                           qint64 endPatienceMs)
    : mRecord(record), mWarn(std::move(warn)), mEndPatienceMs(endPatienceMs) {
    mThread = std::make_unique<TaskThread>([this] { return writeWhenDue(); });
    mThread->post([this, path = PathIn(downloadFolder)] { open(path); });
}

CrawlArchive::~CrawlArchive() {
    handOver();
    mThread->post([this] { close(); });
    mThread.reset();  // runs what was handed over, then ends
    tellWarnings();
}

// ---- the crawl's thread

void CrawlArchive::beginRun(const CrawlRunInfo& run) {
    mThread->post([this, run, started = Now()] {
        mRun = run;
        mStarted = started;
        if (mRecord && !mNewer && mDb.isOpen()) insertRun();
    });
}

void CrawlArchive::record(const CrawlAttempt& a) {
    if (!mRecord) return;
    mBatch.push_back(a);
    handOverWhenDue();
    tellWarnings();
}

void CrawlArchive::tick() {
    handOverWhenDue();
    tellWarnings();
}

// A slow crawl hands every row over at once; a fast one a batch every kCommitMs.
void CrawlArchive::handOverWhenDue() {
    if (!mBatch.empty() && (!mSinceHandOver.isValid() || mSinceHandOver.elapsed() >= kCommitMs))
        handOver();
}

void CrawlArchive::handOver() {
    mSinceHandOver.start();
    if (mBatch.empty()) return;
    mThread->post([this, rows = std::exchange(mBatch, {})]() mutable { take(std::move(rows)); });
}

void CrawlArchive::endRun(const QString& how) {
    handOver();
    mThread->post([this, how] {
        finishRun(how);
        close();
    });
    tellWarnings();
}

bool CrawlArchive::knownPictureUrl(const QString& urlKey) {
    const bool known = mThread->call([this, &urlKey] {
        SqliteDb::Statement s = mDb.prepare(
            "SELECT r.folder, a.file_name, a.bytes FROM attempts a JOIN runs r "
            "ON a.run = r.id WHERE a.url_key = ? AND a.kind = 'picture' AND a.outcome = 'kept' "
            "AND a.run <> ?");
        s.bind(1, urlKey).bind(2, mRunId);
        return anyStillThere(s);
    });
    tellWarnings();
    return known;
}

bool CrawlArchive::knownPictureHash(const QByteArray& sha256) {
    const bool known = mThread->call([this, hex = QString::fromLatin1(sha256.toHex())] {
        SqliteDb::Statement s = mDb.prepare(
            "SELECT r.folder, a.file_name, a.bytes FROM attempts a JOIN runs r "
            "ON a.run = r.id WHERE a.sha256 = ? AND a.kind = 'picture' AND a.outcome = 'kept'");
        s.bind(1, hex);
        return anyStillThere(s);
    });
    tellWarnings();
    return known;
}

// A picture the user deleted or replaced since is known no more: the rules must not drop the
// only copy for one that is gone.
bool CrawlArchive::anyStillThere(SqliteDb::Statement& files) const {
    while (files.next()) {
        const QString file = RunFilePath(files.text(0), files.text(1));
        if (!file.isEmpty() && StillThere(mFolder, file, files.number(2))) return true;
    }
    return false;
}

EarlierRun CrawlArchive::earlierRun(const QString& firstPage, const QString& queueFile) {
    // the run's own row is not there yet: it is asked for before the run begins
    EarlierRun earlier = mThread->call(
        [&] { return mDb.isOpen() ? FindEarlierRun(mDb, firstPage, queueFile) : EarlierRun{}; });
    tellWarnings();
    return earlier;
}

// Written at once, on its own: it comes only at the stop, after the run's last rows.
void CrawlArchive::keepAhead(AheadFetch fetch) {
    if (!mRecord) return;
    handOver();
    mThread->post([this, fetch = std::move(fetch)] {
        if (!mDb.isOpen() || !mRun || !flush()) return;
        const std::optional<QByteArray> body = fetch.body();
        if (body && !InsertAheadFetch(mDb, mRunId, fetch, *body)) fail("cannot be written");
        PruneAheadFetches(mDb, kAheadMostBytes);
    });
}

std::optional<KeptFetch> CrawlArchive::keptAhead(std::int64_t id) {
    std::optional<KeptFetch> kept = mThread->call([this, id] {
        return mDb.isOpen() ? TakeAheadFetch(mDb, id, mRecord && !mNewer) : std::nullopt;
    });
    tellWarnings();
    return kept;
}

std::vector<KeptLook> CrawlArchive::keptLooks(const std::function<bool()>& turn) {
    const auto earlier =
        mThread->call([this] { return std::make_shared<EarlierLooks>(mDb, mRunId); });
    tellWarnings();
    if (!earlier->lacksLooks()) return earlier->known();
    // The archive's thread leads the look workers: the crawl writes nothing while it waits for
    // them, and at a stop the looks worked out by then are stored there, after the pictures
    // still being decoded.
    auto worked = std::make_shared<std::promise<void>>();
    std::future<void> done = worked->get_future();
    mThread->post([this, earlier, worked] {
        earlier->workOut();
        worked->set_value();
        if (mRecord && prepare()) earlier->store(mDb);
    });
    while (done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        if (!turn()) {
            earlier->stop();
            return earlier->known();
        }
    }
    return earlier->all();
}

void CrawlArchive::settle() {
    handOverWhenDue();
    mThread->call([this] { writeWhenDue(); });
    tellWarnings();
}

// Warnings go to the crawl's thread: there the window may show them.
void CrawlArchive::tellWarnings() {
    if (!mHasWarnings.load(std::memory_order_acquire)) return;
    QStringList told;
    {
        const std::lock_guard lock(mWarningsLock);
        told = std::exchange(mWarnings, {});
        mHasWarnings.store(false, std::memory_order_relaxed);
    }
    if (mWarn)
        for (const QString& message : told) mWarn(message);
}

// ---- the archive's thread

void CrawlArchive::open(const QString& path) {
    // A link someone else placed would have the file made or written wherever it points.
    if (QFileInfo(path).isSymLink()) {
        if (mRecord) warnOnce(QStringLiteral("is a symbolic link, not followed"));
        return;
    }
    mFolder = QFileInfo(path).path();
    if (!mDb.open(path, mRecord, kBusyTimeoutMs)) {
        if (mRecord) fail("cannot be opened");
        return;
    }
    if (mRecord && !prepare()) fail("cannot be prepared");
}

// NORMAL is safe in WAL mode: a crash of the program loses nothing committed. Tried again
// before each write while a lock held elsewhere keeps it from being done. An archive of a newer
// program is left exactly as it is, its journal mode too: its look-ups still read it.
bool CrawlArchive::prepare() {
    if (mPrepared || mNewer) return mPrepared;
    SchemaUpdate update = SchemaUpdate::Failed;
    if (ArchiveSchemaVersion(mDb) > kArchiveSchemaVersion)
        update = SchemaUpdate::Newer;
    else if (mDb.exec("PRAGMA journal_mode=WAL") && mDb.exec("PRAGMA synchronous=NORMAL"))
        update = UpdateArchiveSchema(mDb);
    mPrepared = update == SchemaUpdate::Ready;
    if (update == SchemaUpdate::Newer) {
        mNewer = true;
        mWarned = true;
        warn(QStringLiteral("the crawl archive was written by a newer version of Site Rambler "
                            "(schema %1; this one knows %2): it is only read, and this crawl is "
                            "not recorded in it")
                 .arg(ArchiveSchemaVersion(mDb))
                 .arg(kArchiveSchemaVersion));
    }
    return mPrepared;
}

void CrawlArchive::fail(const char* what) {
    mSinceFailure.start();
    if (mWarned) return;  // once per run: the crawl goes on and tries again at the next row
    warnOnce(QString::fromLatin1(what) + QStringLiteral(" (") + mDb.error() + u')');
}

void CrawlArchive::warnOnce(const QString& what) {
    mWarned = true;
    warn(QStringLiteral("the crawl archive %1; the crawl goes on without it").arg(what));
}

void CrawlArchive::warn(const QString& message) {
    const std::lock_guard lock(mWarningsLock);
    mWarnings << message;
    mHasWarnings.store(true, std::memory_order_release);
}

bool CrawlArchive::insertRun() {
    SqliteDb::Statement s = mDb.prepare(
        "INSERT INTO runs(folder, start_url, settings, started, resumes) "
        "VALUES(?, ?, ?, ?, ?)");
    s.bind(1, mRun->runFolder).bind(2, mRun->startUrl).bind(3, mRun->settings).bind(4, mStarted);
    s.bind(5, mRun->resumes.isEmpty() ? QString() : mRun->resumes);
    if (!s.run()) {
        fail("cannot be written");
        return false;
    }
    SqliteDb::Statement id = mDb.prepare("SELECT last_insert_rowid()");
    mRunId = id.next() ? id.number(0) : -1;
    return mRunId >= 0;
}

void CrawlArchive::take(std::vector<CrawlAttempt> rows) {
    if (!mDb.isOpen() || !mRun || mNewer) return;
    for (CrawlAttempt& a : rows) {
        if (mPending.size() < kMaxPending)
            mPending.push_back(std::move(a));
        else
            ++mDropped;
    }
    writeWhenDue();
}

// Writes the waiting rows unless the last failure was a moment ago; the time until the next
// try while rows wait.
std::optional<std::chrono::milliseconds> CrawlArchive::writeWhenDue() {
    if (mPending.empty()) return std::nullopt;
    if (mSinceFailure.isValid() && mSinceFailure.elapsed() < kRetryMs)
        return std::chrono::milliseconds(kRetryMs - mSinceFailure.elapsed());
    if (flush()) return std::nullopt;
    return std::chrono::milliseconds(kRetryMs);
}

// Writes the waiting rows, in one transaction when there are several.
bool CrawlArchive::flush() {
    if (!prepare()) {
        fail("cannot be prepared");
        return false;
    }
    if (mRunId < 0 && !insertRun()) return false;  // a lock at the start may have passed
    if (mPending.empty()) return true;
    // The files the rows vouch for reach the disk before the rows do, so that after a power
    // cut the archive never holds the digest of a file that was lost: one flush per commit.
    const bool keeps = std::any_of(mPending.begin(), mPending.end(), [](const CrawlAttempt& a) {
        return a.outcome == AttemptOutcome::Kept && !a.fileName.isEmpty();
    });
    if (keeps) FlushFileSystemOf(QDir(mFolder).filePath(mRun->runFolder));
    const bool batch = mPending.size() > 1;
    if (batch && !mDb.exec("BEGIN IMMEDIATE")) {
        fail("cannot be written");
        return false;
    }
    for (const CrawlAttempt& a : mPending) {
        if (!insertAttempt(a)) {
            fail("cannot be written");
            if (batch) mDb.exec("ROLLBACK");
            return false;
        }
    }
    if (batch && !mDb.exec("COMMIT")) {
        fail("cannot be written");
        mDb.exec("ROLLBACK");
        return false;
    }
    mPending.clear();
    mSinceFailure.invalidate();
    return true;
}

bool CrawlArchive::insertAttempt(const CrawlAttempt& a) {
    if (!mInsert.valid()) {
        mInsert = mDb.prepare(
            "INSERT INTO attempts(run, number, file_name, url, url_key, found_on, kind, "
            "http_status, bytes, sha256, outcome, why, retries, waited_ms, look, pixels, "
            "resembles, resends) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    }
    SqliteDb::Statement& s = mInsert;
    s.bind(1, mRunId)
        .bind(2, std::int64_t(a.number))
        .bind(3, a.fileName.isEmpty() ? QString() : a.fileName)
        .bind(4, a.url)
        .bind(5, a.urlKey)
        .bind(6, a.foundOn.isEmpty() ? QString() : a.foundOn)
        .bind(7, a.page ? QStringLiteral("page") : QStringLiteral("picture"))
        .bind(8, std::int64_t(a.httpStatus))
        .bind(9, a.bytes)
        .bind(10, a.sha256.isEmpty() ? QString() : QString::fromLatin1(a.sha256.toHex()))
        .bind(11, AttemptOutcomeName(a.outcome))
        .bind(12, a.why.isEmpty() ? QString() : a.why)
        .bind(13, std::int64_t(a.retries))
        .bind(14, a.waitedMs)
        .bind(17, a.resembles.isEmpty() ? QString() : a.resembles)
        .bind(18, std::int64_t(a.resends));
    if (a.look)
        s.bind(15, StoredHash(a.look->hash)).bind(16, a.look->pixels);
    else
        s.bind(15, QString()).bind(16, QString());
    const bool written = s.run();
    s.reset();  // ready for the next row, whatever became of this one
    return written;
}

// A lock held elsewhere may pass soon after the run: its rows wait for it a while (the window
// does not wait: it ends the archive aside), then the loss is told once, with its size. Any
// other failure does not pass by waiting.
void CrawlArchive::finishRun(const QString& how) {
    if (!mRecord || mNewer || !mDb.isOpen() || !mRun) return;
    QElapsedTimer waited;
    waited.start();
    while (!(flush() && writeEnd(how))) {
        if (!mDb.locked() || waited.elapsed() >= mEndPatienceMs) {
            const std::size_t lost = mPending.size() + mDropped + (mRunId < 0 ? 1 : 0);
            warn(QStringLiteral("the crawl archive could not be written (%1); %2 rows of this "
                                "run are lost")
                     .arg(mDb.error())
                     .arg(lost));
            mPending.clear();
            return;
        }
        std::this_thread::sleep_for(kEndRetry);
    }
}

bool CrawlArchive::writeEnd(const QString& how) {
    SqliteDb::Statement s = mDb.prepare("UPDATE runs SET ended = ?, outcome = ? WHERE id = ?");
    s.bind(1, Now()).bind(2, how).bind(3, mRunId);
    if (s.run()) return true;
    fail("cannot be written");
    return false;
}

// Rows that could not be written by now stay unwritten; the file's last checkpoint is made here.
void CrawlArchive::close() {
    if (mDb.isOpen() && mRun && !mPending.empty()) flush();
    mPending.clear();
    mInsert = {};
    mDb.close();
}
