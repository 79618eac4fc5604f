// SkipSimilar: copies of a picture kept before are deleted and recorded with the picture they
// look like, a larger look-alike is kept, and without the rule every picture stays with no look
// recorded, until the look-alike groups or a later crawl with the rule work it out and store it
// (in an archive written before looks were, too).
#include <QBuffer>
#include <QElapsedTimer>

#include "../crawl/support/CrawlFixture.h"
#include "LookPictures.h"
#include "archive/CrawlArchive.h"
#include "archive/RunLookAlikes.h"
#include "archive/SqliteDb.h"
#include "core/CrawlOptions.h"

namespace {

std::string Encoded(const QImage& image, const char* format, int quality = -1) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes.toStdString();
}

class SkipSimilarTest : public CrawlFixture {
protected:
    void SetUp() override {
        CrawlFixture::SetUp();
        host.openArchive = [](const QString& folder, bool record) {
            return std::make_unique<CrawlArchive>(folder, record, CrawlArchive::Warn());
        };
        site.page("/big.png", Encoded(Scene(3), "PNG"), "image/png");
        site.page(
            "/small.png",
            Encoded(Scene(3).scaled(200, 150, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                    "PNG"),
            "image/png");
        site.page("/big.jpg", Encoded(Scene(3), "JPG", 60), "image/jpeg");
        site.page("/other.png", Encoded(Scene(8), "PNG"), "image/png");
        site.page("/larger.png", Encoded(Scene(3, 800, 600), "PNG"), "image/png");
    }
    void pictures(const char* names) {
        QString html;
        for (const QString& name : QString(names).split(' '))
            html += "<img src=\"" + name + "\">\n";
        site.page("/index.html", html.toStdString());
    }
    QStringList rows(const char* sql) {
        SqliteDb db;
        EXPECT_TRUE(db.open(CrawlArchive::PathIn(host.folder), false, 100));
        SqliteDb::Statement s = db.prepare(sql);
        QStringList values;
        while (s.next()) values << s.text(0) + " " + s.text(1);
        return values;
    }
};

}  // namespace

