// The crawl rules and the archive through the headless command: flags, a kill -9 in the
// middle of a crawl, --origin, and the delay between requests to one host.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <map>

#include "LoopbackSite.h"
#include "QtPrinters.h"
#include "archive/CrawlArchive.h"
#include "cli/CrawlCommand.h"

namespace {

class CommandRulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFile::copy(SR_CRAWL_EXE, dir.filePath("siterambler-crawl")));
        QFile init(dir.filePath("Init.dat"));
        ASSERT_TRUE(init.open(QIODevice::WriteOnly));
        init.write("[Option]\nHTMLAutoDelete=1\nPictAutoDelete=1\n");
        init.close();
        QDir().mkpath(downloads());
    }
    QString downloads() const { return dir.filePath("dl"); }
    void start(QProcess& p, const QStringList& args) {
        p.start(dir.filePath("siterambler-crawl"), args);
        ASSERT_TRUE(p.waitForStarted());
    }
    int run(const QStringList& args, QString* out = nullptr) {
        QProcess p;
        start(p, args);
        EXPECT_TRUE(p.waitForFinished(60000));
        if (out)
            *out = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
        return p.exitCode();
    }
    QStringList query(const char* sql) {
        SqliteDb db;
        EXPECT_TRUE(db.open(CrawlArchive::PathIn(downloads()), false, 1000));
        SqliteDb::Statement s = db.prepare(sql);
        QStringList values;
        while (s.next()) values << s.text(0);
        return values;
    }
    // Pages in a chain, each with two pictures of its own, each answer a little late.
    void slowChain(int pages) {
        for (int i = 0; i < pages; ++i) {
            const std::string n = std::to_string(i);
            SiteRoute page;
            page.delayMs = 15;
            page.body = "<a href=\"p" + std::to_string(i + 1) + ".html\">next</a> <img src=\"a" +
                        n + ".jpg\"> <img src=\"b" + n + ".png\"> <a href=\"p0.html\">first</a>";
            site.route("/p" + n + ".html", page);
            SiteRoute picture = page;
            picture.body = std::string(3000, char('a' + i % 20));
            picture.contentType = "image/jpeg";
            site.route("/a" + n + ".jpg", picture);
            picture.body[0] = 'x';
            site.route("/b" + n + ".png", picture);
        }
    }

    QTemporaryDir dir;
    LoopbackSite site;
};

}  // namespace

