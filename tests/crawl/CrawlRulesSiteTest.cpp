// Crawls with the opt-in rules against loopback sites on two host names (127.0.0.1 and
// localhost, one server): each ends by itself and fetches each URL once, keeps to its scope,
// and honours robots.txt.
#include <QSet>

#include "CrawlFixture.h"
#include "core/CrawlOptions.h"
#include "crawl/CrawlRules.h"

namespace {

class RulesSiteTest : public CrawlFixture {
protected:
    std::string other() const { return "http://localhost:" + std::to_string(site.port()); }
    void expectFetchedOnce() const {
        std::map<std::string, int> seen;
        for (const SiteRequest& r : site.requests()) ++seen[r.host + r.path];
        for (const auto& [path, n] : seen) EXPECT_EQ(n, 1) << path;
    }
};

// Counts what the crawl requested, for sites that no server serves.
class CountingPool final : public Transfers {
public:
    explicit CountingPool(Transfers& inner) : mInner(inner) {}
    int start(const QString& url, std::int64_t maxBytes, Write write) override {
        urls << url;
        return mInner.start(url, maxBytes, std::move(write));
    }
    State state(int id) const override { return mInner.state(id); }
    Wait wait(int id, const Turn& turn) override { return mInner.wait(id, turn); }
    void resume(int id) override { mInner.resume(id); }
    FetchResult release(int id) override { return mInner.release(id); }
    int connections() const override { return mInner.connections(); }
    QStringList urls;

private:
    Transfers& mInner;
};

}  // namespace

TEST_F(RulesSiteTest, NoRevisitEndsADocumentationSiteFetchingEachUrlOnce) {
    // Every chapter links to every other one, back to the contents and to itself, with the
    // relative spellings real sites use; the logo is on every page.
    const int chapters = 6;
    std::string contents = "<img src=\"img/logo.png\">\n";
    for (int i = 1; i <= chapters; ++i) {
        const std::string n = std::to_string(i);
        contents += "<a href=\"docs/ch" + n + ".html\">" + n + "</a>\n";
        std::string page = "<img src=\"../img/logo.png\"> <img src=\"fig" + n + ".png\">\n";
        page += "<a href=\"../index.html\">up</a> <a href=\"./ch" + n + ".html#top\">top</a>\n";
        for (int j = 1; j <= chapters; ++j)
            page += "<a href=\"../docs/ch" + std::to_string(j) + ".html\">" + std::to_string(j) +
                    "</a> <a href=\"ch" + std::to_string(j) + ".html\">again</a>\n";
        site.page("/docs/ch" + n + ".html", page);
        site.page("/docs/fig" + n + ".png", Bytes(3000 + i, char('a' + i)), "image/png");
    }
    site.page("/index.html", contents);
    site.page("/img/logo.png", Bytes(2500), "image/png");
    gCrawlOptions.noRevisit = true;
    crawl(site.url("/index.html"));

    EXPECT_EQ(lastBox().text, "巡回が完了しました。");
    expectFetchedOnce();
    EXPECT_EQ(site.requests().size(), size_t(1 + 1 + 2 * chapters));
    EXPECT_EQ(stored().size(), size_t(1 + 1 + 2 * chapters));
    EXPECT_EQ(gImageCount, 1 + chapters);
}

TEST_F(RulesSiteTest, NoRevisitEndsTheDemoSite) {
    CountingPool counting(fetcher);
    host.url = "file://" SR_BINARY_DIR "/demo/index.html";
    windows.answer(IDYES);
    fetcher.setFilePolicy(FileUrlPolicy::ForCrawlFrom(host.url));
    gCrawlOptions.noRevisit = true;
    RunShown(host, counting);

    EXPECT_EQ(lastBox().text, "巡回が完了しました。");
    QSet<QString> keys;
    for (const QString& url : counting.urls)
        EXPECT_FALSE(keys.contains(UrlKey(url))) << url.toStdString();
    for (const QString& url : counting.urls) keys.insert(UrlKey(url));
    EXPECT_EQ(counting.urls.size(), 12);  // 5 pages and 7 pictures
    EXPECT_EQ(stored().size(), 12u);
}

