// The run's fetches through a pool of transfers against a web site on 127.0.0.1: what is queued
// is fetched ahead, each body lands whole in its own file, the rules are asked once per URL,
// and a URL goes out no more often than the entries that take it.
#include <gtest/gtest.h>

#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <cerrno>
#include <mutex>

#include "FetchHelpers.h"
#include "LoopbackSite.h"
#include "QtPrinters.h"
#include "core/UrlQueue.h"
#include "core/basGlobal.h"
#include "crawl/FetchAhead.h"
#include "net/CurlFetcher.h"

namespace {

class FetchAheadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        gRunFolder = folder.path();
        rules.take = [this](const QString& url, bool) {
            ++asked[url];
            return !url.endsWith(QStringLiteral("skip.jpg"));
        };
    }
    void TearDown() override { gRunFolder.clear(); }

    // Takes the first queued picture as the run does: fetched, then gone from the queue.
    QByteArray takeFirst(FetchAhead& ahead, FetchResult* result = nullptr) {
        const QString url = images.entry(0);
        FetchedBody fetched = ahead.fetch(url, false, false, {});
        images.removeAt(0);
        if (result) *result = fetched.result;
        if (fetched.result.outcome != FetchOutcome::Ok) return {};
        const QString path = folder.filePath(QString::number(++taken));
        EXPECT_EQ(fetched.body->finish(), 0);
        EXPECT_EQ(fetched.body->publish(path), 0);
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    }

    QTemporaryDir folder;
    LoopbackSite site;
    UrlQueue links;
    UrlQueue images;
    FetchAhead::Rules rules;
    QHash<QString, int> asked;
    int taken = 0;
};

TEST_F(FetchAheadTest, QueuedPicturesArriveWholeAndEachRequestServesOneEntry) {
    for (int n = 1; n <= 12; ++n) {
        const std::string path = "/p" + std::to_string(n) + ".jpg";
        // one body large enough to arrive in many pieces
        site.page(path, std::string(n == 5 ? 3 << 20 : 1000 + n, char('a' + n)), "image/jpeg");
        images.append(site.url(path));
    }
    images.append(site.url("/p3.jpg"));  // queued twice: fetched twice
    images.append(site.url("/skip.jpg"));
    CurlFetcher pool(TestOptions(4));
    FetchAhead ahead(pool, links, images, rules);
    for (int n = 1; n <= 12; ++n) {
        const QByteArray body = takeFirst(ahead);
        EXPECT_EQ(body, QByteArray(n == 5 ? 3 << 20 : 1000 + n, char('a' + n))) << n;
        if (n == 1) EXPECT_GT(ahead.held(), 0);  // the next ones are under way
    }
    EXPECT_EQ(takeFirst(ahead), QByteArray(1003, 'd'));
    ahead.dropAll();
    EXPECT_EQ(ahead.held(), 0);
    for (int n = 1; n <= 12; ++n)
        EXPECT_EQ(site.count("/p" + std::to_string(n) + ".jpg"), n == 3 ? 2 : 1) << n;
    EXPECT_EQ(site.count("/skip.jpg"), 0);  // the rules pass over it: never fetched ahead
    // Every plan asked again only what it had not asked before.
    for (auto it = asked.constBegin(); it != asked.constEnd(); ++it)
        EXPECT_EQ(it.value(), 1) << it.key().toStdString();
}

// With each URL fetched once, a failed answer fetched ahead is the answer the run gets: it is
// not asked again when its entry comes, nor when the same URL is queued again.
TEST_F(FetchAheadTest, AFailedAnswerFetchedAheadIsTheRunsAnswer) {
    for (int n = 1; n <= 6; ++n) {
        const std::string path = "/f" + std::to_string(n) + ".jpg";
        SiteRoute once;
        once.body = std::string(2000, 'f');
        once.failFirst = 1;
        site.route(path, once);
        images.append(site.url(path));
    }
    images.append(site.url("/f2.jpg"));
    rules.onceKey = [](const QString& url) { return url; };
    CurlFetcher pool(TestOptions(6));
    FetchAhead ahead(pool, links, images, rules);
    for (int n = 1; n <= 6; ++n) {
        FetchResult result;
        EXPECT_TRUE(takeFirst(ahead, &result).isEmpty()) << n;
        EXPECT_EQ(result.httpStatus, 429) << n;
    }
    for (int n = 1; n <= 6; ++n) EXPECT_EQ(site.count("/f" + std::to_string(n) + ".jpg"), 1);
}