TEST(CrawlRuleArguments, FlagsAndTheirErrors) {
    QString error;
    const auto o =
        ParseCrawlArguments({"--no-revisit", "--scope", "host", "--skip-known", "--delay=250",
                             "--robots", "--no-archive", "--connections", "3", "u", "d"},
                            &error);
    ASSERT_TRUE(o.has_value()) << error.toStdString();
    EXPECT_EQ(o->noRevisit, true);
    EXPECT_EQ(o->scope, QString("host"));
    EXPECT_EQ(o->skipKnown, true);
    EXPECT_EQ(ParseCrawlArguments({"--skip-similar", "u", "d"}, &error)->skipSimilar, true);
    EXPECT_EQ(o->delayMs, 250);
    EXPECT_EQ(o->robots, true);
    EXPECT_EQ(o->archive, false);
    EXPECT_EQ(o->connections, 3);
    EXPECT_EQ(o->startUrl, "u");
    const auto plain = ParseCrawlArguments({"u", "d"}, &error);
    ASSERT_TRUE(plain.has_value());
    EXPECT_FALSE(plain->noRevisit || plain->scope || plain->archive || plain->delayMs);
    EXPECT_TRUE(ParseCrawlArguments({"--origin", "f.jpg"}, &error).has_value());
    for (const QStringList& bad :
         {QStringList{"--scope", "site", "u", "d"}, QStringList{"--delay", "-1", "u", "d"},
          QStringList{"--delay", "600001", "u", "d"}, QStringList{"--connections", "0", "u", "d"},
          QStringList{"--connections", "17", "u", "d"}, QStringList{"--origin"}}) {
        error.clear();
        EXPECT_FALSE(ParseCrawlArguments(bad, &error).has_value()) << bad.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_TRUE(CrawlUsage().contains("--no-revisit"));
    EXPECT_TRUE(CrawlUsage().contains("--origin FILE"));
}

TEST_F(CommandRulesTest, ArchiveSurvivesKillNineAndTheNextCrawlGoesOn) {
    slowChain(200);
    QProcess p;
    // one connection: the requests the server saw are the files fetched
    start(p, {"--quiet", "--connections", "1", "--no-revisit", site.url("/p0.html"), downloads()});
    for (int i = 0; i < 1000 && site.requests().size() < 40; ++i) QThread::msleep(10);
    ASSERT_GE(site.requests().size(), 40u);
    const QDateTime killed = QDateTime::currentDateTimeUtc();
    p.kill();  // SIGKILL: no handler runs, nothing is closed
    ASSERT_TRUE(p.waitForFinished(10000));

    EXPECT_EQ(query("PRAGMA integrity_check"), QStringList({"ok"}));
    EXPECT_EQ(query("SELECT count(*) FROM runs WHERE ended IS NULL"), QStringList({"1"}));
    const QFileInfoList files = QDir(downloads() + "/SR0000").entryInfoList(QDir::Files);
    const int rows = query("SELECT count(*) FROM attempts").value(0).toInt();
    ASSERT_GE(files.size(), 30);
    // What was lost is at most what was stored in the last second before the kill, and the
    // rows kept are those of the first files, without a gap.
    const auto recent = std::count_if(files.begin(), files.end(), [&](const QFileInfo& f) {
        return f.lastModified().toUTC() > killed.addSecs(-1);
    });
    EXPECT_GE(rows, files.size() - recent);
    EXPECT_LE(rows, files.size());
    EXPECT_EQ(query("SELECT max(number) FROM attempts"), QStringList{QString::number(rows)});

    QString out;
    EXPECT_EQ(
        run({"--quiet", "--no-revisit", "--max-pages", "3", site.url("/p0.html"), downloads()}), 0);
    EXPECT_EQ(query("SELECT folder FROM runs WHERE ended IS NOT NULL"), QStringList({"SR0001"}));
    EXPECT_EQ(run({"--origin", downloads() + "/SR0001/000002.jpg"}, &out), 0);
    EXPECT_TRUE(out.contains("url: " + site.url("/a0.jpg"))) << out.toStdString();
    EXPECT_TRUE(out.contains("found on: " + site.url("/p0.html")));
    EXPECT_EQ(run({"--origin", downloads() + "/SR0001/999999.jpg"}, &out), 1);
}

TEST_F(CommandRulesTest, DelayKeepsStartsToOneHostApart) {
    std::string index;
    for (int i = 0; i < 5; ++i) {
        const std::string name = "/d" + std::to_string(i) + ".jpg";
        index += "<img src=\"" + name.substr(1) + "\">";
        site.page(name, std::string(3000, char('a' + i)), "image/jpeg");
    }
    site.page("/index.html", index);
    EXPECT_EQ(run({"--quiet", "--delay", "150", site.url("/index.html"), downloads()}), 0);
    const std::vector<SiteRequest> requests = site.requests();
    ASSERT_EQ(requests.size(), 6u);
    for (size_t i = 1; i < requests.size(); ++i) {
        const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(requests[i].at -
                                                                               requests[i - 1].at);
        // the server notes arrivals: on a loaded machine they jitter by tens of milliseconds
        EXPECT_GE(gap.count(), 120) << requests[i].path;
    }
}

TEST(CrawlRuleArguments, ParseHtmlOnlyWhenAsked) {
    QString error;
    EXPECT_EQ(ParseCrawlArguments({"--parse-html", "u", "d"}, &error)->parseHtml, true);
    EXPECT_FALSE(ParseCrawlArguments({"u", "d"}, &error)->parseHtml.has_value());
    EXPECT_TRUE(CrawlUsage().contains("--parse-html"));
}

TEST_F(CommandRulesTest, RetriesWaitForRetryAfterAndTheDefaultTriesOnce) {
    SiteRoute busy;
    busy.body = std::string(3000, 'r');
    busy.contentType = "image/jpeg";
    busy.failFirst = 1;
    busy.retryAfter = "1";
    site.route("/r0.jpg", busy);
    site.route("/r1.jpg", busy);
    SiteRoute broken;  // hangs up half-way through its body: the try again starts over
    broken.body = std::string(400000, 'b') + "end";
    broken.contentType = "image/jpeg";
    broken.breakFirst = 1;
    site.route("/r2.jpg", broken);
    site.page("/index.html", "<img src=\"r0.jpg\"> <img src=\"r1.jpg\"> <img src=\"r2.jpg\">");
    QString out;
    EXPECT_EQ(run({"--retries", "2", site.url("/index.html"), downloads()}, &out), 0);
    EXPECT_EQ(QDir(downloads() + "/SR0000").entryList(QDir::Files).size(), 4);
    EXPECT_TRUE(out.contains("3 retries")) << out.toStdString();
    QFile whole(downloads() + "/SR0000/000004.jpg");
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    EXPECT_TRUE(whole.readAll() == QByteArray::fromStdString(broken.body));
    for (const std::string path : {"/r0.jpg", "/r1.jpg"}) {
        std::vector<std::chrono::steady_clock::time_point> at;
        for (const SiteRequest& r : site.requests())
            if (r.path == path) at.push_back(r.at);
        ASSERT_EQ(at.size(), 2u) << path;
        EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(at[1] - at[0]).count(),
                  1000)
            << path;
    }
    EXPECT_EQ(query("SELECT retries || ' ' || (waited_ms >= 1000) FROM attempts "
                    "WHERE kind = 'picture'"),
              QStringList({"1 1", "1 1", "1 1"}));

    // the designed single try: the pictures fail and their numbers are used up
    LoopbackSite other;
    other.route("/r0.jpg", busy);
    other.page("/index.html", "<img src=\"r0.jpg\">");
    EXPECT_EQ(run({"--quiet", other.url("/index.html"), downloads()}), 0);
    EXPECT_EQ(other.count("/r0.jpg"), 1);
    EXPECT_EQ(QDir(downloads() + "/SR0001").entryList(QDir::Files), QStringList({"000001.html"}));
}

