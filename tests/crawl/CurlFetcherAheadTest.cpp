// Transfers fetched ahead of the run: each serves one fetch of its URL with the bytes and the
// result a direct fetch gives, entries that leave the lookahead are dropped, the number held
// stays bounded, nothing stays in the run folder, and the delay between requests holds.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cerrno>
#include <chrono>
#include <string>

#include "LoopbackSite.h"
#include "QtPrinters.h"
#include "core/basGlobal.h"
#include "crawl/FileDigest.h"
#include "FetchHelpers.h"
#include "net/CurlFetcher.h"

namespace {

class CurlFetcherAheadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGlobals();
        ASSERT_TRUE(runFolder.isValid());
        gRunFolder = runFolder.path();
    }
    void TearDown() override { ResetGlobals(); }

    // The run's queue: the fetcher reads what comes next from it, the current entry first.
    void follow(CurlFetcher& fetcher) {
        fetcher.setLookahead([this](int max) { return queue.mid(0, max); });
    }
    // Fetches the queue's first entry as the run does, then takes it off the queue.
    Fetched next(CurlFetcher& fetcher, const Fetcher::Progress& progress = {}) {
        Fetched f = Get(fetcher, queue.front(), progress);
        queue.removeFirst();
        return f;
    }
    QStringList leftInRunFolder() const {
        return QDir(gRunFolder)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    QTemporaryDir runFolder;
    LoopbackSite site;
    QStringList queue;
};

template <typename Bytes>
QByteArray DigestOf(const Bytes& body) {
    Sha256 sha;
    sha.update(body.data(), static_cast<std::size_t>(body.size()));
    return sha.digest();
}

std::string Body(int n) {
    return "body " + std::to_string(n) + std::string(n * 1000, char('a' + n % 26));
}

TEST_F(CurlFetcherAheadTest, FetchesAheadInQueueOrderAndServesEachBodyOnce) {
    for (int n = 1; n <= 9; ++n) {
        site.page("/" + std::to_string(n) + ".jpg", Body(n), "image/jpeg");
        queue << site.url("/" + std::to_string(n) + ".jpg");
    }
    site.page("/twice.jpg", "twice", "image/jpeg");
    queue << site.url("/twice.jpg") << site.url("/twice.jpg");
    CurlFetcher fetcher(TestOptions(2));
    follow(fetcher);

    int mostHeld = 0;
    const Fetcher::Progress watch = [&] {
        mostHeld = std::max(mostHeld, fetcher.aheadCount());
        return true;
    };
    for (int n = 1; n <= 9; ++n) {
        const Fetched f = next(fetcher, watch);
        EXPECT_EQ(f.result.outcome, FetchOutcome::Ok) << n << f.result.error.toStdString();
        EXPECT_EQ(f.result.httpStatus, 200);
        EXPECT_TRUE(f.body == Body(n)) << n;
        if (n == 1) EXPECT_GT(fetcher.aheadCount(), 0);  // the next ones are under way
    }
    EXPECT_EQ(next(fetcher).body, "twice");
    EXPECT_EQ(next(fetcher).body, "twice");
    EXPECT_LE(mostHeld, 4);  // two connections: at most four held ahead

    // Every entry asked for once went over the wire once; the one queued twice went twice.
    for (int n = 1; n <= 9; ++n) EXPECT_EQ(site.count("/" + std::to_string(n) + ".jpg"), 1) << n;
    EXPECT_EQ(site.count("/twice.jpg"), 2);
    fetcher.setLookahead({});
    EXPECT_EQ(fetcher.aheadCount(), 0);
    EXPECT_EQ(leftInRunFolder(), QStringList());
}

TEST_F(CurlFetcherAheadTest, ResultsFetchedAheadAreTheResultsOfADirectFetch) {
    SiteRoute slow;
    slow.body = "slow";
    slow.delayMs = 300;  // the others finish ahead meanwhile
    site.route("/slow.html", slow);
    SiteRoute broken;
    broken.status = 500;
    broken.body = "<html>server error page</html>";
    site.route("/broken.jpg", broken);
    SiteRoute packed;
    packed.body = Gzip(std::string(100000, 'z'));
    packed.contentEncoding = "gzip";
    site.route("/packed.html", packed);
    site.page("/end.jpg", "arrived", "image/jpeg");
    site.redirect("/r1.jpg", "/r2.jpg");
    site.redirect("/r2.jpg", "/end.jpg");
    site.redirect("/loop1", "/loop2");
    site.redirect("/loop2", "/loop1");
    site.redirect("/to-file.jpg", "file:///etc/hostname");
    const std::vector<std::string> paths = {"/slow.html",   "/missing.jpg", "/broken.jpg",
                                            "/packed.html", "/r1.jpg",      "/loop1",
                                            "/to-file.jpg"};

    CurlFetcher direct(TestOptions(1));
    CurlFetcher pool(TestOptions(8));
    for (const auto& path : paths) queue << site.url(path);
    follow(pool);
    for (const auto& path : paths) {
        const Fetched expected = Get(direct, site.url(path));
        const Fetched got = next(pool);
        EXPECT_EQ(got.result.outcome, expected.result.outcome) << path;
        EXPECT_EQ(got.result.httpStatus, expected.result.httpStatus) << path;
        EXPECT_EQ(got.result.error, expected.result.error) << path;
        EXPECT_TRUE(got.body == expected.body) << path;
        if (expected.result.outcome != FetchOutcome::Ok) EXPECT_EQ(got.sinkCalls, 0) << path;
        if (got.result.outcome == FetchOutcome::Ok)
            EXPECT_EQ(got.result.sha256, DigestOf(got.body)) << path;
    }
    EXPECT_EQ(site.count("/missing.jpg"), 2);  // once each, the error pages never stored

    // The pool digests every body it hands over, fetched ahead or not: the run need not.
    EXPECT_TRUE(pool.digestsBodies());
    EXPECT_FALSE(direct.digestsBodies());
    const Fetched unplanned = Get(pool, site.url("/packed.html"));
    ASSERT_EQ(unplanned.result.outcome, FetchOutcome::Ok);
    EXPECT_EQ(unplanned.result.sha256, DigestOf(unplanned.body));
    EXPECT_EQ(unplanned.body.size(), 100000u);
}