TEST_F(SkipSimilarTest, CopiesGoLargerLookAlikesStayAndWithoutItEveryPictureStays) {
    gCrawlOptions.skipSimilar = true;
    pictures("big.png small.png big.jpg other.png");
    crawl(site.url("/index.html"));
    EXPECT_EQ(stored(), QStringList({"000001.html", "000002.png", "000005.png"}));
    EXPECT_EQ(gImageCount, 2);
    EXPECT_EQ(rows("SELECT outcome, resembles FROM attempts WHERE kind = 'picture' ORDER BY id"),
              QStringList({"kept ", "deleted-similar SR0000/000002.png",
                           "deleted-similar SR0000/000002.png", "kept "}));
    // An earlier run's pictures count too; a larger one is kept all the same.
    pictures("small.png larger.png");
    crawl(site.url("/index.html"));
    EXPECT_EQ(stored(), QStringList({"000006.html", "000008.png"}));
    EXPECT_EQ(rows("SELECT outcome, resembles FROM attempts WHERE run = 2 AND kind = 'picture'"),
              QStringList({"deleted-similar SR0000/000002.png", "kept "}));

    // Without the rule, into an archive as written before looks were recorded.
    SqliteDb db;
    ASSERT_TRUE(db.open(CrawlArchive::PathIn(host.folder), true, 100));
    ASSERT_TRUE(
        db.exec("ALTER TABLE attempts DROP COLUMN look; ALTER TABLE attempts DROP COLUMN "
                "pixels; ALTER TABLE attempts DROP COLUMN resembles; PRAGMA user_version = 1"));
    gCrawlOptions.skipSimilar = false;
    pictures("big.png small.png big.jpg other.png");
    crawl(site.url("/index.html"));
    EXPECT_EQ(stored(),
              QStringList({"000009.html", "000010.png", "000011.png", "000012.jpg", "000013.png"}));
    // Without the rule no picture is decoded during the crawl: the groups work the looks out.
    EXPECT_EQ(rows("SELECT outcome, look IS NOT NULL FROM attempts WHERE run = 3 AND kind = "
                   "'picture'"),
              QStringList({"kept 0", "kept 0", "kept 0", "kept 0"}));
    const QString p = gRunFolder + "/";
    const std::vector<std::vector<QString>> groups{
        {p + "000010.png", p + "000011.png", p + "000012.jpg"}};
    // An archive locked by another program neither fails nor holds the grouping: the looks
    // are then simply not stored.
    ASSERT_TRUE(db.exec("BEGIN EXCLUSIVE"));
    QElapsedTimer grouping;
    grouping.start();
    EXPECT_EQ(GroupRunLookAlikes(gRunFolder), groups);
    EXPECT_LT(grouping.elapsed(), 500);
    ASSERT_TRUE(db.exec("ROLLBACK"));
    EXPECT_EQ(rows("SELECT count(*) FROM attempts WHERE run = 3 AND look IS NOT NULL"),
              QStringList({"0 "}));
    EXPECT_EQ(GroupRunLookAlikes(gRunFolder), groups);
    // The grouping stored the looks it worked out: the next one decodes nothing, so pictures
    // that cannot be decoded any more still group as before.
    EXPECT_EQ(rows("SELECT outcome, look IS NOT NULL FROM attempts WHERE run = 3 AND kind = "
                   "'picture'"),
              QStringList({"kept 1", "kept 1", "kept 1", "kept 1"}));
    for (const QString& name : stored()) {
        QFile file(p + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    }
    EXPECT_EQ(GroupRunLookAlikes(gRunFolder), groups);
}

TEST_F(SkipSimilarTest, APictureLikeOneWhoseFileIsGoneIsKept) {
    pictures("big.png other.png");
    gCrawlOptions.skipSimilar = true;
    crawl(site.url("/index.html"));
    ASSERT_TRUE(QDir(host.folder + "/SR0000").removeRecursively());
    crawl(site.url("/index.html"));
    EXPECT_EQ(stored(), QStringList({"000004.html", "000005.png", "000006.png"}));
}

TEST_F(SkipSimilarTest, EarlierRunsWithoutLooksGetThemWhenTheRuleFirstNeedsThem) {
    site.page("/broken.png", Bytes(5000), "image/png");
    pictures("big.png broken.png");
    crawl(site.url("/index.html"));
    EXPECT_EQ(stored(), QStringList({"000001.html", "000002.png", "000003.png"}));
    EXPECT_EQ(rows("SELECT outcome, look IS NULL FROM attempts WHERE kind = 'picture'"),
              QStringList({"kept 1", "kept 1"}));

    gCrawlOptions.skipSimilar = true;
    pictures("small.png");
    crawl(site.url("/index.html"));
    EXPECT_EQ(stored(), QStringList({"000004.html"}));
    EXPECT_EQ(rows("SELECT outcome, resembles FROM attempts WHERE run = 2 AND kind = 'picture'"),
              QStringList({"deleted-similar SR0000/000002.png"}));
    // The picture that cannot be decoded is marked so, not to be tried again.
    EXPECT_EQ(rows("SELECT file_name, pixels || ' ' || (look IS NOT NULL) FROM attempts WHERE "
                   "run = 1 AND kind = 'picture'"),
              QStringList({"000002.png 120000 1", "000003.png 0 0"}));
}

// A stop cuts the working out of the earlier looks short at once; those worked out by then are
// stored all the same.
TEST_F(SkipSimilarTest, AStopCutsTheEarlierLooksShortAndWhatWasWorkedOutIsStored) {
    site.page("/huge.png", Encoded(Scene(3, 2000, 1500), "PNG"), "image/png");
    pictures("huge.png");
    crawl(site.url("/index.html"));
    SqliteDb db;
    ASSERT_TRUE(db.open(CrawlArchive::PathIn(host.folder), true, 100));
    ASSERT_TRUE(db.exec(  // 400 rows of that picture, each to be decoded
        "INSERT INTO attempts(run, number, file_name, url, url_key, kind, outcome, bytes) "
        "SELECT run, number, file_name, url, url_key, kind, outcome, bytes FROM attempts, "
        "(WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 399) "
        "SELECT i FROM n) WHERE kind = 'picture'"));
    QElapsedTimer waited;
    {
        CrawlArchive archive(host.folder, true, CrawlArchive::Warn());
        waited.start();
        EXPECT_TRUE(archive.keptLooks([&] { return waited.elapsed() < 200; }).empty());
        EXPECT_LT(waited.elapsed(), 700);  // all of them take seconds
    }
    const int stored =
        rows("SELECT count(*), '' FROM attempts WHERE look IS NOT NULL").value(0).trimmed().toInt();
    EXPECT_GE(stored, 1);
    EXPECT_LT(stored, 400);
}
