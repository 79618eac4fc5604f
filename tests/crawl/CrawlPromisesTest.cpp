// What a crawl promises holds with six connections as with one: each URL fetched once when
// asked to, a failed answer not fetched again, a disk that takes the crawl with one connection
// takes it with six, and only a success stored.
#include "CrawlFixture.h"
#include "FaultyStorage.h"
#include "ParallelSite.h"
#include "core/CrawlOptions.h"

namespace {

class CrawlPromisesTest : public CrawlFixture, public ::testing::WithParamInterface<int> {
protected:
    void crawlWithPool(const QString& startUrl) {
        CurlFetcher::Options options = FetcherOptions();
        options.connections = GetParam();
        CurlFetcher pool(options);
        host.url = startUrl;
        windows.answer(IDYES);
        RunShown(host, pool);
    }
    void expectEachPathOnce() const {
        std::map<std::string, int> seen;
        for (const SiteRequest& r : site.requests()) ++seen[r.path];
        for (const auto& [path, n] : seen) EXPECT_EQ(n, 1) << path;
    }
    // Pages that all show one logo and link to each other, each with a picture of its own.
    void buildManual(int chapters, int failFirst) {
        std::string contents = "<img src=\"img/home.png\">\n";
        for (int i = 1; i <= chapters; ++i) {
            const std::string n = std::to_string(i);
            contents += "<a href=\"docs/ch" + n + ".html\">" + n + "</a>\n";
            std::string page = "<img src=\"../img/home.png\"> <img src=\"fig" + n + ".png\">\n";
            for (int j = 1; j <= chapters; ++j)
                page += "<a href=\"ch" + std::to_string(j) + ".html\">x</a>\n";
            site.page("/docs/ch" + n + ".html", page + "<a href=\"../index.html\">up</a>\n");
            site.route("/docs/fig" + n + ".png",
                       {200, SitePicture(i, 3000), "image/png", "", "", 0, false, failFirst});
        }
        site.page("/index.html", contents);
        site.route("/img/home.png",
                   {200, SitePicture(99, 2500), "image/png", "", "", 0, false, failFirst});
    }
};

TEST_P(CrawlPromisesTest, NoRevisitRequestsEveryUrlOnce) {
    buildManual(12, 0);
    gCrawlOptions.noRevisit = true;
    crawlWithPool(site.url("/index.html"));
    EXPECT_EQ(lastBox().text, "巡回が完了しました。");
    expectEachPathOnce();
    EXPECT_EQ(stored().size(), size_t(1 + 12 + 1 + 12));
}

TEST_P(CrawlPromisesTest, APictureThatFailedOnceIsNotFetchedAgain) {
    buildManual(8, 1);
    gCrawlOptions.noRevisit = true;
    crawlWithPool(site.url("/index.html"));
    expectEachPathOnce();
    for (const QString& name : stored()) EXPECT_TRUE(name.endsWith(".html")) << name.toStdString();
    EXPECT_EQ(gImageCount, 0);
}

// Small pictures are deleted once stored: one at a time, the disk holds only the large one;
// bodies held ahead meanwhile give way to it.
TEST_P(CrawlPromisesTest, ADiskThatTakesTheCrawlOneAtATimeTakesItWithMore) {
    std::string index = "<p>pictures</p>\n";
    for (int n = 1; n <= 8; ++n) {
        const std::string name = "s" + std::to_string(n) + ".jpg";
        site.page("/" + name, SitePicture(n, 60000), "image/jpeg");
        index += "<img src=\"" + name + "\">\n";
    }
    site.page("/big.jpg", SitePicture(50, 600000), "image/jpeg");
    site.page("/index.html", index + "<img src=\"big.jpg\">\n");
    gPictAutoDelete = "0";
    gPictAutoDeleteSize = 100;
    FaultyStorage disk;
    disk.limitedFolder = downloads.path();
    disk.freeBytes = 700000;
    crawlWithPool(site.url("/index.html"));
    EXPECT_EQ(lastBox().text, "巡回が完了しました。");
    EXPECT_EQ(stored(), QStringList({"000001.html", "000010.jpg"}));
    EXPECT_EQ(FolderContents(gRunFolder).value("000010.jpg"),
              QByteArray::fromStdString(SitePicture(50, 600000)));
}

TEST_P(CrawlPromisesTest, ARedirectThatLeadsNowhereIsAFailedFetch) {
    SiteRoute nowhere;
    nowhere.status = 302;
    nowhere.body = "moved";
    site.route("/nowhere.png", nowhere);
    site.page("/index.html", "<img src=\"nowhere.png\"> <img src=\"a.png\">\n");
    site.page("/a.png", SitePicture(1, 3000), "image/png");
    crawlWithPool(site.url("/index.html"));
    EXPECT_EQ(stored(), QStringList({"000001.html", "000003.png"}));
}

INSTANTIATE_TEST_SUITE_P(Connections, CrawlPromisesTest, ::testing::Values(1, 6));

}  // namespace