// Only a success is delivered, and a write the disk refuses for room holds the transfer until
// room was made: the same bytes then come again, once.
TEST_F(FetchAheadTest, OnlySuccessIsDeliveredAndAWriteRefusedForRoomWaitsForIt) {
    SiteRoute nowhere;
    nowhere.status = 302;
    nowhere.body = "moved, but not said where";
    site.route("/moved.jpg", nowhere);
    site.page("/a.jpg", std::string(400000, 'a'), "image/jpeg");
    site.page("/b.jpg", std::string(400000, 'b'), "image/jpeg");
    images.appendAll({site.url("/moved.jpg"), site.url("/a.jpg"), site.url("/b.jpg")});
    CurlFetcher pool(TestOptions(4));
    FetchAhead ahead(pool, links, images, rules);
    FetchResult result;
    EXPECT_TRUE(takeFirst(ahead, &result).isEmpty());
    EXPECT_EQ(result.outcome, FetchOutcome::Failed);
    EXPECT_EQ(result.httpStatus, 302);

    // a disk that takes one of the two: a.jpg is waited for while b.jpg is held ahead
    std::int64_t room = 500000;
    std::mutex lock;
    const int id = pool.start(site.url("/a.jpg"), 1 << 30, [&](const char*, std::size_t size) {
        const std::lock_guard<std::mutex> held(lock);
        if (std::int64_t(size) > room) return ENOSPC;
        room -= std::int64_t(size);
        return 0;
    });
    while (pool.wait(id, {}) != Transfers::Wait::Ready) {
    }
    EXPECT_EQ(pool.state(id), Transfers::State::Ended);
    EXPECT_EQ(pool.release(id).outcome, FetchOutcome::Ok);
    const int full = pool.start(site.url("/b.jpg"), 1 << 30, [&](const char*, std::size_t size) {
        const std::lock_guard<std::mutex> held(lock);
        if (std::int64_t(size) > room) return ENOSPC;
        room -= std::int64_t(size);
        return 0;
    });
    while (pool.wait(full, {}) != Transfers::Wait::Ready) {
    }
    EXPECT_EQ(pool.state(full), Transfers::State::NeedsRoom);
    {
        const std::lock_guard<std::mutex> held(lock);
        room += 400000;  // what a dropped body gives back
    }
    pool.resume(full);
    while (pool.wait(full, {}) != Transfers::Wait::Ready) {
    }
    const FetchResult resumed = pool.release(full);
    EXPECT_EQ(resumed.outcome, FetchOutcome::Ok);
    EXPECT_EQ(room, 500000 - 400000 - 400000 + 400000);
}

}  // namespace

namespace {

// A page fetched ahead tells the pages its scan will queue: they are fetched ahead too, deeper
// than the queue reaches, and each only once when the run gets to it.
TEST_F(FetchAheadTest, PagesAPageFetchedAheadWillQueueAreFetchedAheadOnce) {
    SiteRoute slow;
    slow.body = "<a href=\"next.html\">";
    slow.delayMs = 600;  // the run waits for it while the page after it arrives and is told
    site.route("/first.html", slow);
    site.page("/next.html", "<a href=\"deep.html\"><a href=\"first.html\"><img src=\"n.jpg\">\r\n");
    site.page("/deep.html", "<a href=\"deeper.html\">");
    site.page("/deeper.html", "");
    site.page("/n.jpg", "picture", "image/jpeg");
    links.append(site.url("/first.html"));
    links.append(site.url("/next.html"));
    rules.admits = [](const QString&, bool) { return true; };
    CurlFetcher pool(TestOptions(8));  // room for what lies past the page the run waits for
    FetchAhead ahead(pool, links, images, rules);
    EXPECT_EQ(ahead.fetch(links.entry(0), true, false, {}).result.outcome, FetchOutcome::Ok);
    // told by next.html, two pages deep: under way before anything queued it
    EXPECT_EQ(site.count("/deep.html"), 1);
    EXPECT_EQ(site.count("/first.html"), 1);  // still queued: the scan passes over it
    links.removeAt(0);
    EXPECT_EQ(ahead.fetch(links.entry(0), true, false, {}).result.outcome, FetchOutcome::Ok);
    links.removeAt(0);
    links.append(site.url("/deep.html"));  // the scan of next.html
    images.append(site.url("/n.jpg"));
    EXPECT_EQ(takeFirst(ahead), QByteArray("picture"));
    EXPECT_EQ(ahead.fetch(links.entry(0), true, false, {}).result.outcome, FetchOutcome::Ok);
    for (const char* path : {"/next.html", "/deep.html", "/n.jpg"}) EXPECT_EQ(site.count(path), 1);
}

}  // namespace
