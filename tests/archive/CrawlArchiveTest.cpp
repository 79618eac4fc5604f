// The crawl archive beside the run folders: what it records of every fetch, the SkipKnown rule
// that reads it, and a crawl that goes on when the archive is locked or cannot be opened.
#include <QThread>
#include <thread>

#include "../crawl/support/CrawlFixture.h"
#include "archive/AheadFetches.h"
#include "archive/ArchiveSchema.h"
#include "archive/CrawlArchive.h"
#include "archive/EndedAside.h"
#include "archive/RunLookAlikes.h"
#include "core/CrawlOptions.h"
#include "crawl/CrawlRecorder.h"

namespace {

class ArchiveTest : public CrawlFixture {
protected:
    void SetUp() override {
        CrawlFixture::SetUp();
        host.openArchive = [this](const QString& folder, bool record) {
            return std::make_unique<CrawlArchive>(
                folder, record, [this](const QString& message) { warnings << message; }, patience);
        };
    }
    QString archivePath() const { return CrawlArchive::PathIn(downloads.path()); }
    // One column of the attempts, in the order they were made.
    QStringList column(const char* sql) {
        SqliteDb db;
        EXPECT_TRUE(db.open(archivePath(), false, 100));
        SqliteDb::Statement s = db.prepare(sql);
        QStringList values;
        while (s.next()) values << s.text(0);
        return values;
    }
    void gallery() {
        site.page("/index.html",
                  "<img src=\"a.jpg\"> <img src=\"b.png\"> <img src=\"copy/a.jpg\">\n"
                  "<img src=\"tiny.gif\"> <a href=\"missing.html\">x</a>");
        site.page("/a.jpg", Bytes(3000, 'a'), "image/jpeg");
        site.page("/b.png", Bytes(3000, 'b'), "image/png");
        site.page("/copy/a.jpg", Bytes(3000, 'a'), "image/jpeg");  // the same bytes again
        site.page("/tiny.gif", Bytes(10, 't'), "image/gif");
    }

    QStringList warnings;
    qint64 patience = CrawlArchive::kEndPatienceMs;
};

}  // namespace

TEST_F(ArchiveTest, RecordsEveryFetchAndSkipKnownStoresEachPictureOnce) {
    gallery();
    gPictAutoDelete = "0";
    gPictAutoDeleteSize = 1;
    gCrawlOptions.skipKnown = true;
    crawl(site.url("/index.html"));
    // the copy is deleted right after its download and its number stays used
    EXPECT_EQ(stored(), QStringList({"000001.html", "000002.jpg", "000003.png"}));
    EXPECT_EQ(gFileCounter, 6);
    EXPECT_EQ(gImageCount, 2);
    EXPECT_EQ(Entries(downloads.path()).filter("SR"), QStringList({"SR0000"}));
    EXPECT_EQ(column("SELECT outcome FROM attempts ORDER BY id"),
              QStringList({"kept", "kept", "kept", "deleted-known", "deleted-small", "failed"}));
    EXPECT_EQ(column("SELECT http_status FROM attempts WHERE outcome = 'failed'"),
              QStringList({"404"}));
    EXPECT_EQ(column("SELECT found_on FROM attempts WHERE number = 4"),
              QStringList({site.url("/index.html")}));

    const auto origin = LookUpOrigin(gRunFolder + "/000002.jpg");
    ASSERT_TRUE(origin.has_value());
    EXPECT_EQ(origin->url, site.url("/a.jpg"));
    EXPECT_EQ(OriginTooltip(*origin),
              "取得元: " + site.url("/a.jpg") + "\n掲載ページ: " + site.url("/index.html"));
    EXPECT_EQ(origin->sha256.size(), 64);

    // A second crawl into the same download folder fetches none of the kept pictures again.
    crawl(site.url("/index.html"));
    EXPECT_EQ(stored(), QStringList({"000007.html"}));
    EXPECT_EQ(site.count("/a.jpg"), 1);
    EXPECT_EQ(site.count("/b.png"), 1);
    EXPECT_EQ(site.count("/copy/a.jpg"), 2);  // a new URL: fetched, then known by its bytes
    EXPECT_EQ(column("SELECT outcome FROM runs ORDER BY id"),
              QStringList({"completed", "completed"}));
    EXPECT_EQ(column("SELECT folder FROM runs ORDER BY id"), QStringList({"SR0000", "SR0001"}));
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
}

