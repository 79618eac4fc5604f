// A crawl of a site in today's markup on loopback: with pages read as HTML it stores what a
// person sees under the extensions the answers give; without, the designed scan's result.
#include <set>

#include "CrawlFixture.h"
#include "core/CrawlOptions.h"

namespace {

class HtmlCrawlTest : public CrawlFixture {
protected:
    void SetUp() override {
        CrawlFixture::SetUp();
        gCrawlOptions.noRevisit = true;  // the pages link each other
        site.page("/", R"(<html><body><img src="logo.png">
<img src="/cdn/photo?id=1&amp;w=200" srcset="/cdn/photo?id=1&amp;w=200 200w, /cdn/photo?id=1 1200w">
<picture><source type="image/avif" srcset="/cdn/pic?id=2"><img src="cdn/pic.jpg"></picture>
<img data-src="/cdn/notimage?id=3" src="data:image/gif;base64,R0lGODlh">
<a href="/post/7/#top">post</a> <a href="/doc.pdf">pdf</a> <a href="/cdn/full?id=4">full</a>
</body></html>)");
        site.page("/post/7/", R"(<a href="/">home</a> <img src="/cdn/photo?id=1">)");
        site.page("/logo.png", Bytes(300, 'p'), "image/png");
        site.page("/cdn/photo", Bytes(400, 'w'), "image/webp");
        site.page("/cdn/pic", Bytes(500, 'a'), "image/avif");
        site.page("/cdn/pic.jpg", Bytes(500, 'j'), "image/jpeg");
        site.page("/cdn/notimage", "{\"not\": \"a picture\"}", "application/json");
        site.page("/cdn/full", Bytes(600, 'b'), "image/bmp");
        site.page("/doc.pdf", Bytes(700, 'd'), "application/pdf");
    }
    std::set<std::string> requested() const {
        std::set<std::string> targets;
        for (const SiteRequest& r : site.requests()) targets.insert(r.target);
        return targets;
    }

    void expectWhatAPersonSees() {
        EXPECT_EQ(lastBox().text, "巡回が完了しました。");
        // the JSON answer used up number 5 and was dropped; the placeholders were never asked for
        EXPECT_EQ(stored(), QStringList({"000001.html", "000002.png", "000003.webp", "000004.avif",
                                         "000006.html", "000007.bmp"}));
        EXPECT_EQ(requested(),
                  std::set<std::string>({"/", "/logo.png", "/cdn/photo?id=1", "/cdn/pic?id=2",
                                         "/cdn/notimage?id=3", "/post/7/", "/cdn/full?id=4"}));
        EXPECT_EQ(gImageCount, 4);
        QFile webp(gRunFolder + "/000003.webp");
        ASSERT_TRUE(webp.open(QIODevice::ReadOnly));
        EXPECT_EQ(webp.readAll(), QByteArray(400, 'w'));
    }
};

}  // namespace

TEST_F(HtmlCrawlTest, StoresTheLargestPicturesUnderTheAnswersExtensions) {
    gCrawlOptions.parseHtml = true;
    crawl(site.url("/"));
    expectWhatAPersonSees();
}

// Fetched ahead, the answers' types reach the naming through the transfer thread.
TEST_F(HtmlCrawlTest, FetchingAheadStoresTheSame) {
    gCrawlOptions.parseHtml = true;
    CurlFetcher::Options options = FetcherOptions();
    options.connections = 6;
    CurlFetcher ahead(options);
    host.url = site.url("/");
    windows.answer(IDYES);
    RunShown(host, ahead);
    expectWhatAPersonSees();
}

TEST_F(HtmlCrawlTest, WithTheSettingOffTheSameSiteGivesTheDesignedResult) {
    crawl(site.url("/"));

    EXPECT_EQ(lastBox().text, "巡回が完了しました。");
    EXPECT_EQ(stored(), QStringList({"000001.", "000002.png", "000003.jpg"}));
    EXPECT_EQ(requested(), std::set<std::string>({"/", "/logo.png", "/cdn/pic.jpg"}));
    EXPECT_EQ(gImageCount, 2);
}