TEST_F(RulesSiteTest, HostAndFolderScopeQueuePagesPicturesComeFromAnyHost) {
    site.page("/docs/index.html",
              "<a href=\"sub/a.html\">in</a> <a href=\"../other.html\">out</a>\n"
              "<a href=\"" +
                  other() + "/docs/far.html\">far</a> <img src=\"" + other() + "/pic.jpg\">\n");
    site.page("/docs/sub/a.html", "in the folder");
    site.page("/other.html", "same host");
    site.page("/docs/far.html", "other host");
    site.page("/pic.jpg", Bytes(3000), "image/jpeg");

    gCrawlOptions.scope = CrawlScope::Host;
    crawl(site.url("/docs/index.html"));
    EXPECT_EQ(site.count("/docs/sub/a.html"), 1);
    EXPECT_EQ(site.count("/other.html"), 1);
    EXPECT_EQ(site.count("/docs/far.html"), 0);
    ASSERT_EQ(site.count("/pic.jpg"), 1);
    EXPECT_EQ(site.requests()[1].host, "localhost:" + std::to_string(site.port()));

    gCrawlOptions.scope = CrawlScope::Folder;
    crawl(site.url("/docs/index.html"));
    EXPECT_EQ(site.count("/docs/sub/a.html"), 2);
    EXPECT_EQ(site.count("/other.html"), 1);
    EXPECT_EQ(site.count("/docs/far.html"), 0);
    EXPECT_EQ(site.count("/pic.jpg"), 2);
    EXPECT_EQ(lastBox().text, "巡回が完了しました。");
}

TEST_F(RulesSiteTest, RobotsTxtIsReadOncePerHostAndItsDisallowLinesKept) {
    site.page("/robots.txt",
              "User-agent: *\nDisallow: /\n\n"
              "User-agent: SiteRambler\nDisallow: /private/\nAllow: /private/open.html\n"
              "Disallow: /pics/hidden\n",
              "text/plain");
    site.page(
        "/index.html",
        "<a href=\"private/a.html\">a</a> <a href=\"private/open.html\">open</a>\n"
        "<a href=\"" +
            other() + "/private/b.html\">b</a> <a href=\"" + other() +
            "/more.html\">more</a>\n<img src=\"pics/hidden.jpg\"> <img src=\"pics/shown.jpg\">\n");
    for (const char* page :
         {"/private/a.html", "/private/open.html", "/private/b.html", "/more.html"})
        site.page(page, "<img src=\"pics/shown.jpg\">");
    site.page("/pics/hidden.jpg", Bytes(3000), "image/jpeg");
    site.page("/pics/shown.jpg", Bytes(3000), "image/jpeg");
    gCrawlOptions.robots = true;
    crawl(site.url("/index.html"));

    EXPECT_EQ(lastBox().text, "巡回が完了しました。");
    EXPECT_EQ(site.count("/robots.txt"), 2);  // 127.0.0.1 and localhost
    EXPECT_EQ(site.paths().front(), "/robots.txt");
    EXPECT_EQ(site.count("/private/a.html"), 0);
    EXPECT_EQ(site.count("/private/b.html"), 0);
    EXPECT_EQ(site.count("/pics/hidden.jpg"), 0);
    EXPECT_EQ(site.count("/private/open.html"), 1);
    EXPECT_EQ(site.count("/more.html"), 1);
    EXPECT_GE(site.count("/pics/shown.jpg"), 2);
    EXPECT_TRUE(host.links.entries().isEmpty());
}

TEST_F(RulesSiteTest, ARedirectLeadsOnlyWhereTheRulesLetAQueuedLinkGo) {
    site.page("/robots.txt", "User-agent: *\nDisallow: /private/\n", "text/plain");
    site.page("/index.html", "<a href=\"moved.html\">m</a> <a href=\"away.html\">a</a>");
    site.redirect("/moved.html", "/private/secret.html");
    site.page("/private/secret.html", "<img src=\"hidden.jpg\">");
    site.redirect("/away.html", other() + "/open.html");
    site.page("/open.html", "<img src=\"shown.jpg\">");
    site.page("/shown.jpg", Bytes(3000), "image/jpeg");
    gCrawlOptions.robots = true;
    crawl(site.url("/index.html"));
    EXPECT_EQ(site.count("/private/secret.html"), 0);
    EXPECT_EQ(site.count("/private/hidden.jpg"), 0);
    EXPECT_EQ(site.count("/robots.txt"), 2);  // the redirect's host was asked first
    EXPECT_EQ(site.count("/open.html"), 1);
    EXPECT_EQ(lastBox().text, "巡回が完了しました。");

    // Kept to the start URL's host: the redirect to another host is not followed.
    gCrawlOptions.robots = false;
    gCrawlOptions.scope = CrawlScope::Host;
    crawl(site.url("/index.html"));
    EXPECT_EQ(site.count("/open.html"), 1);
    EXPECT_EQ(site.count("/away.html"), 2);
}