TEST_F(ArchiveTest, PicturesWhoseFilesAreGoneOrChangedAreKnownNoMore) {
    gallery();
    gCrawlOptions.skipKnown = true;
    crawl(site.url("/index.html"));
    ASSERT_TRUE(QDir(runFolder("SR0000")).removeRecursively());
    crawl(site.url("/index.html"));
    EXPECT_EQ(site.count("/a.jpg"), 2);
    EXPECT_EQ(stored(), QStringList({"000007.html", "000008.jpg", "000009.png", "000011.gif"}));

    QFile changed(gRunFolder + "/000009.png");
    ASSERT_TRUE(changed.open(QIODevice::Append));
    changed.write("more");
    changed.close();
    const auto origin = LookUpOrigin(changed.fileName());
    ASSERT_TRUE(origin.has_value());
    EXPECT_TRUE(origin->changed);
    EXPECT_TRUE(OriginReport(changed.fileName(), *origin).contains("no longer"));
    EXPECT_TRUE(OriginTooltip(*origin).contains("記録"));
    EXPECT_FALSE(LookUpOrigin(gRunFolder + "/000008.jpg")->changed);
    crawl(site.url("/index.html"));
    EXPECT_EQ(site.count("/b.png"), 3);
    EXPECT_EQ(site.count("/a.jpg"), 2);
}

TEST_F(ArchiveTest, OffByDefaultRulesLeaveTheRunFolderAsDesigned) {
    gallery();
    gCrawlOptions.archive = false;
    crawl(site.url("/index.html"));
    const QStringList designed = stored();
    EXPECT_FALSE(QFile::exists(archivePath()));

    gCrawlOptions.archive = true;
    crawl(site.url("/index.html"));
    EXPECT_EQ(stored().size(), designed.size());
    EXPECT_EQ(Entries(downloads.path()),
              QStringList({"SR0000", "SR0001", "siterambler-archive.sqlite"}));
    EXPECT_TRUE(Entries(gRunFolder).filter("sqlite").isEmpty());
}

TEST_F(ArchiveTest, LockedOrUnopenableArchiveIsAWarningNotAStoppedCrawl) {
    gallery();
    { CrawlArchive create(downloads.path(), true, {}); }
    SqliteDb other;
    ASSERT_TRUE(other.open(archivePath(), true, 0));
    ASSERT_TRUE(other.exec("BEGIN EXCLUSIVE"));
    patience = 300;
    crawl(site.url("/index.html"));
    EXPECT_EQ(lastBox().text,
              "巡回が完了しました。\r\r取得できなかったファイル：1 件\r　・見つかりません（HTTP "
              "404）：1 件");
    EXPECT_EQ(stored().size(), 5u);
    ASSERT_EQ(warnings.size(), 2);  // once, not at every row; then what was lost
    EXPECT_TRUE(warnings.front().contains("locked")) << warnings.front().toStdString();
    EXPECT_TRUE(warnings.back().endsWith("7 rows of this run are lost"))
        << warnings.back().toStdString();
    ASSERT_TRUE(other.exec("COMMIT"));
    other.close();

    // a folder where the file should be: cannot be opened at all
    warnings.clear();
    ASSERT_TRUE(QFile::remove(archivePath()));
    QFile::remove(archivePath() + "-wal");
    QFile::remove(archivePath() + "-shm");
    ASSERT_TRUE(QDir(downloads.path()).mkdir(CrawlArchive::FileName()));
    gCrawlOptions.skipKnown = true;
    crawl(site.url("/index.html"));
    EXPECT_EQ(lastBox().text,
              "巡回が完了しました。\r\r取得できなかったファイル：1 件\r　・見つかりません（HTTP "
              "404）：1 件");
    EXPECT_EQ(stored().size(), 4u);  // the copy of a.jpg is still known within the run
    EXPECT_EQ(warnings.size(), 1);
}

