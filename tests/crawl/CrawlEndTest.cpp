// A run tells how it ended as a value and shows nothing itself; the window's boxes come from it.
#include <QFileInfo>

#include "CrawlFixture.h"
#include "core/CrawlOptions.h"

namespace {

using CrawlEndTest = CrawlFixture;

TEST_F(CrawlEndTest, TheRunAsksOnlyTheStartQuestionAndTheWindowTellsItsEnd) {
    site.page("/index.html", "no links");
    host.url = site.url("/index.html");
    windows.answer(IDYES);
    const CrawlEnd end = RunCrawl(host, fetcher);
    ASSERT_EQ(windows.shown().size(), 1u);
    EXPECT_EQ(lastBox().title, "巡回の開始の確認");
    EXPECT_EQ(end.how, "completed");
    EXPECT_EQ(end.startUrl, host.url);
    ShowCrawlEnd(end, host);
    ASSERT_EQ(windows.shown().size(), 2u);
    EXPECT_EQ(lastBox().text, "巡回が完了しました。");
    ShowCrawlEnd(CrawlEnd{}, host);  // declined, or the program ending: nothing to tell
    EXPECT_EQ(windows.shown().size(), 2u);
}

TEST_F(CrawlEndTest, AFailedStartAndAMissingBrowserAreToldOnlyByTheWindow) {
    host.url = site.url("/missing.html");
    windows.answer(IDYES);
    const CrawlEnd failed = RunCrawl(host, fetcher);
    ASSERT_TRUE(failed.startFailure.has_value());
    EXPECT_EQ(failed.startFailure->httpStatus, 404);
    EXPECT_EQ(failed.startUrl, host.url);
    EXPECT_FALSE(QFileInfo::exists(gRunFolder));  // the empty run folder is gone already
    EXPECT_EQ(windows.shown().size(), 1u);

    gCrawlOptions.renderPages = true;
    host.makeRenderer = [](QString* problem) -> std::unique_ptr<PageRenderer> {
        *problem = "ブラウザなし";
        return nullptr;
    };
    const CrawlEnd refused = RunCrawl(host, fetcher);
    EXPECT_EQ(refused.refused, RunRefusal::NoBrowser);
    EXPECT_TRUE(refused.how.isEmpty());
    EXPECT_EQ(windows.shown().size(), 1u);
    ShowCrawlEnd(refused, host);
    EXPECT_EQ(lastBox().text, "ブラウザなし");
    EXPECT_EQ(lastBox().title, "入力エラー");
    EXPECT_EQ(lastBox().style, 0x1030);
}

}  // namespace
