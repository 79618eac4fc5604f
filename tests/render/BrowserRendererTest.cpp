// The headless browser against loopback pages: what a script-built page shows, with the
// browser kept from fetching any picture; pages that never go quiet, stops, a browser that
// dies or is missing, and no browser process left behind.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include "ScriptedGallery.h"
#include "core/CrawlOptions.h"
#include "render/BrowserRenderer.h"
#include "render/BrowserSetup.h"

namespace {

// Processes of the group that still run (the remains of killed ones are the system's to reap).
int LiveInGroup(pid_t group) {
    int live = 0;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (!entry[0].isDigit() || !stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray text = stat.readAll();
        // pid (name) state ppid pgrp ...: the name may hold spaces, so count from its end
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 2 && fields[2].toInt() == group && fields[0] != "Z") ++live;
    }
    return live;
}

// A killed process may take the system a moment to end.
bool Gone(pid_t group) {
    QElapsedTimer clock;
    clock.start();
    while (LiveInGroup(group) > 0 && clock.elapsed() < 500) QThread::msleep(10);
    return LiveInGroup(group) == 0;
}

class BrowserRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        setup = CrawlBrowserSetup(CrawlOptions{});
        ASSERT_FALSE(setup.program.isEmpty()) << "chromium-headless-shell is not installed";
        setup.proxy.clear();  // the pages are on loopback
        setup.quietMs = 200;
        ServeScriptedGallery(site);
    }
    // Every browser a test started is gone once its renderer is.
    void TearDown() override {
        for (pid_t pid : browsers) EXPECT_TRUE(Gone(pid)) << pid;
    }
    PageRenderer::Page render(BrowserRenderer& renderer, const std::string& path,
                              const std::string& html, const PageRenderer::Turn& turn) {
        const PageRenderer::Page page = renderer.render(
            site.url(path), QByteArray::fromStdString(html), QStringLiteral("text/html"), turn);
        if (renderer.browserPid() > 0) browsers.push_back(renderer.browserPid());
        return page;
    }
    static bool Go() { return true; }

    BrowserSetup setup;
    LoopbackSite site;
    std::vector<pid_t> browsers;
};

}  // namespace

