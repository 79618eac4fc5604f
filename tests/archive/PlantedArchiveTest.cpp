// An archive file someone else wrote: names leaving their run folder never become paths, what
// --origin prints of a row is escaped, and neither an endless view nor query holds a look-up.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QElapsedTimer>
#include <QTemporaryDir>

#include "archive/ArchiveLooks.h"
#include "archive/CrawlArchive.h"
#include "archive/EarlierRuns.h"
#include "archive/StoredFileOrigin.h"

namespace {

void Plant(const QString& file, const QByteArray& sql) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(file).constData(), &raw), 0);
    EXPECT_EQ(sqlite3_exec(raw, sql.constData(), nullptr, nullptr, nullptr), 0)
        << sqlite3_errmsg(raw);
    sqlite3_close(raw);
}

TEST(PlantedArchive, NamesLeavingTheirFolderAndEndlessViewsOrQueriesComeToNothing) {
    QTemporaryDir dir;
    const QString file = CrawlArchive::PathIn(dir.path());
    { CrawlArchive made(dir.path(), true, {}); }  // the program's own schema
    Plant(file,
          "INSERT INTO runs(id, folder, start_url, settings, started) VALUES(1, 'SR0000', "
          "'u', '', 'x'), (2, '..', 'u', '', 'y'); INSERT INTO attempts(run, number, "
          "file_name, url, url_key, kind, outcome) VALUES(1, 1, '../../etc/passwd', 'u', "
          "'k1', 'page', 'kept'), (1, 2, '000002.jpg/../../x.jpg', 'u', 'k2', 'picture', "
          "'kept'), (2, 3, '000003.jpg', 'u', 'k3', 'picture', 'kept'), (1, 4, "
          "'000004.html', 'u', 'k4', 'page', 'kept'), (1, 5, '000005.jpg', 'http://x/' || "
          "char(27) || ']0;owned' || char(7) || char(10) || 'why: forged', 'k5', 'picture', "
          "'deleted-small')");
    SqliteDb db;
    ASSERT_TRUE(db.open(file, false, 100));
    const auto earlier = [&] { return FindEarlierRun(db, "u", dir.filePath("SR0000/q.srs")); };
    EXPECT_EQ(earlier().keys.size(), 4);  // what it fetched is known all the same
    EXPECT_EQ(earlier().pages.values(), QStringList({"SR0000/000004.html"}));
    EXPECT_FALSE(EarlierLooks(db, -1).lacksLooks());  // neither picture is looked for
    const QString told = OriginReport(
        "f", LookUpOrigin(dir.filePath("SR0000/000005.jpg")).value_or(StoredFileOrigin{}));
    EXPECT_TRUE(told.contains("url: http://x/\\x1B]0;owned\\x07\\x0Awhy: forged\n"));  // --origin
    const QByteArray endless = "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) ";
    Plant(file, "ALTER TABLE attempts RENAME TO kept; CREATE VIEW attempts AS " + endless +
                    "SELECT x AS id, 1 AS run, 'x' AS file_name, * FROM kept, c");
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(LookUpOrigin(dir.filePath("SR0000/000004.html")));  // tooltips, --origin
    EXPECT_TRUE(earlier().keys.isEmpty());
    db.limitStatements(std::chrono::milliseconds(100));
    EXPECT_FALSE(db.exec((endless + "SELECT count(*) FROM c").constData()));
    EXPECT_LT(clock.elapsed(), 500);
}

}  // namespace