TEST_F(CurlFetcherAheadTest, EntriesThatLeaveTheQueueAreDroppedAndFetchedAnewWhenBack) {
    SiteRoute slow;
    slow.body = "first";
    slow.delayMs = 200;
    site.route("/first.jpg", slow);
    site.page("/b.jpg", "b", "image/jpeg");
    site.page("/c.jpg", "c", "image/jpeg");
    CurlFetcher fetcher(TestOptions(4));
    queue = {site.url("/first.jpg"), site.url("/b.jpg"), site.url("/c.jpg")};
    follow(fetcher);
    bool deleted = false;
    // The user deletes both queued entries while the first one is fetched, once the others
    // were fetched ahead.
    const Fetched first = next(fetcher, [&] {
        if (!deleted && site.count("/b.jpg") == 1 && site.count("/c.jpg") == 1) {
            queue = {site.url("/first.jpg")};
            deleted = true;
        }
        return true;
    });
    EXPECT_EQ(first.body, "first");
    EXPECT_TRUE(deleted);
    EXPECT_EQ(fetcher.aheadCount(), 0);
    EXPECT_EQ(site.count("/b.jpg"), 1);  // it was fetched ahead, and then dropped

    // Queued again later: fetched again, never served from the dropped transfer.
    queue = {site.url("/b.jpg")};
    EXPECT_EQ(next(fetcher).body, "b");
    EXPECT_EQ(site.count("/b.jpg"), 2);

    // A stop asked for while waiting for a transfer fetched ahead aborts that fetch only.
    SiteRoute stall;
    stall.body = "some bytes";
    stall.stall = true;
    site.route("/stall.jpg", stall);
    queue = {site.url("/stall.jpg"), site.url("/c.jpg")};
    int waits = 0;
    const Fetched stopped = next(fetcher, [&] { return ++waits < 20; });
    EXPECT_EQ(stopped.result.outcome, FetchOutcome::Aborted);
    EXPECT_EQ(stopped.sinkCalls, 0);
    EXPECT_EQ(next(fetcher).body, "c");

    // Without a run folder to hold bodies, every entry is fetched when asked for.
    gRunFolder.clear();
    queue = {site.url("/b.jpg"), site.url("/c.jpg")};
    EXPECT_EQ(next(fetcher).body, "b");
    EXPECT_EQ(next(fetcher).body, "c");
    fetcher.setLookahead({});
    gRunFolder = runFolder.path();
    EXPECT_EQ(leftInRunFolder(), QStringList());
}

TEST_F(CurlFetcherAheadTest, StartsOfRequestsToOneHostKeepTheDelay) {
    for (const char* path : {"/d1.jpg", "/d2.jpg", "/d3.jpg"}) site.page(path, path);
    for (const int connections : {1, 4}) {
        CurlFetcher::Options options = TestOptions(connections);
        options.delayMs = 150;
        CurlFetcher fetcher(options);
        queue = {site.url("/d1.jpg"), site.url("/d2.jpg"), site.url("/d3.jpg")};
        follow(fetcher);
        const auto started = std::chrono::steady_clock::now();
        while (!queue.isEmpty()) EXPECT_EQ(next(fetcher).result.outcome, FetchOutcome::Ok);
        EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(300))
            << connections;
    }
}

}  // namespace