TEST_F(CommandRulesTest, AStopCutsTheWaitForAHost) {
    SiteRoute busy;
    busy.failFirst = 1;
    busy.retryAfter = "60";
    site.route("/index.html", busy);
    QProcess p;
    start(p, {"--retries", "1", site.url("/index.html"), downloads()});
    for (int i = 0; i < 1000 && site.count("/index.html") < 1; ++i) QThread::msleep(10);
    QThread::msleep(300);
    QElapsedTimer stopping;
    stopping.start();
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_LT(stopping.elapsed(), 3000);
    EXPECT_EQ(p.exitCode(), 130);
    EXPECT_TRUE(p.readAllStandardError().contains("waiting for 127.0.0.1"));
}

TEST_F(CommandRulesTest, CookiesGoWhereTheirPathAllowsAndTheUserAgentIsTheOneGiven) {
    SiteRoute secret;
    secret.needsCookie = "session=opensesame";
    secret.body = "<a href=\"" + site.base() + "/open.html\">out</a>";
    site.route("/private/index.html", secret);
    site.page("/open.html", "no pictures");
    const QString cookies = dir.filePath("cookies.txt");
    QFile file(cookies);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "# Netscape HTTP Cookie File\n127.0.0.1\tFALSE\t/private/\tFALSE\t0\tsession\t"
        "opensesame\n");
    file.close();
    const QString start = site.url("/private/index.html");
    EXPECT_EQ(
        run({"--quiet", "--cookies", cookies, "--user-agent", "Gallery/2", start, downloads()}), 0);
    EXPECT_TRUE(QFile::exists(downloads() + "/SR0000/000001.html"));
    const std::vector<SiteRequest> requests = site.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].userAgent, "Gallery/2");
    EXPECT_EQ(requests[1].path, "/open.html");
    EXPECT_EQ(requests[1].cookie, "");                   // outside the cookie's path
    EXPECT_EQ(run({"--quiet", start, downloads()}), 8);  // refused without it
    EXPECT_EQ(run({"--quiet", "--cookies", dir.filePath("none.txt"), start, downloads()}), 1);
}

// Asked for per path, across every run so far.
std::map<std::string, int> Seen(const LoopbackSite& site) {
    std::map<std::string, int> seen;
    for (const std::string& path : site.paths()) ++seen[path];
    return seen;
}

