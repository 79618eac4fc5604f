// MinWidth and MinHeight: a picture is abandoned as soon as its first bytes tell it is too small,
// however large its file; its number stays used and the archive says why.

#include "../crawl/support/CrawlFixture.h"
#include "archive/CrawlArchive.h"
#include "archive/SqliteDb.h"
#include "cli/ConsoleCrawl.h"
#include "core/CrawlOptions.h"

TEST_F(CrawlFixture, TooSmallPicturesAreAbandonedFromTheirFirstBytes) {
    host.openArchive = [](const QString& folder, bool record) {
        return std::make_unique<CrawlArchive>(folder, record, CrawlArchive::Warn());
    };
    // 100 x 100 pixels in 8 MB, and 400 x 300
    const std::string icon("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\0\x64\0\0\0\x64", 24);
    site.page("/icon.png", icon + std::string(8 << 20, '\0'), "image/png");
    site.page("/photo.jpg", std::string("GIF89a\x90\x01\x2C\x01", 10) + std::string(3000, 'p'));
    site.page("/index.html", "<img src=\"icon.png\"> <img src=\"photo.jpg\">");
    gCrawlOptions.minWidth = 200;
    gCrawlOptions.minHeight = 100;
    CountingTransfers counting(fetcher);  // the bytes written
    host.url = site.url("/index.html");
    windows.answer(IDYES);
    const CrawlEnd end = RunShown(host, counting);
    EXPECT_EQ(end.failures.count(), 0);  // the user's rule, not a failed fetch
    EXPECT_EQ(stored(), QStringList({"000001.html", "000003.jpg"}));  // 000002 is used
    SqliteDb db;
    ASSERT_TRUE(db.open(CrawlArchive::PathIn(host.folder), false, 100));
    SqliteDb::Statement s = db.prepare("SELECT outcome, why FROM attempts WHERE number = 2");
    ASSERT_TRUE(s.next());
    EXPECT_EQ(s.text(0) + ": " + s.text(1),
              "abandoned-dimensions: 100 × 100 pixels, under 200 × 100");
    EXPECT_LT(counting.bytes(), 1 << 20);  // not the 8 MB
}
