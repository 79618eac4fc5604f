// Pages built to break an HTML parser, read with pages read as HTML: deep nesting, a page that
// keeps the parser busy, a compressed page of hundreds of megabytes. Each crawl ends, keeps its
// memory bounded, heeds a stop, and still follows what the page links before the trouble.
#include <algorithm>

#include "HostileServerCrawl.h"
#include "core/CrawlOptions.h"

namespace {

class HostileHtml : public HostileCrawl {
protected:
    void SetUp() override {
        HostileCrawl::SetUp();
        gCrawlOptions.parseHtml = true;
        serveNeighbours();
    }
    static std::string Repeat(const std::string& piece, int times) {
        std::string text;
        text.reserve(piece.size() * std::size_t(times));
        for (int i = 0; i < times; ++i) text += piece;
        return text;
    }
};

TEST_F(HostileHtml, DeepNestingIsCutAndTheCrawlGoesOn) {
    server.on("/index.html", HostileAnswer::PageOf("<a href=\"frames.html\">f</a>"
                                                   "<a href=\"divs.html\">d</a>"));
    server.on("/frames.html", HostileAnswer::PageOf("<frameset><frame src=\"next.html\">" +
                                                    Repeat("<frameset>", 300000)));
    server.on("/divs.html", HostileAnswer::PageOf("<img src=\"after.jpg\">" +
                                                  Repeat("<div>", 1000000) + "<a href=x.html>"));
    crawlWith(Defaults(), "/index.html");

    EXPECT_EQ(server.count("/next.html"), 1);
    EXPECT_EQ(server.count("/after.jpg"), 1);
    EXPECT_EQ(server.count("/x.html"), 0);  // past the depth: left
    EXPECT_TRUE(completed());
}

// Five hundred open formatting elements and then megabytes of text: the parser's work for each
// character grows with them, and it asks for no memory while it reads text.
TEST_F(HostileHtml, AStopEndsALongParseAtOnce) {
    server.on("/index.html",
              HostileAnswer::PageOf("<a href=\"next.html\">n</a>" + Repeat("<div>", 500) + "<b>" +
                                    std::string(16 << 20, 'x')));
    std::chrono::steady_clock::time_point stopped;
    windows.onYield = [&] {
        if (gCancelRequested == 0 && server.count("/index.html") == 1 &&
            !server.busy("/index.html") && stopped == decltype(stopped)()) {
            stopped = std::chrono::steady_clock::now();
            gCancelRequested = -1;
        }
    };
    crawlWith(Defaults(), "/index.html");

    ASSERT_NE(stopped, decltype(stopped)());
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(3));
    EXPECT_EQ(lastBox().text, QStringLiteral("巡回を中止しました。"));
}

// Inflated, the page is 128 MB of <img> tags; the parser's tree of all that takes gigabytes.
TEST_F(HostileHtml, AHugeCompressedPageIsReadWithinBounds) {
    const std::string tags = Repeat("<img src=\"after.jpg\">", 1000) + "\r\n";
    HostileAnswer page = HostileAnswer::Bomb(0);
    page.contentType = "text/html";
    page.body = GzipBytes(GzipOfRepeats(Repeat(tags, (1 << 20) / int(tags.size())), 128));
    ASSERT_LT(page.body.size(), 1u << 20);
    server.on("/index.html", page);
    const long before = ResidentKb();
    long peak = before;
    windows.onYield = [&] { peak = std::max(peak, ResidentKb()); };
    crawlWith(Defaults(), "/index.html");

    EXPECT_EQ(server.count("/after.jpg"), 1);
    EXPECT_LT(peak - before, 1 << 20) << "KiB more than before the crawl";
    EXPECT_TRUE(completed());
}

}  // namespace