TEST_F(ArchiveTest, SkipKnownWithoutRecordingReadsTheArchiveAndLeavesItAsItWas) {
    gallery();
    crawl(site.url("/index.html"));
    gCrawlOptions.archive = false;
    gCrawlOptions.skipKnown = true;
    crawl(site.url("/index.html"));
    EXPECT_EQ(site.count("/a.jpg"), 1);
    EXPECT_EQ(site.count("/tiny.gif"), 1);
    EXPECT_EQ(stored(), QStringList({"000007.html"}));
    EXPECT_EQ(column("SELECT count(*) FROM runs"), QStringList({"1"}));
    EXPECT_EQ(Entries(downloads.path()),
              QStringList({"SR0000", "SR0001", "siterambler-archive.sqlite"}));
}

// Rows of a fast crawl wait for their batch, but never longer than kCommitMs of ticks: a kill
// then loses only the last moments, and the end of the run writes whatever waits.
TEST_F(ArchiveTest, RowsRecordedInQuickSuccessionAreCommittedByTheNextDueTick) {
    const auto rows = [this] { return column("SELECT count(*) FROM attempts").value(0).toInt(); };
    CrawlArchive archive(downloads.path(), true, {});
    archive.beginRun({"SR0000", "http://127.0.0.1/", ""});
    CrawlAttempt attempt;
    attempt.url = attempt.urlKey = "http://127.0.0.1/a.jpg";
    archive.record(attempt);  // the first row goes at once
    archive.settle();
    EXPECT_EQ(rows(), 1);
    archive.record(attempt);
    archive.record(attempt);
    archive.tick();
    archive.settle();
    EXPECT_EQ(rows(), 1);  // held back: the last commit was a moment ago
    QThread::msleep(CrawlArchive::kCommitMs + 50);
    archive.tick();
    archive.settle();
    EXPECT_EQ(rows(), 3);
    archive.record(attempt);
    archive.endRun("completed");
    archive.settle();
    EXPECT_EQ(rows(), 4);
    EXPECT_EQ(column("SELECT outcome FROM runs"), QStringList{"completed"});
    // the window's journal passes every question on: a crawl resumed there remembers
    auto again = EndedAside(std::make_unique<CrawlArchive>(downloads.path(), true, nullptr));
    const EarlierRun earlier =
        again->earlierRun("http://127.0.0.1/", downloads.filePath("SR0000/queue.srs"));
    EXPECT_EQ(earlier.folder, "SR0000");
    EXPECT_TRUE(earlier.keys.contains("http://127.0.0.1/a.jpg"));
}

// The archive's file is written on a thread of its own; what goes wrong there is told on the
// crawl's thread, where a window may show it, and the last rows still reach the file at the end.
TEST_F(ArchiveTest, FailuresAreToldOnTheCrawlsThreadAndTheLastRowsStillArrive) {
    { CrawlArchive create(downloads.path(), true, {}); }
    SqliteDb other;
    ASSERT_TRUE(other.open(archivePath(), true, 0));
    ASSERT_TRUE(other.exec("BEGIN EXCLUSIVE"));
    QThread* toldOn = nullptr;
    int told = 0;
    {
        CrawlArchive archive(downloads.path(), true, [&](const QString&) {
            toldOn = QThread::currentThread();
            ++told;
        });
        archive.beginRun({"SR0000", "http://127.0.0.1/", ""});
        CrawlAttempt attempt;
        attempt.url = attempt.urlKey = "http://127.0.0.1/a.jpg";
        archive.record(attempt);
        archive.settle();  // the lock kept the file from being prepared: a warning waits
        EXPECT_EQ(told, 1);
        EXPECT_EQ(toldOn, QThread::currentThread());
        ASSERT_TRUE(other.exec("COMMIT"));
        other.close();
        archive.endRun("completed");
    }
    EXPECT_EQ(told, 1);  // once per run
    EXPECT_EQ(column("SELECT count(*) FROM attempts"), QStringList{"1"});
    EXPECT_EQ(column("SELECT outcome FROM runs"), QStringList{"completed"});
    EXPECT_FALSE(QFile::exists(archivePath() + "-wal"));  // closed, not left for the next run
}

