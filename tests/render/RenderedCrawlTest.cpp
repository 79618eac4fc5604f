// Crawls of a script-built gallery with pages rendered: every picture stored, each asked once;
// without the setting none; a stop during a render; a missing browser starts no crawl.
#include <QElapsedTimer>

#include "CrawlFixture.h"
#include "ScriptedGallery.h"
#include "core/CrawlOptions.h"
#include "render/BrowserRenderer.h"
#include "render/BrowserSetup.h"

namespace {

class RenderedCrawlTest : public CrawlFixture {
protected:
    void SetUp() override {
        CrawlFixture::SetUp();
        ServeScriptedGallery(site);
        host.makeRenderer = [](QString*) -> std::unique_ptr<PageRenderer> {
            BrowserSetup setup = CrawlBrowserSetup(gCrawlOptions);
            setup.proxy.clear();
            setup.quietMs = 200;
            return std::make_unique<BrowserRenderer>(setup);
        };
    }
};

}  // namespace

// The gallery's list is only for a visitor who logged in: the crawl's cookies reach the browser.
TEST_F(RenderedCrawlTest, EveryPictureIsStoredAndAskedOfTheServerOnce) {
    gCrawlOptions.renderPages = true;
    gCrawlOptions.userAgent = "GalleryTest/2";
    gCrawlOptions.cookieFile = downloads.filePath("cookies.txt");
    QFile cookies(gCrawlOptions.cookieFile);
    ASSERT_TRUE(cookies.open(QIODevice::WriteOnly));
    cookies.write("127.0.0.1\tFALSE\t/api\tFALSE\t0\tsession\tabc\n");
    cookies.close();
    crawl(site.url("/gallery.html"));

    EXPECT_EQ(lastBox().text, "巡回が完了しました。");
    EXPECT_EQ(gImageCount, int(kGalleryPictures.size()));
    for (const std::string& path : kGalleryPictures) EXPECT_EQ(site.count(path), 1) << path;
    EXPECT_EQ(site.count("/gallery.html"), 1);  // the browser is given the crawl's copy
    EXPECT_EQ(site.count("/second.html"), 1);   // found through the link the script made
    EXPECT_TRUE(host.notes.empty());
    for (const SiteRequest& r : site.requests())  // the browser's, not the fixture's transfers
        if (r.path.find("/pics/") != 0 && r.path.find(".html") == std::string::npos)
            EXPECT_EQ(r.userAgent, "GalleryTest/2") << r.path;
}

TEST_F(RenderedCrawlTest, WithoutTheSettingNoScriptedPictureIsStored) {
    gCrawlOptions.parseHtml = true;
    crawl(site.url("/gallery.html"));

    EXPECT_EQ(lastBox().text, "巡回が完了しました。");
    EXPECT_EQ(gImageCount, 0);
    for (const std::string& path : kGalleryPictures) EXPECT_EQ(site.count(path), 0) << path;
}

TEST_F(RenderedCrawlTest, AStopDuringARenderEndsTheRunAtOnce) {
    gCrawlOptions.renderPages = true;
    site.page("/poll", "{}", "application/json");
    site.page("/busy.html",
              "<body><script>setInterval(() => fetch('/poll?' + Date.now()), 50);"
              "</script></body>");
    QElapsedTimer sinceStop;
    host.onAnimate = [&] {
        if (!sinceStop.isValid() && site.count("/poll") > 3) {
            gCancelRequested = -1;  // F2
            sinceStop.start();
        }
    };
    crawl(site.url("/busy.html"));

    ASSERT_TRUE(sinceStop.isValid());
    EXPECT_LT(sinceStop.elapsed(), 1000);
    EXPECT_EQ(lastBox().text, "巡回を中止しました。");
}

TEST_F(RenderedCrawlTest, AMissingBrowserIsToldAndStartsNoCrawl) {
    gCrawlOptions.renderPages = true;
    qputenv("SITERAMBLER_BROWSER", "/nonexistent/chromium-headless-shell");
    host.makeRenderer = [](QString* problem) { return OpenCrawlRenderer(gCrawlOptions, problem); };
    crawl(site.url("/gallery.html"));
    qunsetenv("SITERAMBLER_BROWSER");

    ASSERT_FALSE(windows.shown().empty());
    EXPECT_TRUE(lastBox().text.contains("chromium-headless-shell"));
    EXPECT_TRUE(Entries(downloads.path()).isEmpty());  // no run folder
}
