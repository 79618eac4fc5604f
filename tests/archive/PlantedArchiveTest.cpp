// An archive file someone else wrote: file names that leave their run folder are never made
// paths, a view in place of a table runs nothing, and no statement outlives its limit.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include "archive/ArchiveLooks.h"
#include "archive/CrawlArchive.h"
#include "archive/EarlierRuns.h"
#include "archive/StoredFileOrigin.h"

namespace {

class PlantedArchive : public ::testing::Test {
protected:
    void SetUp() override {
        { CrawlArchive made(dir.path(), true, {}); }  // the program's own schema
        plant(
            "INSERT INTO runs(id, folder, start_url, settings, started) VALUES"
            "(1, 'SR0000', 'u', '', 'x'), (2, '..', 'u', '', 'y');"
            "INSERT INTO attempts(run, number, file_name, url, url_key, kind, outcome) VALUES"
            "(1, 1, '../../../etc/passwd', 'u', 'k1', 'page', 'kept'),"
            "(1, 2, '000002.jpg/../../../x.jpg', 'u', 'k2', 'picture', 'kept'),"
            "(2, 3, '000003.jpg', 'u', 'k3', 'picture', 'kept'),"
            "(1, 4, '000004.html', 'u', 'k4', 'page', 'kept')");
        ASSERT_TRUE(db.open(CrawlArchive::PathIn(dir.path()), false, 100));
    }
    void plant(const char* sql) {
        sqlite3* raw = nullptr;
        ASSERT_EQ(
            sqlite3_open(QFile::encodeName(CrawlArchive::PathIn(dir.path())).constData(), &raw), 0);
        EXPECT_EQ(sqlite3_exec(raw, sql, nullptr, nullptr, nullptr), 0) << sqlite3_errmsg(raw);
        sqlite3_close(raw);
    }
    EarlierRun earlier() { return FindEarlierRun(db, "u", dir.filePath("SR0000/queue.srs")); }

    QTemporaryDir dir;
    SqliteDb db;
};

TEST_F(PlantedArchive, FileNamesThatLeaveTheirRunFolderAreNeverJoinedToPaths) {
    EXPECT_EQ(earlier().keys.size(), 3);  // what it fetched is known all the same
    EXPECT_EQ(earlier().pages.values(), QStringList({"SR0000/000004.html"}));
    EXPECT_FALSE(EarlierLooks(db, -1).lacksLooks());  // neither picture is looked for
}

TEST_F(PlantedArchive, NeitherAnEndlessViewNorAnEndlessQueryHoldsALookUp) {
    plant(
        "ALTER TABLE attempts RENAME TO kept; CREATE VIEW attempts AS WITH RECURSIVE "
        "c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT x AS id, 1 AS run, x AS number, "
        "'x' AS file_name, 'u' AS url, 'k' AS url_key, '' AS found_on, 'picture' AS kind, "
        "0 AS http_status, 0 AS bytes, '' AS sha256, 'kept' AS outcome, '' AS why FROM c");
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(LookUpOrigin(dir.filePath("SR0000/000004.html")));  // tooltips, --origin
    EXPECT_TRUE(earlier().keys.isEmpty());
    db.limitStatements(std::chrono::milliseconds(100));
    EXPECT_FALSE(
        db.exec("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
                "SELECT count(*) FROM c"));
    EXPECT_LT(clock.elapsed(), 500);
    EXPECT_TRUE(db.prepare("SELECT count(*) FROM runs").next());  // the next one runs
}

// What --origin prints of a row: a URL that would retitle the terminal, a forged line.
TEST(OriginReport, ControlCharactersOfTheRowsAreEscaped) {
    StoredFileOrigin o;
    o.url = "http://x/\x1b]0;owned\x07.jpg";
    o.why = QString("kept\nfake: line\u009b");
    const QString report = OriginReport("f", o);
    EXPECT_TRUE(report.contains("url: http://x/\\x1B]0;owned\\x07.jpg\n")) << report.toStdString();
    EXPECT_TRUE(report.contains("why: kept\\x0Afake: line\\x9B\n")) << report.toStdString();
}

}  // namespace