// A lock held by another program for a while: the rows wait for it past the run's end. The
// viewer's look-up only reads, even a file a crash left with its log. A link in the archive's
// place is not followed, and a known picture that could not be deleted is not recorded as gone.
TEST_F(ArchiveTest, LocksLinksAndLookUpsNeverCostRowsFilesOrWrites) {
    gallery();
    { CrawlArchive create(downloads.path(), true, {}); }
    SqliteDb other;
    ASSERT_TRUE(other.open(archivePath(), true, 0));
    ASSERT_TRUE(other.exec("BEGIN IMMEDIATE"));
    std::thread release([&other] {
        QThread::msleep(1500);
        other.exec("COMMIT");
    });
    crawl(site.url("/index.html"));
    release.join();
    EXPECT_EQ(column("SELECT outcome FROM runs"), QStringList{"completed"});
    EXPECT_EQ(column("SELECT count(*) FROM attempts"), QStringList{"6"});
    EXPECT_EQ(warnings.size(), 1) << warnings.join('\n').toStdString();

    QTemporaryDir crashed;  // the files as a kill leaves them, log included
    for (const char* end : {"", "-wal", "-shm"})
        ASSERT_TRUE(
            QFile::copy(archivePath() + end, crashed.filePath(CrawlArchive::FileName()) + end));
    const auto origin = LookUpOrigin(crashed.filePath("SR0000/000002.jpg"));
    ASSERT_TRUE(origin.has_value());
    EXPECT_EQ(origin->url, site.url("/a.jpg"));
    EXPECT_TRUE(QFile::exists(crashed.filePath(CrawlArchive::FileName()) + "-wal"));
    other.close();

    QTemporaryDir elsewhere;
    for (const char* end : {"", "-wal", "-shm"}) QFile::remove(archivePath() + end);
    ASSERT_TRUE(QFile::link(elsewhere.filePath("placed.sqlite"), archivePath()));
    warnings.clear();
    crawl(site.url("/index.html"));
    EXPECT_FALSE(QFile::exists(elsewhere.filePath("placed.sqlite")));
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings.front().contains("symbolic link")) << warnings.front().toStdString();

    gCrawlOptions.skipKnown = true;
    CrawlRecorder recorder(nullptr, gCrawlOptions);
    CrawlAttempt first;
    first.sha256 = "same bytes";
    first.outcome = AttemptOutcome::Kept;
    EXPECT_FALSE(recorder.dropIfKnown(first, elsewhere.filePath("first.jpg")));
    CrawlAttempt again = first;
    ASSERT_TRUE(QDir(elsewhere.path()).mkpath("busy/inside"));  // cannot be unlinked
    int error = 0;
    EXPECT_FALSE(recorder.dropIfKnown(again, elsewhere.filePath("busy"), &error));
    EXPECT_EQ(again.outcome, AttemptOutcome::Kept);
    EXPECT_NE(error, 0);
}