TEST_F(BrowserRendererTest, ShowsWhatScriptsMakeWithoutFetchingAnyPicture) {
    setup.userAgent = QStringLiteral("GalleryTest/2");
    QTemporaryDir folder;
    const QString cookies = folder.filePath("cookies.txt");
    QFile file(cookies);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("# Netscape HTTP Cookie File\n127.0.0.1\tFALSE\t/\tFALSE\t0\tsession\tabc\n");
    file.close();
    setup.cookieFile = cookies;
    SiteRoute api;  // the list is only for a visitor who logged in
    api.body = R"({"pictures": ["a1.png", "a2.png", "a3.png"]})";
    api.contentType = "application/json";
    api.needsCookie = "session=abc";
    site.route("/api/list1.json", api);
    BrowserRenderer renderer(setup);

    const PageRenderer::Page page = render(renderer, "/gallery.html", kGalleryHtml, Go);

    ASSERT_EQ(page.outcome, PageRenderer::Outcome::Rendered) << page.problem.toStdString();
    std::vector<std::string> pictures;
    for (const QString& url : page.pictures)
        pictures.push_back(url.mid(site.url("").size()).toStdString());
    std::vector<std::string> expected(kGalleryPictures.begin(), kGalleryPictures.end() - 1);
    std::sort(pictures.begin(), pictures.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(pictures, expected);
    EXPECT_TRUE(page.html.contains("href=\"/second.html\""));
    for (const std::string& path : kGalleryPictures) EXPECT_EQ(site.count(path), 0) << path;
    EXPECT_EQ(site.count("/gallery.html"), 0);  // the crawl's copy was given
    EXPECT_EQ(site.count("/api/list2.json"), 1);
    for (const SiteRequest& r : site.requests()) EXPECT_EQ(r.userAgent, "GalleryTest/2");
}

TEST_F(BrowserRendererTest, APageThatNeverGoesQuietEndsAtItsLimitWithWhatItHas) {
    site.page("/poll", "{}", "application/json");
    setup.loadLimitMs = 1500;
    setup.scrollLimitMs = 1000;
    BrowserRenderer renderer(setup);
    QElapsedTimer clock;
    clock.start();
    const PageRenderer::Page page =
        render(renderer, "/busy.html",
               "<body><script>document.body.innerHTML = '<img src=/pics/a1.png>';"
               "setInterval(() => fetch('/poll?' + Date.now()), 50);</script></body>",
               Go);
    EXPECT_EQ(page.outcome, PageRenderer::Outcome::Rendered);
    EXPECT_EQ(page.pictures, QStringList{site.url("/pics/a1.png")});
    EXPECT_GT(site.count("/poll"), 10);
    EXPECT_LT(clock.elapsed(), setup.loadLimitMs + setup.scrollLimitMs + 3000);
}

TEST_F(BrowserRendererTest, AStopEndsTheRenderAtOnceAndTheBrowserWithTheRenderer) {
    pid_t pid = -1;
    QElapsedTimer sinceStop;
    {
        BrowserRenderer renderer(setup);
        QElapsedTimer clock;
        clock.start();
        const PageRenderer::Page page = render(
            renderer, "/busy.html",
            "<body><script>setInterval(() => fetch('/poll?' + Date.now()), 50);</script>", [&] {
                pid = renderer.browserPid();
                if (clock.elapsed() < 1500) return true;
                if (!sinceStop.isValid()) sinceStop.start();
                return false;
            });
        EXPECT_EQ(page.outcome, PageRenderer::Outcome::Stopped);
        EXPECT_LT(sinceStop.elapsed(), 500);
        ASSERT_GT(pid, 0);
        EXPECT_GT(LiveInGroup(pid), 0);
    }
    EXPECT_TRUE(Gone(pid));
    EXPECT_LT(sinceStop.elapsed(), 1000);
}

TEST_F(BrowserRendererTest, ABrowserThatDiesFailsThatPageAndTheNextStartsAnother) {
    BrowserRenderer renderer(setup);
    pid_t first = -1;
    const PageRenderer::Page killed = render(renderer, "/gallery.html", kGalleryHtml, [&] {
        if (first < 0 && renderer.browserPid() > 0) {
            first = renderer.browserPid();
            ::kill(-first, SIGKILL);
        }
        return true;
    });
    EXPECT_EQ(killed.outcome, PageRenderer::Outcome::Failed);
    EXPECT_FALSE(killed.problem.isEmpty());

    const PageRenderer::Page next =
        render(renderer, "/second.html", "<body><img src=/pics/b1.png></body>", Go);
    EXPECT_EQ(next.outcome, PageRenderer::Outcome::Rendered);
    EXPECT_EQ(next.pictures, QStringList{site.url("/pics/b1.png")});
    EXPECT_NE(renderer.browserPid(), first);
}

TEST(BrowserSetupTest, AMissingBrowserIsToldWithItsPackage) {
    qputenv("SITERAMBLER_BROWSER", "/nonexistent/chromium-headless-shell");
    QString problem;
    const std::unique_ptr<PageRenderer> renderer = OpenCrawlRenderer(CrawlOptions{}, &problem);
    qunsetenv("SITERAMBLER_BROWSER");
    EXPECT_EQ(renderer, nullptr);
    EXPECT_TRUE(problem.contains(QString::fromLatin1(kBrowserPackage)));
}

TEST(BrowserSetupTest, CookiesOfANetscapeFileKeepTheirHostsAndFlags) {
    QTemporaryDir folder;
    QFile file(folder.filePath("cookies.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "# comment\n"
        ".example.org\tTRUE\t/\tTRUE\t2000000000\twide\t1\n"
        "#HttpOnly_shop.example\tFALSE\t/cart\tFALSE\t0\tonly\ttwo\n"
        "broken line\n");
    file.close();
    const QJsonArray cookies = ReadCookieFile(file.fileName());
    ASSERT_EQ(cookies.size(), 2);
    const QJsonObject wide = cookies[0].toObject(), only = cookies[1].toObject();
    EXPECT_EQ(wide.value("domain").toString(), ".example.org");
    EXPECT_TRUE(wide.value("secure").toBool());
    EXPECT_EQ(wide.value("expires").toDouble(), 2000000000.0);
    EXPECT_EQ(only.value("url").toString(), "http://shop.example/cart");
    EXPECT_TRUE(only.value("httpOnly").toBool());
    EXPECT_FALSE(only.contains("expires"));
}
