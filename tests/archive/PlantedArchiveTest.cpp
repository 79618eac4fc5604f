// An archive file someone else wrote, lying in a download folder: rows whose file names lead
// out of their run folder are not used as paths, a view in place of a table runs nothing, and
// no statement runs longer than its connection allows.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include "archive/ArchiveLooks.h"
#include "archive/CrawlArchive.h"
#include "archive/EarlierRuns.h"
#include "archive/SqliteDb.h"

namespace {

// An endless recursive query: it never ends by itself.
constexpr char kEndless[] =
    "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT count(*) FROM c";

class PlantedArchive : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir(dir.path()).mkpath("SR0000"));
        { CrawlArchive made(dir.path(), true, {}); }  // the program's own schema
        plant(
            "INSERT INTO runs(id, folder, start_url, settings, started) VALUES"
            "(1, 'SR0000', 'http://x/', '', '2026-01-01'), (2, '..', 'http://x/', '', "
            "'2026-01-02');"
            "INSERT INTO attempts(run, number, file_name, url, url_key, kind, outcome) VALUES"
            "(1, 1, '../../../etc/passwd', 'http://x/a.html', 'k1', 'page', 'kept'),"
            "(1, 2, '000002.jpg/../../../../etc/passwd', 'http://x/b.jpg', 'k2', 'picture', "
            "'kept'),"
            "(2, 3, '000003.jpg', 'http://x/c.jpg', 'k3', 'picture', 'kept'),"
            "(1, 4, '000004.html', 'http://x/d.html', 'k4', 'page', 'kept')");
    }
    QString archive() const { return CrawlArchive::PathIn(dir.path()); }
    void plant(const char* sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(archive()).constData(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        sqlite3_close(db);
    }

    QTemporaryDir dir;
};

TEST_F(PlantedArchive, FileNamesThatLeaveTheirRunFolderAreNeverJoinedToPaths) {
    SqliteDb db;
    ASSERT_TRUE(db.open(archive(), false, 100));
    const EarlierRun earlier =
        FindEarlierRun(db, "http://x/a.html", dir.filePath("SR0000/queue.srs"));
    EXPECT_EQ(earlier.folder, "SR0000");
    EXPECT_EQ(earlier.keys.size(), 3);  // what it fetched is still known
    EXPECT_EQ(earlier.pages.values(), QStringList({"SR0000/000004.html"}));

    const EarlierLooks looks(db, -1);
    EXPECT_FALSE(looks.lacksLooks());  // neither picture is looked for anywhere
    EXPECT_TRUE(looks.known().empty());
}

TEST_F(PlantedArchive, AnEndlessViewInPlaceOfATableHoldsNoLookUp) {
    plant(
        "ALTER TABLE attempts RENAME TO kept_attempts;"
        "CREATE VIEW attempts AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 "
        "FROM c) SELECT x AS id, 1 AS run, x AS number, 'x' AS file_name, 'u' AS url, "
        "'k' AS url_key, '' AS found_on, 'picture' AS kind, 0 AS http_status, 0 AS bytes, "
        "'' AS sha256, 'kept' AS outcome, '' AS why, NULL AS look, NULL AS pixels FROM c");
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(LookUpOrigin(dir.filePath("SR0000/000004.html")));  // a tooltip, --origin
    SqliteDb db;
    ASSERT_TRUE(db.open(archive(), false, 100));
    EXPECT_TRUE(
        FindEarlierRun(db, "http://x/a.html", dir.filePath("SR0000/queue.srs")).keys.isEmpty());
    EXPECT_TRUE(EarlierLooks(db, -1).known().empty());
    EXPECT_LT(clock.elapsed(), 500);
}

TEST_F(PlantedArchive, AStatementRunningPastItsLimitIsInterrupted) {
    SqliteDb db;
    ASSERT_TRUE(db.openReadOnly(archive()));
    db.limitStatements(std::chrono::milliseconds(100));
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(db.prepare(kEndless).next());
    EXPECT_FALSE(db.exec(kEndless));
    EXPECT_LT(clock.elapsed(), 500);
    SqliteDb::Statement runs = db.prepare("SELECT count(*) FROM runs");  // the next one runs
    ASSERT_TRUE(runs.next());
    EXPECT_EQ(runs.number(0), 2);
}

}  // namespace