// An archive an earlier version numbered 1, lacking some of the later columns and tables, opens
// with its rows and reaches the latest schema; one a newer program wrote is only read.
TEST_F(ArchiveTest, OlderArchivesAreBroughtUpToDateNewerOnesAreOnlyRead) {
    gallery();
    gCrawlOptions.skipKnown = true;
    crawl(site.url("/index.html"));
    const char* const shape =  // every column of every table, and the indexes
        "SELECT m.name || ifnull(' ' || p.name || ' ' || p.type || ' ' || p.\"notnull\" || ' ' || "
        "ifnull(p.dflt_value, ''), '') FROM sqlite_schema m LEFT JOIN pragma_table_info(m.name) p "
        "ORDER BY 1";
    const QStringList latest = column(shape);
    const auto plant = [this](const QByteArray& sql) {
        SqliteDb db;
        return db.open(archivePath(), true, 100) && db.exec(sql.constData());
    };
    ASSERT_TRUE(
        plant("ALTER TABLE attempts DROP COLUMN pixels; ALTER TABLE attempts DROP COLUMN "
              "resends; ALTER TABLE runs DROP COLUMN resumes; DROP TABLE ahead; DROP "
              "INDEX attempts_by_file; PRAGMA user_version = 1"));
    crawl(site.url("/index.html"));
    EXPECT_EQ(site.count("/a.jpg"), 1);  // known by the row it kept
    EXPECT_EQ(column(shape), latest);
    EXPECT_EQ(column("SELECT count(*) || ' ' || max(resends) FROM attempts WHERE run = 1"),
              QStringList{"6 0"});
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();

    ASSERT_TRUE(plant("PRAGMA journal_mode=DELETE; PRAGMA user_version = " +
                      QByteArray::number(kArchiveSchemaVersion + 1)));
    const auto bytes = [this] {
        QFile file(archivePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray before = bytes();
    crawl(site.url("/index.html"));
    GroupRunLookAlikes(runFolder("SR0000"), nullptr);  // would store the looks it worked out
    EXPECT_EQ(site.count("/a.jpg"), 1);
    EXPECT_TRUE(bytes() == before) << "the newer archive was written";
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings.front().contains("newer version")) << warnings.front().toStdString();
}

// Of programs opening an old archive at once, one brings it up to date, the others find it done.
TEST(ArchiveSchema, ProgramsOpeningAnOldArchiveAtOnceAllFindItReady) {
    for (int round = 0; round < 5; ++round) {
        QTemporaryDir dir;
        const QString file = dir.filePath("a.sqlite");
        SqliteDb old;
        ASSERT_TRUE(old.open(file, true, 100) &&
                    old.exec("CREATE TABLE runs(id INTEGER PRIMARY KEY); CREATE TABLE attempts(id "
                             "INTEGER PRIMARY KEY, run, file_name); PRAGMA user_version = 1"));
        std::atomic<int> ready{0};
        const auto open = [&] {
            SqliteDb db;
            ready += db.open(file, true, 5000) && UpdateArchiveSchema(db) == SchemaUpdate::Ready;
        };
        std::thread a(open), b(open), c(open);
        a.join(), b.join(), c.join();
        EXPECT_EQ(ready, 3);
        EXPECT_EQ(ArchiveSchemaVersion(old), kArchiveSchemaVersion);
    }
}

// The window lets its archive end aside: a lock that holds the last rows back does not hold the
// window, and the rows still arrive once it is gone.
TEST_F(ArchiveTest, AnArchiveEndedAsideNeverHoldsItsCaller) {
    { CrawlArchive create(downloads.path(), true, {}); }
    SqliteDb other;
    ASSERT_TRUE(other.open(archivePath(), true, 0));
    ASSERT_TRUE(other.exec("BEGIN IMMEDIATE"));
    QElapsedTimer held;
    {
        auto journal = EndedAside(std::make_unique<CrawlArchive>(downloads.path(), true, nullptr));
        journal->beginRun({"SR0000", "http://127.0.0.1/", ""});
        CrawlAttempt attempt;
        attempt.url = attempt.urlKey = "http://127.0.0.1/a.jpg";
        journal->record(attempt);
        journal->endRun("completed");
        held.start();
    }
    EXPECT_LT(held.elapsed(), 500);  // the lock is still there
    ASSERT_TRUE(other.exec("COMMIT"));
    WaitForArchivesEndingAside();
    EXPECT_EQ(column("SELECT count(*) FROM attempts"), QStringList{"1"});
    EXPECT_EQ(column("SELECT outcome FROM runs"), QStringList{"completed"});
}

// What stopped runs fetched ahead is taken once, and the oldest go when they hold too much.
TEST(AheadFetches, AreTakenOnceAndTheOldestGoWhenTheyHoldTooMuch) {
    QTemporaryDir dir;
    { CrawlArchive create(dir.path(), true, {}); }
    SqliteDb db;
    ASSERT_TRUE(db.open(CrawlArchive::PathIn(dir.path()), true, 100));
    FetchResult ok;
    ok.outcome = FetchOutcome::Ok;
    ok.httpStatus = 200;
    ok.contentType = "image/png";
    for (const char* key : {"k0", "k1", "k2"})
        ASSERT_TRUE(InsertAheadFetch(db, 1, {key, ok, {}}, QByteArray(1000, key[1])));
    PruneAheadFetches(db, 2500);
    QHash<QString, std::int64_t> kept;
    ReadAheadFetches(db, 1, &kept);
    EXPECT_EQ(QSet<QString>(kept.keyBegin(), kept.keyEnd()), QSet<QString>({"k1", "k2"}));
    const std::optional<KeptFetch> taken = TakeAheadFetch(db, kept.value("k2"), true);
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->body, QByteArray(1000, '2'));
    EXPECT_EQ(taken->result.contentType, "image/png");
    EXPECT_EQ(taken->result.outcome, FetchOutcome::Ok);
    EXPECT_FALSE(TakeAheadFetch(db, kept.value("k2"), true));
}
