// Answers without end: endless bodies, a gzip bomb, megabytes of headers, redirects that never
// arrive, and page text full of bytes that are not text. The crawl abandons each at its limit
// with bounded memory, stores nothing of it and goes on with the next entry.
#include <algorithm>

#include "HostileServerCrawl.h"

namespace {

using HostileFlood = HostileCrawl;

constexpr std::int64_t kMiB = 1 << 20;
constexpr std::int64_t kGiB = std::int64_t{1} << 30;

TEST_F(HostileFlood, EndlessBodiesAreAbandonedAtTheSizeLimit) {
    serveNeighbours();
    server.on("/index.html",
              HostileAnswer::PageOf("<a href=\"endless.html\">e</a> <a href=\"next.html\">n</a>"
                                    " <img src=\"endless.jpg\"> <img src=\"after.jpg\">"));
    server.on("/endless.jpg", HostileAnswer::EndlessBody(false));
    server.on("/endless.html", HostileAnswer::EndlessBody(true));
    crawlWith(Quick(), "/index.html");

    EXPECT_EQ(stored(), QStringList({"000001.html", "000003.jpg", "000005.html"}));
    // Stopped at the 1 MiB limit: what the server got out is that plus the socket buffers.
    EXPECT_GT(server.sent("/endless.jpg"), kMiB);
    EXPECT_LT(server.sent("/endless.jpg"), 64 * kMiB);
    EXPECT_LT(server.sent("/endless.html"), 64 * kMiB);
    EXPECT_TRUE(completed());
}

TEST_F(HostileFlood, GzipBombIsAbandonedAtTheSizeLimit) {
    serveNeighbours();
    const HostileAnswer bomb = HostileAnswer::Bomb(4 * kGiB);
    ASSERT_LT(bomb.body.size(), 16u * 1024);  // a few KB on the wire
    server.on("/index.html",
              HostileAnswer::PageOf("<a href=\"bomb.html\">b</a> <a href=\"next.html\">n</a>"
                                    " <img src=\"bomb.png\"> <img src=\"after.jpg\">"));
    server.on("/bomb.png", bomb);
    server.on("/bomb.html", bomb);
    crawlWith(Quick(), "/index.html");

    EXPECT_EQ(stored(), QStringList({"000001.html", "000003.jpg", "000005.html"}));
    EXPECT_EQ(server.count("/bomb.png"), 1);
    EXPECT_TRUE(completed());
}

// The program's own limit, 512 MiB: the bomb is streamed to disk and given up there, never
// held in memory, and the window is serviced while it inflates.
TEST_F(HostileFlood, GzipBombStopsAtTheDefaultLimitWithoutFillingMemory) {
    const HostileAnswer bomb = HostileAnswer::Bomb(kGiB);
    serveNeighbours();
    server.on("/index.html",
              HostileAnswer::PageOf("<img src=\"bomb.png\"> <img src=\"after.jpg\">"));
    server.on("/bomb.png", bomb);
    const long before = ResidentKb();
    long peak = before;
    // Yields that find more written than at the one before: they came while the body was
    // being stored, not only before and after.
    std::int64_t written = WrittenBytes();
    int yieldsWhileWriting = 0;
    windows.onYield = [&] {
        peak = std::max(peak, ResidentKb());
        const std::int64_t now = WrittenBytes();
        if (now - written > kMiB) ++yieldsWhileWriting;
        written = now;
    };
    crawlWith(Defaults(), "/index.html");

    EXPECT_EQ(stored(), QStringList({"000001.html", "000003.jpg"}));
    EXPECT_LT(peak - before, 64 * 1024) << "KiB more than before the crawl";
    EXPECT_GE(yieldsWhileWriting, 3);
    EXPECT_TRUE(completed());
}

TEST_F(HostileFlood, CancelWhileTheBombInflatesStopsAtOnce) {
    serveNeighbours();
    server.on("/index.html",
              HostileAnswer::PageOf("<img src=\"bomb.png\"> <img src=\"after.jpg\">"));
    server.on("/bomb.png", HostileAnswer::Bomb(kGiB));
    const std::int64_t before = WrittenBytes();
    windows.onYield = [&] {
        if (WrittenBytes() - before > 4 * kMiB) gCancelRequested = -1;
    };
    crawlWith(Defaults(), "/index.html");

    EXPECT_EQ(stored(), QStringList({"000001.html"}));
    EXPECT_LT(WrittenBytes() - before, 256 * kMiB);  // far from the 512 MiB limit
    EXPECT_EQ(host.images.entries(),
              QStringList({server.url("/bomb.png"), server.url("/after.jpg")}));
    EXPECT_EQ(lastBox().text, "巡回を中止しました。");
}

TEST_F(HostileFlood, TenMegabytesOfHeadersAreRefused) {
    serveNeighbours();
    server.on("/index.html",
              HostileAnswer::PageOf("<a href=\"lines.html\">l</a> <a href=\"next.html\">n</a>"
                                    " <img src=\"long.jpg\"> <img src=\"after.jpg\">"));
    server.on("/lines.html", HostileAnswer::HeadersOf(10 * kMiB, 1000, "<img src=\"x.jpg\">"));
    server.on("/long.jpg", HostileAnswer::HeadersOf(10 * kMiB, 10 * kMiB, Picture('h', 3000)));
    const long before = ResidentKb();
    long peak = before;
    windows.onYield = [&] { peak = std::max(peak, ResidentKb()); };
    crawlWith(Quick(), "/index.html");

    EXPECT_EQ(stored(), QStringList({"000001.html", "000003.jpg", "000005.html"}));
    EXPECT_EQ(server.count("/x.jpg"), 0);
    EXPECT_LT(server.sent("/lines.html"), 10 * kMiB);  // given up before the end of the headers
    EXPECT_LT(peak - before, 32 * 1024) << "KiB more than before the crawl";
    EXPECT_TRUE(completed());
}

TEST_F(HostileFlood, RedirectLoopAndFiftyHopChainStopAfterTenRedirects) {
    serveNeighbours();
    server.on("/index.html",
              HostileAnswer::PageOf("<a href=\"loop.html\">l</a> <a href=\"next.html\">n</a>"
                                    " <img src=\"hop0.jpg\"> <img src=\"after.jpg\">"));
    server.on("/loop.html", HostileAnswer::RedirectTo("/loop2.html"));
    server.on("/loop2.html", HostileAnswer::RedirectTo(server.base() + "/loop.html"));
    for (int i = 0; i < 50; ++i)
        server.on("/hop" + std::to_string(i) + ".jpg",
                  HostileAnswer::RedirectTo("/hop" + std::to_string(i + 1) + ".jpg"));
    server.on("/hop50.jpg", HostileAnswer::PageOf(Picture('z', 3000), "image/jpeg"));
    crawlWith(Defaults(), "/index.html");

    EXPECT_EQ(stored(), QStringList({"000001.html", "000003.jpg", "000005.html"}));
    EXPECT_EQ(server.count("/hop10.jpg"), 1);  // ten redirects followed, the eleventh refused
    EXPECT_EQ(server.count("/hop11.jpg"), 0);
    EXPECT_EQ(server.count("/loop.html") + server.count("/loop2.html"), 11);
    EXPECT_TRUE(completed());
}

TEST_F(HostileFlood, BytesThatAreNotTextDoNotHideTheReferencesAroundThem) {
    serveNeighbours();
    using namespace std::string_literals;
    const std::string page =
        "\xff\xfe\x00\x00<p>\xc3(\xa0\xa1 \x00\x01\x02<img src=\"a.jpg\">\x00\x80\x81\x82 "
        "<img src=\"caf\xe9.jpg\"> <img src=\"nul\x00name.jpg\"> <img src=\"a.b\x00c.png\">\r\n"
        "\xed\xa0\x80\xf4\x90\x80\x80\x00<a href=\"next.html\">\xfe\xff</a>\x00\r\n"s;
    server.on("/index.html", HostileAnswer::PageOf(page));
    server.on("/a.jpg", HostileAnswer::PageOf(Picture('b', 3000), "image/jpeg"));
    server.on("/nul%00name.jpg", HostileAnswer::PageOf(Picture('n', 3000), "image/jpeg"));
    crawlWith(Defaults(), "/index.html");

    // a.jpg, the name with a NUL (sent encoded, never cut short) and next.html arrive; the
    // undecodable name is not on the server; the extension holding a NUL is no file name.
    EXPECT_EQ(stored(), QStringList({"000001.html", "000002.jpg", "000004.jpg", "000006.html"}));
    EXPECT_EQ(content("000002.jpg"), Picture('b', 3000));
    EXPECT_EQ(content("000004.jpg"), Picture('n', 3000));
    EXPECT_EQ(content("000001.html"), page);
    for (const std::string& target : server.targets()) {
        EXPECT_TRUE(
            std::all_of(target.begin(), target.end(), [](char c) { return c > 0x20 && c < 0x7f; }))
            << "not sent as printable ASCII: " << target;
    }
    EXPECT_TRUE(completed());
}

}  // namespace
