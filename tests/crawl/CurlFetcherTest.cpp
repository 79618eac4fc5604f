// The libcurl transfer against a web site served on 127.0.0.1: bodies arrive unchanged and
// decoded, error statuses and broken transfers are failures that deliver nothing, file: stays
// shut unless allowed, and the caller gets its turns while a transfer waits. Each case runs with
// a pool of one and with a pool of several; either runs its transfers on a thread of its own.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "FetchHelpers.h"
#include "LoopbackSite.h"
#include "QtPrinters.h"
#include "net/CurlFetcher.h"

namespace {

class CurlFetcherTest : public ::testing::TestWithParam<int> {
protected:
    LoopbackSite site;
    CurlFetcher fetcher{TestOptions(GetParam())};
};

TEST_P(CurlFetcherTest, DeliversTheBodyAndNamesTheProgram) {
    std::string binary(300000, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = char(i * 7 % 251);
    site.page("/a.jpg", binary, "image/jpeg");
    const Fetched f = Get(fetcher, site.url("/a.jpg"));
    EXPECT_EQ(f.result.outcome, FetchOutcome::Ok) << f.result.error.toStdString();
    EXPECT_EQ(f.result.httpStatus, 200);
    EXPECT_TRUE(f.body == binary);
    ASSERT_EQ(site.requests().size(), 1u);
    EXPECT_EQ(site.requests()[0].userAgent, "SiteRambler/1.0");
}

TEST_P(CurlFetcherTest, ErrorStatusesAreFailuresThatDeliverNothing) {
    SiteRoute broken;
    broken.status = 500;
    broken.body = "<html>server error page</html>";
    site.route("/broken.jpg", broken);
    for (const char* path : {"/missing.jpg", "/broken.jpg"}) {
        const Fetched f = Get(fetcher, site.url(path));
        EXPECT_EQ(f.result.outcome, FetchOutcome::Failed) << path;
        EXPECT_GE(f.result.httpStatus, 400) << path;
        EXPECT_EQ(f.sinkCalls, 0) << path;
    }
}

TEST_P(CurlFetcherTest, RefusedConnectionFails) {
    const QString url = QString("http://127.0.0.1:%1/a.jpg").arg(UnusedLoopbackPort());
    const Fetched f = Get(fetcher, url);
    EXPECT_EQ(f.result.outcome, FetchOutcome::Failed);
    EXPECT_EQ(f.sinkCalls, 0);
}

TEST_P(CurlFetcherTest, FollowsRedirectsUpToTenAndFailsOnALoop) {
    site.page("/end.html", "arrived");
    site.redirect("/r1", "/r2");
    site.redirect("/r2", site.base() + "/r3");
    site.redirect("/r3", "/end.html");
    Fetched f = Get(fetcher, site.url("/r1"));
    EXPECT_EQ(f.result.outcome, FetchOutcome::Ok) << f.result.error.toStdString();
    EXPECT_EQ(f.body, "arrived");
    EXPECT_EQ(f.result.url, site.url("/end.html"));  // what the page's references resolve by

    // Left to the caller: the target is told, nothing of the redirect's body is written.
    fetcher.setRedirectsFollowed(false);
    f = Get(fetcher, site.url("/r2"));
    EXPECT_EQ(f.result.outcome, FetchOutcome::Failed);
    EXPECT_EQ(f.result.redirect, site.url("/r3"));
    EXPECT_EQ(f.sinkCalls, 0);
    EXPECT_EQ(site.count("/end.html"), 1);
    fetcher.setRedirectsFollowed(true);

    site.redirect("/loop1", "/loop2");
    site.redirect("/loop2", "/loop1");
    f = Get(fetcher, site.url("/loop1"));
    EXPECT_EQ(f.result.outcome, FetchOutcome::Failed);
    EXPECT_EQ(f.sinkCalls, 0);
    EXPECT_EQ(site.count("/loop1") + site.count("/loop2"), 11);  // the first and ten more
}

TEST_P(CurlFetcherTest, FileUrlsOnlyWhenAllowedAndNeverByRedirect) {
    QTemporaryDir dir;
    QFile local(dir.filePath("secret.jpg"));
    ASSERT_TRUE(local.open(QIODevice::WriteOnly));
    local.write("local bytes");
    local.close();
    const QString fileUrl = "file://" + local.fileName();

    EXPECT_EQ(Get(fetcher, fileUrl).result.outcome, FetchOutcome::Failed);
    fetcher.setFilePolicy(FileUrlPolicy::ForCrawlFrom(fileUrl));
    const Fetched allowed = Get(fetcher, fileUrl);
    EXPECT_EQ(allowed.result.outcome, FetchOutcome::Ok) << allowed.result.error.toStdString();
    EXPECT_EQ(allowed.body, "local bytes");
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("pipe.jpg")).constData(), 0600), 0);
    for (const QString& other : {dir.filePath("pipe.jpg"), dir.path(), QString("/dev/zero")}) {
        const Fetched no = Get(fetcher, "file://" + other);  // a FIFO used to hold it for good
        EXPECT_TRUE(no.result.cause == FetchCause::NotFound && no.sinkCalls == 0 &&
                    no.result.error.startsWith("file: "))
            << other.toStdString();
    }

    site.redirect("/to-file.jpg", fileUrl.toStdString());
    const Fetched redirected = Get(fetcher, site.url("/to-file.jpg"));
    EXPECT_EQ(redirected.result.outcome, FetchOutcome::Failed);
    EXPECT_EQ(redirected.sinkCalls, 0);
}