TEST_F(CommandRulesTest, AResumedNoRevisitCrawlFetchesNothingTwice) {
    slowChain(8);
    std::string index;
    for (int i = 1; i < 8; ++i) index += "<a href=\"p" + std::to_string(i) + ".html\">p</a>";
    site.page("/index.html", index);
    QFile init(dir.filePath("Init.dat"));  // pages deleted: the one stopped on has no copy
    ASSERT_TRUE(init.open(QIODevice::WriteOnly));
    init.write("[Option]\nHTMLAutoDelete=0\nPictAutoDelete=1\n");
    init.close();
    // six connections: what the run fetched ahead and never got to is kept for the resume
    const QStringList rules{"--quiet", "--no-revisit"};
    EXPECT_EQ(run(rules + QStringList{"--max-pages", "3", site.url("/index.html"), downloads()}),
              0);
    EXPECT_EQ(run(rules + QStringList{"--resume", downloads() + "/SR0000/queue.srs"}), 0);
    for (const auto& [path, times] : Seen(site)) EXPECT_EQ(times, 1) << path;
    for (int i = 1; i < 8; ++i) EXPECT_EQ(Seen(site).count("/b" + std::to_string(i) + ".png"), 1u);
    EXPECT_EQ(query("SELECT folder || ':' || ifnull(resumes, '') FROM runs"),
              QStringList({"SR0000:", "SR0001:SR0000"}));
    EXPECT_EQ(query("SELECT count(*) FROM ahead"), QStringList({"0"}));  // each taken once

    // A stop cuts the transfer under way: only that picture is asked for again, and stored.
    SiteRoute held;  // the run waits for it while the pages after it are fetched ahead
    held.delayMs = 2000;
    held.body = std::string(3000, 'c');
    held.contentType = "image/jpeg";
    LoopbackSite other;
    other.route("/c.jpg", held);
    other.page("/index.html", index);
    other.page("/p3.html", "<img src=\"c.jpg\">");
    for (const int i : {1, 2, 4, 5, 6, 7}) other.page("/p" + std::to_string(i) + ".html", "p");
    QProcess first;
    start(first, rules + QStringList{other.url("/index.html"), downloads()});
    for (int i = 0; i < 1000 && other.count("/c.jpg") == 0; ++i) QThread::msleep(10);
    QThread::msleep(600);
    ::kill(first.processId(), SIGINT);
    ASSERT_TRUE(first.waitForFinished(30000));
    ASSERT_EQ(first.exitCode(), 130);
    EXPECT_EQ(run(rules + QStringList{"--resume", downloads() + "/SR0002/queue.srs"}), 0);
    for (const auto& [path, times] : Seen(other))
        EXPECT_EQ(times, path == "/c.jpg" ? 2 : 1) << path;
    EXPECT_EQ(QDir(downloads() + "/SR0003").entryList({"*.jpg"}, QDir::Files).size(), 1);
}

TEST_F(CommandRulesTest, ABusyHostIsAskedOneAtATimeAndALongRetryAfterFailsAtOnce) {
    SiteRoute busy;
    busy.failFirst = 1;  // 429 without Retry-After: tried again after 1 s
    busy.body = "<img src=\"i0.jpg\"> <img src=\"i1.jpg\"> <img src=\"late.jpg\">";
    site.route("/index.html", busy);
    for (const std::string name : {"/i0.jpg", "/i1.jpg"})
        site.page(name, std::string(3000, 'i'), "image/jpeg");
    SiteRoute late = busy;
    late.body = std::string(3000, 'l');
    late.retryAfter = "301";
    site.route("/late.jpg", late);
    QElapsedTimer crawl;
    crawl.start();
    EXPECT_EQ(run({"--quiet", "--retries", "3", site.url("/index.html"), downloads()}), 0);
    EXPECT_LT(crawl.elapsed(), 20000);
    EXPECT_EQ(site.count("/late.jpg"), 1);
    EXPECT_EQ(QDir(downloads() + "/SR0000").entryList(QDir::Files).size(), 3);
    const std::vector<SiteRequest> requests = site.requests();
    ASSERT_EQ(requests.size(), 5u);
    for (size_t i = 1; i < requests.size(); ++i) {
        const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(requests[i].at -
                                                                               requests[i - 1].at);
        EXPECT_GE(gap.count(), 950) << requests[i].path;  // jitter of the noted arrivals
    }
}

// The headless command reads the program's own picture formats as the window does: a copy of an
// AVIF picture goes with SkipSimilar (it stayed, while the window deleted it).
TEST_F(CommandRulesTest, SkipSimilarTakesACopyOfAnAvifPictureForTheFirst) {
    QFile avif(QStringLiteral(SR_SOURCE_DIR "/tests/viewer/data/red-7x5.avif"));
    ASSERT_TRUE(avif.open(QIODevice::ReadOnly));
    const std::string bytes = avif.readAll().toStdString();
    site.page("/a.avif", bytes, "image/avif");
    site.page("/b.avif", bytes, "image/avif");
    site.page("/index.html", "<img src=\"a.avif\"> <img src=\"b.avif\">");
    EXPECT_EQ(run({"--quiet", "--parse-html", "--skip-similar", "--keep-all-images",
                   site.url("/index.html"), downloads()}),
              0);
    EXPECT_EQ(QDir(downloads() + "/SR0000").entryList(QDir::Files),
              QStringList({"000001.html", "000002.avif"}));
    EXPECT_EQ(query("SELECT outcome FROM attempts WHERE number = 3"),
              QStringList({"deleted-similar"}));
}
