// A crawl over a small site with nested folders, relative and absolute references, LF and CRLF
// pages, a broken link and a cycle, cancelled on the second round: the exact files stored.
#include "CrawlFixture.h"

namespace {

using RunSiteTest = CrawlFixture;

std::string Picture(char seed, int size) {
    std::string bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = char(seed + i * 13);
    return bytes;
}

TEST_F(RunSiteTest, CrawlsTheSiteInQueueOrderUntilCancelled) {
    const std::string b = site.base();
    const std::string index =
        "<html>\n<head><title>Top</title></head>\n<body>\n"
        "<a href=\"gallery/one.html\">One</a>\n<img src=\"img/logo.png\" alt=\"logo\">\n"
        "<a href=\"" +
        b + "/about.htm\">About</a>\n</body>\n</html>\n";
    const std::string one =
        "<html>\r\n<body>\r\n<img src=\"../img/logo.png\">\r\n"
        "<img src=\"pics/p1.jpg\" width=100>\r\n<a href=\"two.html\">next</a>\r\n"
        "<a href=\"/about.htm\">about</a>\r\n</body></html>\r\n";
    const std::string about = "<p>About us <img src='me.gif'></p>\n<a href='index.html'>home</a>\n";
    const std::string two =
        "<a href=\"one.html\">back</a>\r\n<img src=\"pics/missing.jpg\">\r\n"
        "<img src=\"" +
        b + "/img/big.JPG\">\r\n";
    site.page("/index.html", index);
    site.page("/gallery/one.html", one);
    site.page("/about.htm", about);
    site.page("/gallery/two.html", two);
    const std::string logo = Picture('l', 3000), p1 = Picture('p', 70000), me = Picture('m', 10),
                      big = Picture('b', 400000);
    site.page("/img/logo.png", logo, "image/png");
    site.page("/gallery/pics/p1.jpg", p1, "image/jpeg");
    site.page("/me.gif", me, "image/gif");
    site.page("/img/big.JPG", big, "image/jpeg");

    // The cancel button, pressed while gallery/one.html is read for the second time.
    const QString onePage = site.url("/gallery/one.html");
    host.onAnimate = [&] {
        if (host.links.entry(0) == onePage && gFileCounter >= 13) gCancelRequested = -1;
    };
    crawl(site.url("/index.html"));

    EXPECT_EQ(stored(),
              QStringList({"000001.html", "000002.png", "000003.html", "000004.png", "000005.jpg",
                           "000006.htm", "000007.gif", "000008.html", "000010.JPG", "000012.html",
                           "000013.png", "000014.html", "000015.png"}));
    EXPECT_EQ(gFileCounter, 15);
    const auto content = [&](const char* name) {
        QFile f(gRunFolder + "/" + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string("<none>");
    };
    EXPECT_TRUE(content("000001.html") == index);
    EXPECT_TRUE(content("000003.html") == one);
    EXPECT_TRUE(content("000006.htm") == about);
    EXPECT_TRUE(content("000004.png") == logo);
    EXPECT_TRUE(content("000005.jpg") == p1);
    EXPECT_TRUE(content("000007.gif") == me);
    EXPECT_TRUE(content("000010.JPG") == big);

    EXPECT_EQ(host.links.entries(),
              QStringList({onePage, site.url("/about.htm"), site.url("/gallery/two.html"),
                           site.url("/gallery//about.htm")}));
    EXPECT_EQ(host.images.entries(), QStringList({site.url("/gallery/../img/logo.png"),
                                                  site.url("/gallery/pics/p1.jpg")}));
    EXPECT_EQ(gImageCount, 7);
    ASSERT_GE(host.captions.size(), 2u);
    EXPECT_EQ(host.captions[host.captions.size() - 2],
              "Site Rambler - 巡回中… ( 7個のイメージファイルをダウンロードしました。 )");
    EXPECT_EQ(host.caption(), "Site Rambler");
    EXPECT_EQ(lastBox().text,
              "巡回を中止しました。\r\r取得できなかったファイル：2 件\r　・見つかりません（HTTP "
              "404）：2 件");
    EXPECT_EQ(gCancelRequested, 0);
    EXPECT_EQ(site.requests().front().userAgent, "SiteRambler/1.0");
}

TEST_F(RunSiteTest, PagesDeletedAfterTheScanLeaveGapsBetweenTheImages) {
    gHTMLAutoDelete = "0";
    site.page("/index.html", "<img src=\"a.jpg\">\r\n<a href=\"sub/next.html\">next</a>\r\n");
    site.page("/sub/next.html", "<img src='../b.png'>\n<img src='c.gif'>\n");
    site.page("/a.jpg", Picture('a', 100), "image/jpeg");
    site.page("/b.png", Picture('b', 100), "image/png");
    site.page("/sub/c.gif", Picture('c', 100), "image/gif");
    crawl(site.url("/index.html"));
    EXPECT_EQ(stored(), QStringList({"000002.jpg", "000004.png", "000005.gif"}));
    EXPECT_EQ(lastBox().text, "巡回が完了しました。");
    EXPECT_EQ(host.links.count(), 0);
}

}  // namespace