TEST_P(CurlFetcherTest, StalledTransferIsAbandonedAndTheCallerKeepsItsTurns) {
    SiteRoute stall;
    stall.body = "first bytes";
    stall.stall = true;
    site.route("/stall.jpg", stall);
    int turns = 0;
    const auto started = std::chrono::steady_clock::now();
    const Fetched f = Get(fetcher, site.url("/stall.jpg"), [&] { return ++turns > 0; });
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(f.result.outcome, FetchOutcome::Failed);
    EXPECT_LT(waited, std::chrono::seconds(20));
    EXPECT_GT(turns, 10);  // the caller ran again and again while nothing arrived
}

TEST_P(CurlFetcherTest, ProgressCanAbortATransfer) {
    SiteRoute slow;
    slow.body = "late";
    slow.delayMs = 1000;
    site.route("/slow.jpg", slow);
    int turns = 0;
    const Fetched f = Get(fetcher, site.url("/slow.jpg"), [&] { return ++turns < 5; });
    EXPECT_EQ(f.result.outcome, FetchOutcome::Aborted);
    EXPECT_EQ(turns, 5);
    EXPECT_EQ(f.sinkCalls, 0);

    // The handle is good for the next transfer.
    site.page("/next.jpg", "next");
    EXPECT_EQ(Get(fetcher, site.url("/next.jpg")).body, "next");
}

TEST_P(CurlFetcherTest, BodiesAreDecodedAndTheDecodedSizeIsLimited) {
    const std::string text(100000, 'z');
    SiteRoute packed;
    packed.body = Gzip(text);
    packed.contentEncoding = "gzip";
    packed.contentType = "application/octet-stream";
    site.route("/packed.html", packed);
    Fetched f = Get(fetcher, site.url("/packed.html"));
    EXPECT_EQ(f.result.outcome, FetchOutcome::Ok) << f.result.error.toStdString();
    EXPECT_TRUE(f.body == text);
    EXPECT_FALSE(site.requests().back().acceptEncoding.empty());

    CurlFetcher::Options small = TestOptions(GetParam());
    small.maxBodyBytes = 50000;  // the compressed body is far smaller, the decoded one larger
    CurlFetcher limited(small);
    f = Get(limited, site.url("/packed.html"));
    EXPECT_EQ(f.result.outcome, FetchOutcome::Failed);
    EXPECT_LE(f.body.size(), 50000u);

    site.page("/exact.jpg", std::string(50000, 'e'), "image/jpeg");
    EXPECT_EQ(Get(limited, site.url("/exact.jpg")).result.outcome, FetchOutcome::Ok);
}

TEST_P(CurlFetcherTest, BlanksAndNonAsciiGoPercentEncoded) {
    EXPECT_EQ(EncodeUrlForTransfer(QString::fromUtf8("http://h/a b/\xc3\xbc.jpg?q=%41")),
              "http://h/a%20b/%C3%BC.jpg?q=%41");
    site.page(std::string("/a b/\xc3\xbc.jpg"), "found", "image/jpeg");
    const Fetched f = Get(fetcher, site.url(std::string("/a b/\xc3\xbc.jpg")));
    EXPECT_EQ(f.result.outcome, FetchOutcome::Ok) << f.result.error.toStdString();
    EXPECT_EQ(f.body, "found");
    EXPECT_EQ(site.requests().back().target, "/a%20b/%C3%BC.jpg");
}

TEST_P(CurlFetcherTest, OneHandleKeepsItsConnectionAcrossFetches) {
    site.page("/1.jpg", "one", "image/jpeg");
    site.page("/2.jpg", "two", "image/jpeg");
    EXPECT_EQ(Get(fetcher, site.url("/1.jpg")).body, "one");
    EXPECT_EQ(Get(fetcher, site.url("/2.jpg")).body, "two");
    const auto requests = site.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].remotePort, requests[1].remotePort);  // the same connection
}

// A fetch asked for while the transfer thread is still at work on the last one starts at once:
// the thread looks for requests after it said it sleeps, so none waits for its sleep's bound.
TEST_P(CurlFetcherTest, FetchesAskedOneAfterAnotherStartAtOnce) {
    site.page("/t.jpg", "t", "image/jpeg");
    auto longest = std::chrono::steady_clock::duration::zero();
    for (int i = 0; i < 50; ++i) {
        const auto started = std::chrono::steady_clock::now();
        ASSERT_EQ(Get(fetcher, site.url("/t.jpg")).body, "t");
        longest = std::max(longest, std::chrono::steady_clock::now() - started);
    }
    EXPECT_LT(longest, std::chrono::milliseconds(500));
}