TEST_F(CurlFetcherAheadTest, EntriesPushedBackInTheQueueAreKeptAndLargeBodiesArriveWhole) {
    // A body beyond what is held in memory moves to a file on the way and still arrives whole.
    std::string large(std::size_t{3} * 1024 * 1024 + 17, 'x');
    for (std::size_t i = 0; i < large.size(); i += 4093) large[i] = char('a' + i % 26);
    site.page("/large.jpg", large, "image/jpeg");
    site.page("/page.html", "<html>page</html>");
    for (int n = 1; n <= 6; ++n) {
        site.page("/p" + std::to_string(n) + ".html", Body(n));
        site.page("/i" + std::to_string(n) + ".jpg", Body(n + 10), "image/jpeg");
    }
    queue << site.url("/page.html") << site.url("/large.jpg");
    for (int n = 1; n <= 6; ++n) queue << site.url("/p" + std::to_string(n) + ".html");
    CurlFetcher fetcher(TestOptions(3));
    follow(fetcher);
    EXPECT_EQ(next(fetcher).body, "<html>page</html>");
    // The page's pictures go before the pages queued after it, as the run queues them.
    for (int n = 6; n >= 1; --n) queue.insert(1, site.url("/i" + std::to_string(n) + ".jpg"));
    EXPECT_TRUE(next(fetcher).body == large);
    for (int n = 1; n <= 6; ++n) EXPECT_TRUE(next(fetcher).body == Body(n + 10)) << n;
    for (int n = 1; n <= 6; ++n) EXPECT_TRUE(next(fetcher).body == Body(n)) << n;

    // Pages fetched ahead and pushed back by the pictures were kept, not fetched twice.
    EXPECT_EQ(site.count("/large.jpg"), 1);
    for (int n = 1; n <= 6; ++n) {
        EXPECT_EQ(site.count("/p" + std::to_string(n) + ".html"), 1) << n;
        EXPECT_EQ(site.count("/i" + std::to_string(n) + ".jpg"), 1) << n;
    }
    EXPECT_EQ(fetcher.aheadCount(), 0);
    EXPECT_EQ(leftInRunFolder(), QStringList());
}

// A large body the pool holds for the fetch under way goes to a file in the run folder; when
// the folder cannot take it, the failure is the storage's, as when the body streams to the
// stored file itself, not the server's.
TEST_F(CurlFetcherAheadTest, ABodyTheRunFolderCannotHoldIsAStorageFailure) {
    site.page("/large.jpg", std::string(std::size_t{2} << 20, 'l'), "image/jpeg");
    site.page("/small.jpg", "small", "image/jpeg");
    gRunFolder = runFolder.filePath("gone");
    CurlFetcher pool(TestOptions(4));
    const Fetched large = Get(pool, site.url("/large.jpg"));
    EXPECT_EQ(large.result.outcome, FetchOutcome::Failed);
    EXPECT_EQ(large.result.storageError, ENOENT);
    EXPECT_EQ(large.sinkCalls, 0);
    const Fetched small = Get(pool, site.url("/small.jpg"));  // held in memory: no file needed
    EXPECT_EQ(small.result.outcome, FetchOutcome::Ok);
    EXPECT_EQ(small.result.storageError, 0);
}

TEST_F(CurlFetcherAheadTest, EntriesThatMayBePushedBackStartOnlyAFewAtATime) {
    SiteRoute slow;
    slow.body = "picture";
    slow.delayMs = 300;  // time enough to start whatever the pool will start
    site.route("/slow.jpg", slow);
    for (int n = 1; n <= 5; ++n) site.page("/p" + std::to_string(n) + ".html", Body(n));
    queue << site.url("/slow.jpg");
    for (int n = 1; n <= 5; ++n) queue << site.url("/p" + std::to_string(n) + ".html");
    CurlFetcher fetcher(TestOptions(4));
    // Only the picture keeps its place; the pages behind it may be pushed back.
    fetcher.setLookahead([this](int max) { return Fetcher::NextUrls(queue.mid(0, max), 1); });
    EXPECT_EQ(next(fetcher).body, "picture");
    EXPECT_EQ(site.count("/p1.html") + site.count("/p2.html"), 2);
    for (int n = 3; n <= 5; ++n) EXPECT_EQ(site.count("/p" + std::to_string(n) + ".html"), 0) << n;
    for (int n = 1; n <= 5; ++n) {
        EXPECT_TRUE(next(fetcher).body == Body(n)) << n;
        EXPECT_EQ(site.count("/p" + std::to_string(n) + ".html"), 1) << n;
    }
}

// Only web URLs go ahead, whatever the case of their scheme: file: and look-alikes stay with the
// run's own checks when it asks for them.
TEST_F(CurlFetcherAheadTest, WebUrlsGoAheadWhateverTheCaseOfTheirScheme) {
    site.page("/a.jpg", "a", "image/jpeg");
    site.page("/b.jpg", "b", "image/jpeg");
    const QString shouted = site.url("/b.jpg").replace(0, 4, QStringLiteral("HtTP"));
    queue = {site.url("/a.jpg"), shouted, QStringLiteral("file:///etc/hostname"),
             QStringLiteral("httpx://127.0.0.1/c.jpg"), QStringLiteral("http:/127.0.0.1/d.jpg")};
    CurlFetcher fetcher(TestOptions(4));
    follow(fetcher);
    EXPECT_EQ(next(fetcher).body, "a");
    EXPECT_EQ(fetcher.aheadCount(), 1);  // the shouted one, and none of the others
    EXPECT_EQ(next(fetcher).body, "b");
    EXPECT_EQ(site.count("/b.jpg"), 1);
    fetcher.setLookahead({});
}
