// Transfers that break off, stall, crawl along or disagree with their own length: each one is
// a failed fetch that leaves no file (not even a hidden temporary), the crawl goes on to the
// next entry, and the window keeps being serviced while the server holds the crawl up.
#include "FetchHelpers.h"
#include "HostileServerCrawl.h"

namespace {

using HostileTransfer = HostileCrawl;

const char kStartPage[] =
    "<a href=\"broken.html\">x</a> <a href=\"next.html\">y</a>\n"
    "<img src=\"broken.jpg\"> <img src=\"after.jpg\">\n";

TEST_F(HostileTransfer, ResetInTheMiddleOfTheBodyLeavesNothingBehind) {
    serveNeighbours();
    server.on("/index.html", HostileAnswer::PageOf(kStartPage));
    server.on("/broken.jpg", HostileAnswer::ResetAfter(Picture('r', 50000), 100000));
    server.on("/broken.html", HostileAnswer::ResetAfter(std::string(30000, ' '), 60000));
    countYieldsDuring("/broken.jpg");
    crawlWith(Defaults(), "/index.html");

    EXPECT_EQ(stored(), QStringList({"000001.html", "000003.jpg", "000005.html"}));
    EXPECT_EQ(content("000003.jpg"), Picture('a', 3000));
    EXPECT_EQ(gFileCounter, 5);  // the broken attempts used up their numbers
    EXPECT_EQ(gImageCount, 1);
    EXPECT_GT(server.sent("/broken.jpg"), 50000);  // half the body did arrive before the reset
    EXPECT_GT(yieldsDuring, 0);
    EXPECT_TRUE(completed());
}

TEST_F(HostileTransfer, StallAfterTheHeadersIsAbandonedWhileTheWindowIsServiced) {
    serveNeighbours();
    server.on("/index.html", HostileAnswer::PageOf(kStartPage));
    server.on("/broken.jpg", HostileAnswer::Stall(5000));
    server.on("/broken.html", HostileAnswer::Stall(5000));
    countYieldsDuring("/broken.jpg");
    crawlWith(Quick(), "/index.html");

    EXPECT_EQ(stored(), QStringList({"000001.html", "000003.jpg", "000005.html"}));
    EXPECT_EQ(server.targets(),
              std::vector<std::string>(
                  {"/index.html", "/broken.jpg", "/after.jpg", "/broken.html", "/next.html"}));
    // The crawl waited for at least the low-speed time, yielding at every turn meanwhile.
    EXPECT_GT(yieldsDuring, 10);
    EXPECT_TRUE(completed());
}

TEST_F(HostileTransfer, CancelDuringAStallEndsTheRunWithTheEntryStillQueued) {
    serveNeighbours();
    server.on("/index.html", HostileAnswer::PageOf(kStartPage));
    server.on("/broken.jpg", HostileAnswer::Stall(5000));
    CurlFetcher::Options patient = Quick();
    patient.lowSpeedSeconds = 600;  // only the cancel button can end this wait
    windows.onYield = [this] {
        if (server.busy("/broken.jpg")) gCancelRequested = -1;
    };
    crawlWith(patient, "/index.html");

    EXPECT_EQ(stored(), QStringList({"000001.html"}));
    EXPECT_EQ(host.images.entries(),
              QStringList({server.url("/broken.jpg"), server.url("/after.jpg")}));
    EXPECT_EQ(lastBox().text, "巡回を中止しました。");
}

TEST_F(HostileTransfer, TrickleSlowerThanTheSpeedLimitIsAbandoned) {
    serveNeighbours();
    server.on("/index.html", HostileAnswer::PageOf(kStartPage));
    server.on("/broken.jpg", HostileAnswer::TrickleOf(Picture('t', 100), 1000));
    CurlFetcher::Options strict = Quick();
    strict.lowSpeedBytes = 2;  // one byte a second is too slow for this fetcher
    countYieldsDuring("/broken.jpg");
    crawlWith(strict, "/index.html");

    EXPECT_EQ(stored(), QStringList({"000001.html", "000003.jpg", "000005.html"}));
    EXPECT_LT(server.sent("/broken.jpg"), 200);  // headers and a few bytes, not the body
    EXPECT_GT(yieldsDuring, 10);
    EXPECT_TRUE(completed());
}

TEST_F(HostileTransfer, TrickleOfOneByteASecondStillArrivesWhole) {
    // One byte a second is exactly the slowest speed the program accepts.
    serveNeighbours();
    server.on("/index.html",
              HostileAnswer::PageOf("<img src=\"slow.jpg\"><img src=\"after.jpg\">"));
    server.on("/slow.jpg", HostileAnswer::TrickleOf("OK", 1000));
    countYieldsDuring("/slow.jpg");
    crawlWith(Defaults(), "/index.html");

    EXPECT_EQ(stored(), QStringList({"000001.html", "000002.jpg", "000003.jpg"}));
    EXPECT_EQ(content("000002.jpg"), "OK");
    EXPECT_GT(yieldsDuring, 10);
}

// Fast enough for the speed rule, too slow to end: a bounded total time fails it.
TEST_F(HostileTransfer, ATransferPastItsTotalTimeIsAFailedFetch) {
    server.on("/slow.jpg", HostileAnswer::TrickleOf(Picture('t', 1000), 20));
    CurlFetcher::Options bounded = Quick();
    bounded.totalTimeoutMs = 1000;
    CurlFetcher curl(bounded);
    const Fetched f = Get(curl, server.url("/slow.jpg"));
    EXPECT_EQ(f.result.cause, FetchCause::TimedOut) << f.result.error.toStdString();
}

TEST_F(HostileTransfer, BodyShorterThanItsLengthIsAFailure) {
    serveNeighbours();
    server.on("/index.html", HostileAnswer::PageOf(kStartPage));
    server.on("/broken.jpg", HostileAnswer::LengthMismatch(Picture('s', 2000), 5000));
    server.on("/broken.html", HostileAnswer::LengthMismatch("<img src=\"x.jpg\">", 100));
    crawlWith(Defaults(), "/index.html");

    EXPECT_EQ(stored(), QStringList({"000001.html", "000003.jpg", "000005.html"}));
    EXPECT_EQ(server.count("/x.jpg"), 0);  // the cut page was never scanned
    EXPECT_TRUE(completed());
}

TEST_F(HostileTransfer, BodyLongerThanItsLengthIsCutAndItsExcessNeverReadAsAnAnswer) {
    // The excess is a whole forged answer: a client that kept the connection for the next
    // request would store it as the next picture.
    const std::string forged = "HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nFORGED";
    const std::string real = Picture('l', 3000);
    server.on("/index.html", HostileAnswer::PageOf("<img src=\"long.jpg\"> <img src=\"one.jpg\">"
                                                   " <a href=\"long.html\">x</a>"));
    server.on("/long.jpg", HostileAnswer::LengthMismatch(real + forged, 3000));
    server.on("/one.jpg", HostileAnswer::PageOf("first", "image/jpeg"));
    const std::string page = "<img src=\"one.jpg\">";
    server.on("/long.html", HostileAnswer::LengthMismatch(page + forged, int(page.size())));
    crawlWith(Defaults(), "/index.html");

    EXPECT_EQ(stored(), QStringList({"000001.html", "000002.jpg", "000003.jpg", "000004.html",
                                     "000005.jpg"}));
    EXPECT_EQ(content("000002.jpg"), real);
    EXPECT_EQ(content("000003.jpg"), "first");
    EXPECT_EQ(content("000004.html"), page);
    EXPECT_EQ(content("000005.jpg"), "first");
    EXPECT_EQ(server.count("/one.jpg"), 2);
}

TEST_F(HostileTransfer, EmptyBodyIsAnEmptyFileThatTheRulesTreatAsSmall) {
    server.on("/index.html",
              HostileAnswer::PageOf("<a href=\"empty.html\">e</a> <img src=\"empty.jpg\">"));
    server.on("/empty.html", HostileAnswer::PageOf(""));
    server.on("/empty.jpg", HostileAnswer::PageOf("", "image/jpeg"));
    crawlWith(Defaults(), "/index.html");
    EXPECT_EQ(stored(), QStringList({"000001.html", "000002.jpg", "000003.html"}));
    EXPECT_EQ(content("000002.jpg"), "");
    EXPECT_EQ(content("000003.html"), "");
    EXPECT_EQ(gImageCount, 1);

    // With small images deleted, an empty one is the smallest of all.
    gPictAutoDelete = "0";
    windows.clearShown();
    crawlWith(Defaults(), "/index.html");
    EXPECT_EQ(stored(), QStringList({"000004.html", "000006.html"}));
    EXPECT_EQ(gImageCount, 0);
    EXPECT_EQ(host.caption(), "Site Rambler");
    EXPECT_TRUE(completed());
}

}  // namespace
