// The headless browser against loopback pages: a page that never goes quiet, and a browser that
// dies during a render; no browser process is left once its renderer is gone.
#include <gtest/gtest.h>
#include <signal.h>

#include <QTemporaryDir>

#include "ScriptedGallery.h"
#include "core/CrawlOptions.h"
#include "render/BrowserRenderer.h"
#include "render/BrowserSetup.h"

namespace {

class BrowserRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("TMPDIR", profiles.path().toUtf8());  // where the renderer makes its profiles
        setup = CrawlBrowserSetup(CrawlOptions{});
        ASSERT_FALSE(setup.program.isEmpty()) << "chromium-headless-shell is not installed";
        setup.proxy.clear();
        setup.quietMs = 200;
        site.page("/poll", "{}", "application/json");
    }
    void TearDown() override {
        qunsetenv("TMPDIR");
        EXPECT_TRUE(AllEnded(profiles.path()));
    }
    PageRenderer::Page render(BrowserRenderer& renderer, const std::string& path,
                              const std::string& html, const PageRenderer::Turn& turn) {
        return renderer.render(site.url(path), QByteArray::fromStdString(html),
                               QStringLiteral("text/html"), turn);
    }
    static bool Go() { return true; }

    QTemporaryDir profiles;
    BrowserSetup setup;
    LoopbackSite site;
};

}  // namespace

TEST_F(BrowserRendererTest, APageThatNeverGoesQuietEndsAtItsLimitWithWhatItHas) {
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
    EXPECT_TRUE(page.html.contains("<img src=\"/pics/a1.png\">"));
    EXPECT_GT(site.count("/poll"), 10);
    EXPECT_EQ(site.count("/pics/a1.png"), 0);  // answered in the browser
}

TEST_F(BrowserRendererTest, ABrowserThatDiesFailsThatPageAndTheNextStartsAnother) {
    BrowserRenderer renderer(setup);
    pid_t first = -1;
    const PageRenderer::Page killed = render(
        renderer, "/busy.html", "<script>setInterval(() => fetch('/poll'), 50);</script>", [&] {
            if (first < 0 && site.count("/poll") > 0) {
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
