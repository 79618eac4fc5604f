// A run tells how it ended as a value and shows nothing itself; the window's boxes come from it.
#include <QFileInfo>

#include "CrawlFixture.h"
#include "core/CrawlOptions.h"

namespace {

using CrawlEndTest = CrawlFixture;

TEST_F(CrawlEndTest, TheRunAsksOnlyTheStartQuestionAndTheWindowTellsTheRest) {
    host.url = site.url("/missing.html");
    windows.answer(IDYES);
    const CrawlEnd failed = RunCrawl(host, fetcher);
    ASSERT_TRUE(failed.startFailure.has_value());
    EXPECT_EQ(failed.startUrl, host.url);
    EXPECT_FALSE(QFileInfo::exists(gRunFolder));  // the empty run folder is gone already
    ASSERT_EQ(windows.shown().size(), 1u);
    ShowCrawlEnd(failed, host);
    EXPECT_EQ(lastBox().title, "巡回エラー");
    ShowCrawlEnd(CrawlEnd{}, host);  // declined, or the program ending: nothing to tell
    EXPECT_EQ(windows.shown().size(), 2u);

    gCrawlOptions.renderPages = true;
    host.makeRenderer = [](QString* problem) -> std::unique_ptr<PageRenderer> {
        *problem = "ブラウザなし";
        return nullptr;
    };
    const CrawlEnd refused = RunCrawl(host, fetcher);
    EXPECT_EQ(refused.refused, RunRefusal::NoBrowser);
    EXPECT_EQ(windows.shown().size(), 2u);
    ShowCrawlEnd(refused, host);
    EXPECT_EQ(lastBox().text, "ブラウザなし");
    EXPECT_EQ(lastBox().style, 0x1030);
}

}  // namespace