TEST_P(CurlFetcherTest, AWriteThatFailsStopsTheTransferWithItsError) {
    site.page("/big.jpg", std::string(1 << 20, 'b'), "image/jpeg");
    int calls = 0;
    const FetchResult r = FetchWith(fetcher, site.url("/big.jpg"), [&](const char*, std::size_t) {
        return ++calls < 2 ? 0 : EIO;
    });
    EXPECT_EQ(r.outcome, FetchOutcome::Failed);
    EXPECT_EQ(r.storageError, EIO);
    EXPECT_EQ(calls, 2);
}

// A robots.txt is read only up to its cap: the transfer ends there, whatever the server would
// send. Protocols other than the web's are never fetched.
TEST_P(CurlFetcherTest, AByteCapEndsTheTransferWhereItIsReachedAndOtherProtocolsStayShut) {
    site.page("/robots.txt", std::string(4 << 20, '#'), "text/plain");
    CurlFetcher::Options patient = TestOptions(GetParam());
    patient.lowSpeedSeconds = 10;  // a loaded machine may take a while to send the first byte
    CurlFetcher fetcher(patient);
    std::int64_t written = 0;
    const int id = fetcher.start(site.url("/robots.txt"), 512 * 1024,
                                 [&written](const char*, std::size_t size) {
                                     written += std::int64_t(size);
                                     return 0;
                                 });
    while (fetcher.wait(id, {}) != Transfers::Wait::Ready) {
    }
    const FetchResult capped = fetcher.release(id);
    EXPECT_EQ(written, 512 * 1024) << capped.error.toStdString();
    EXPECT_EQ(capped.httpStatus, 200);
    EXPECT_EQ(capped.outcome, FetchOutcome::Failed);
    for (const char* scheme : {"dict", "gopher", "ftp"}) {
        const QString url = QString("%1://127.0.0.1:%2/x").arg(scheme).arg(site.port());
        const Fetched f = Get(fetcher, url);
        EXPECT_EQ(f.result.outcome, FetchOutcome::Failed) << scheme;
        EXPECT_EQ(f.sinkCalls, 0) << scheme;
    }
}

INSTANTIATE_TEST_SUITE_P(Connections, CurlFetcherTest, ::testing::Values(1, 4));

// Beyond its connections the pool waits: never more than two at once, the one the run waits for
// first, and that one starts even when each connection holds a body kept back for the run.
TEST(CurlFetcherQueueTest, TransfersBeyondTheConnectionsWaitAndTheOneWaitedForGoesFirst) {
    LoopbackSite site;
    const auto path = [](int n) { return "/" + std::to_string(n); };
    for (int n = 0; n <= 7; ++n) site.route(path(n), {.body = "s", .delayMs = n > 0 ? 100 : 0});
    site.page("/big", std::string(4 << 20, 'b'));
    CurlFetcher fetcher(TestOptions(2));
    for (int i = 0; i < 2; ++i) Get(fetcher, site.url(path(0)));  // tells it: HTTP/1
    std::vector<int> ids;
    for (int n = 1; n <= 7; ++n)
        ids.push_back(fetcher.start(site.url(path(n)), 9, [](auto, auto) { return 0; }));
    fetcher.hurry(ids.back());
    for (const int id : ids) EXPECT_EQ(Finish(fetcher, id).outcome, FetchOutcome::Ok);
    const std::vector<SiteRequest> r = site.requests();
    for (std::size_t i = 2; i + 2 < r.size(); ++i)  // of three, two shared a connection
        EXPECT_GE(r[i + 2].at - r[i].at, std::chrono::milliseconds(100)) << i;
    const auto hurried = std::find_if(r.begin(), r.end(), [](auto& q) { return q.path == "/7"; });
    EXPECT_LT(hurried - r.begin(), 6);  // in the second round, not the last

    std::vector<int> kept;
    for (int i = 0; i < 2; ++i) {
        kept.push_back(fetcher.start(site.url("/big"), 8 << 20, [](auto, auto) { return EAGAIN; }));
        EXPECT_EQ(fetcher.wait(kept.back(), {}), Transfers::Wait::Ready);  // held for room
    }
    const int now = fetcher.start(site.url(path(0)), 9, [](auto, auto) { return 0; });
    fetcher.hurry(now);
    const auto started = std::chrono::steady_clock::now();
    const auto patient = [&] {
        return std::chrono::steady_clock::now() - started < std::chrono::seconds(5);
    };
    EXPECT_EQ(Finish(fetcher, now, patient).outcome, FetchOutcome::Ok);
    for (const int id : kept) fetcher.release(id);
}

}  // namespace
