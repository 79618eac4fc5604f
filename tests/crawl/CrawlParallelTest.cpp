// The same crawl with one connection and with eight, with the same user actions at the same
// steps (pictures deleted, edited and selected while queued, a queued page deleted, cancel
// after a fixed number of files): the run folders are identical file for file, byte for byte.
#include "CrawlFixture.h"
#include "ParallelSite.h"

namespace {

class ParallelCrawlTest : public CrawlFixture {
protected:
    struct Outcome {
        QMap<QString, QByteArray> files;
        QStringList links;
        QStringList images;
        int imageCount = 0;
        int actions = 0;
        QString closingText;
    };

    void SetUp() override {
        CrawlFixture::SetUp();
        BuildParallelSite(site, true);
        gPictAutoDelete = "0";  // pictures under 2000 bytes go again: gaps in the numbers
        gPictAutoDeleteSize = 2;
        host.onAnimate = [] {
            if (gFileCounter >= kCancelAt) gCancelRequested = -1;
        };
        windows.onYield = [this] { actAsUser(); };
    }

    // What a user does inside the yields of the crawl, each action once, at a fixed step.
    void actAsUser() {
        const QString current = site.url("/a/pics/p3.jpg");
        if (!picturesEdited && host.images.selectedIndex() == 0 &&
            host.images.entry(0) == current && host.images.count() > 8) {
            picturesEdited = true;
            ++actions;
            host.images.removeAt(5);                               // a queued picture deleted
            host.images.setEntry(5, site.url("/img/edited.jpg"));  // one edited
            host.images.setEntry(6, site.url("/a/pics/p12.jpg"));  // one that is queued again
            host.images.setSelectedIndex(2);  // this one goes instead, the current one stays
        }
        if (!pageDeleted && host.links.entry(0) == site.url("/a/b/two.html") &&
            host.links.count() > 2) {
            pageDeleted = true;
            ++actions;
            host.links.removeAt(1);
        }
    }

    Outcome crawlWith(int connections) {
        gFileCounter = 0;  // as in a program just started
        gImageCount = 0;
        picturesEdited = pageDeleted = false;
        actions = 0;
        CurlFetcher::Options options = FetcherOptions();
        options.connections = connections;
        CurlFetcher pool(options);
        crawlWithFetcher(pool);
        Outcome outcome;
        outcome.files = FolderContents(gRunFolder);
        outcome.links = host.links.entries();
        outcome.images = host.images.entries();
        outcome.imageCount = gImageCount;
        outcome.actions = actions;
        outcome.closingText = lastBox().text;
        return outcome;
    }

    void crawlWithFetcher(CurlFetcher& pool) {
        host.url = site.url("/index.html");
        windows.answer(IDYES);
        RunShown(host, pool);
    }

    static constexpr int kCancelAt = 90;
    bool picturesEdited = false;
    bool pageDeleted = false;
    int actions = 0;
};

TEST_F(ParallelCrawlTest, EightConnectionsStoreExactlyWhatOneStores) {
    const Outcome one = crawlWith(1);
    const Outcome eight = crawlWith(8);
    EXPECT_EQ(gRunFolder, runFolder("SR0001"));

    // The crawl went round the site more than once, and every action took place.
    EXPECT_EQ(one.actions, 2);
    EXPECT_GT(one.files.size(), 50);
    EXPECT_TRUE(one.files.contains("000001.html"));
    EXPECT_TRUE(one.closingText.startsWith("巡回を中止しました。\r\r取得できなかったファイル："));

    EXPECT_EQ(eight.files.keys(), one.files.keys());
    for (auto it = one.files.constBegin(); it != one.files.constEnd(); ++it)
        EXPECT_TRUE(eight.files.value(it.key()) == it.value()) << it.key().toStdString();
    EXPECT_EQ(eight.links, one.links);
    EXPECT_EQ(eight.images, one.images);
    EXPECT_EQ(eight.imageCount, one.imageCount);
    EXPECT_EQ(eight.actions, one.actions);
    EXPECT_EQ(eight.closingText, one.closingText);
}

// The next page's pictures are told from its body fetched ahead: they are under way while the
// pictures of the page before still come, and the run folder keeps the designed order.
TEST_F(CrawlFixture, PicturesOfTheNextPageAreFetchedBeforeTheRunGetsThere) {
    constexpr int kSlowMs = 1500;
    std::string index = "<a href=\"next.html\">next</a>\n";
    for (int n = 1; n <= 3; ++n) {
        const std::string name = "/a" + std::to_string(n) + ".jpg";
        site.route(name, {200, SitePicture(n, 3000), "image/jpeg", "", "", kSlowMs});
        index += "<img src=\"" + name.substr(1) + "\">\n";
    }
    site.page("/index.html", index);
    site.page("/next.html", "<img src=\"b1.jpg\">\n");
    site.page("/b1.jpg", SitePicture(9, 3000), "image/jpeg");

    CurlFetcher::Options options = FetcherOptions();
    options.connections = 8;
    options.lowSpeedSeconds = 5;
    CurlFetcher pool(options);
    host.url = site.url("/index.html");
    windows.answer(IDYES);
    RunShown(host, pool);

    std::map<std::string, SiteRequest> first;
    for (const SiteRequest& r : site.requests()) first.try_emplace(r.path, r);
    ASSERT_TRUE(first.count("/a1.jpg") && first.count("/b1.jpg"));
    // The slow pictures are answered kSlowMs after their requests; b1 was asked for before.
    EXPECT_LT(first["/b1.jpg"].at, first["/a1.jpg"].at + std::chrono::milliseconds(kSlowMs));
    EXPECT_EQ(FolderContents(gRunFolder).keys(),
              (QStringList{"000001.html", "000002.jpg", "000003.jpg", "000004.jpg", "000005.html",
                           "000006.jpg"}));
    EXPECT_EQ(FolderContents(gRunFolder).value("000006.jpg"),
              QByteArray::fromStdString(SitePicture(9, 3000)));
}

}  // namespace
