// The comparison key of URLs, robots.txt as this crawler reads it, and file digests.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "QtPrinters.h"
#include "core/FileUrlPolicy.h"
#include "core/RunFolderName.h"
#include "crawl/CrawlRules.h"
#include "crawl/FileDigest.h"
#include "crawl/RobotsTxt.h"

TEST(UrlKey, CollapsesWhatNamesTheSameResource) {
    const std::pair<const char*, const char*> cases[] = {
        {"HTTP://Example.COM:80/a/./b//c/../d.html#top", "http://example.com/a/b/d.html"},
        {"https://h:443/x", "https://h/x"},
        {"http://h:8080/x", "http://h:8080/x"},
        {"https://h:80/x", "https://h:80/x"},
        {"http://h/gallery/night/../../index.html", "http://h/index.html"},
        {"http://h/../../a.jpg", "http://h/a.jpg"},
        {"http://h/a/..", "http://h/"},
        {"http://h", "http://h"},
        {"http://h/Path/To?q=a/../b#f", "http://h/Path/To?q=a/../b"},
        {"http://User@Host/x", "http://User@host/x"},
        {"file:///srv/demo/gallery/../index.html", "file:///srv/demo/index.html"},
        // already keys, and the nearest ones that are not
        {"http://h/a/b.jpg?x=../y", "http://h/a/b.jpg?x=../y"},
        {"http://h/a/b/", "http://h/a/b/"},
        {"http://h/", "http://h/"},
        {"http://h?q", "http://h?q"},
        {"http://h/a/.", "http://h/a/"},
        {"http://h/./a", "http://h/a"},
        {"http://h//a", "http://h/a"},
        {"http://h/a//", "http://h/a/"},
        {"http://h/a/../", "http://h/"},
        {"http://h/a#", "http://h/a"},
        {"http://h:/a", "http://h/a"},
        {"http://h:8080/a/../b", "http://h:8080/b"},
        {"http://H:8080/b", "http://h:8080/b"},
        {"https://h:443?q", "https://h?q"},
        {"http://h/a/../b/c", "http://h/b/c"},
        // a key is its own key (fuzz_url_key holds every text to that)
        {"http://h::/a", "http://h/a"},
        {"http://h:80:/a", "http://h/a"},
        {"a/b?x=http://c//d", "a/b?x=http://c//d"},
        {"http://x.\xc3\x89/a", "http://x.\xc3\xa9/a"},
        {"file:///srv/./a", "file:///srv/a"},
    };
    for (const auto& [url, key] : cases) EXPECT_EQ(UrlKey(url), QString(key)) << url;
    EXPECT_EQ(UrlHost("http://u:p@LocalHost:8080/x"), "localhost");
    EXPECT_EQ(UrlHost("http://[::1]:8080/x"), "[::1]");
    EXPECT_EQ(UrlHost("file:///x"), "");
}

// The host that keys the transfers' per-host delay is the one that keys robots.txt and scope: a
// query or a user name must not make two hosts of one.
TEST(UrlHost, OneHostWhateverFollowsOrPrecedesIt) {
    EXPECT_EQ(UrlHost("http://Gallery.Example?page=2"), "gallery.example");
    EXPECT_EQ(UrlHost("http://gallery.example:80#top"), "gallery.example");
    EXPECT_EQ(UrlHost("https://a@b@Gallery.example/x"), "gallery.example");
}

TEST(RunFolderName, MadeAndRecognisedAlike) {
    for (const int n : {0, 7, 42, 9999}) EXPECT_EQ(RunFolderNumberOf(RunFolderName(n)), n);
    EXPECT_EQ(RunFolderName(3), "SR0003");
    for (const char* other : {"SR001", "SR00001", "sr0001", "SR00a1", "XSR0001", ""})
        EXPECT_EQ(RunFolderNumberOf(QString::fromLatin1(other)), -1) << other;
    // digits of other scripts are no number of a run folder
    EXPECT_EQ(RunFolderNumberOf(QStringLiteral("SR\u0661\u0662\u0663\u0664")), -1);
}

TEST(FileUrlPolicy, OnlyACrawlFromALocalPageFetchesLocalFiles) {
    const FileUrlPolicy web = FileUrlPolicy::ForCrawlFrom("http://h/index.html");
    EXPECT_FALSE(web.allowsFiles());
    EXPECT_FALSE(web.mayFetch("file:///etc/passwd"));
    EXPECT_FALSE(web.mayFetch("FILE:///etc/passwd"));
    EXPECT_TRUE(web.mayFetch("http://h/a.jpg"));
    EXPECT_FALSE(FileUrlPolicy().mayFetch("file:///x.jpg"));
    const FileUrlPolicy local = FileUrlPolicy::ForCrawlFrom("File:///srv/demo/index.html");
    EXPECT_TRUE(local.allowsFiles());
    EXPECT_TRUE(local.mayFetch("file:///srv/demo/a.jpg"));
}

TEST(CrawlRules, ScopeAndRevisitDecideTheAppend) {
    CrawlOptions options;
    options.scope = CrawlScope::Folder;
    CrawlRules folder(options, "http://h/docs/index.html?x=/y/");
    EXPECT_TRUE(folder.admit("http://h/docs/sub/a.html", true));
    EXPECT_TRUE(folder.admit("http://h/docs/x/../b.html", true));
    EXPECT_FALSE(folder.admit("http://h/docs/../other.html", true));
    EXPECT_FALSE(folder.admit("http://h/docsmore/a.html", true));
    EXPECT_TRUE(folder.admit("http://elsewhere/pic.jpg", false));  // pictures from any host

    options = {};
    options.noRevisit = true;
    options.scope = CrawlScope::Host;
    CrawlRules host(options, "http://H:80/a.html");
    EXPECT_TRUE(host.take("http://h/a.html", {}));
    EXPECT_FALSE(host.admit("http://h/./a.html#x", true));  // the start page, already fetched
    EXPECT_FALSE(host.admit("http://other/a.html", true));
    EXPECT_TRUE(host.admit("http://h/b.html", true));
    EXPECT_FALSE(host.admit("http://h//b.html", true));
    EXPECT_TRUE(host.take("http://h/b.html", {}));
    EXPECT_FALSE(host.take("http://h/b.html", {}));  // entered again by hand: still once

    CrawlRules off(CrawlOptions{}, "http://h/a.html");
    EXPECT_FALSE(off.filters());
    EXPECT_TRUE(off.take("http://h/a.html", {}));
    EXPECT_TRUE(off.take("http://h/a.html", {}));
}

TEST(RobotsTxt, OwnGroupElseStarLongestLineWins) {
    const QByteArray text =
        "# comment\n"
        "User-agent: *\n"
        "Disallow: /\n"
        "\n"
        "User-agent: OtherBot\n"
        "User-agent: siterambler/2.0  # our token, any case and version\n"
        "Disallow: /private/\n"
        "Allow: /private/ok\n"
        "Disallow: /*.cgi$\n"
        "Disallow:\n"
        "User-agent: LaterBot\n"
        "Disallow: /later\n";
    const RobotsTxt ours = RobotsTxt::Parse(text, "SiteRambler");
    EXPECT_TRUE(ours.allows("/index.html"));
    EXPECT_FALSE(ours.allows("/private/secret.html"));
    EXPECT_TRUE(ours.allows("/private/ok.html"));
    EXPECT_FALSE(ours.allows("/run/x.cgi"));
    EXPECT_TRUE(ours.allows("/run/x.cgi?y=1"));
    EXPECT_TRUE(ours.allows("/later/page.html"));  // another group's line
    EXPECT_FALSE(RobotsTxt::Parse(text, "Nobody").allows("/index.html"));
    EXPECT_TRUE(RobotsTxt::Parse("User-agent: x\nDisallow: /\n", "SiteRambler").allows("/a"));

    EXPECT_TRUE(RobotsTxt::FromAnswer({404, "User-agent: *\nDisallow: /"}, "S").allows("/a"));
    EXPECT_FALSE(RobotsTxt::FromAnswer({503, {}}, "S").allows("/a"));
    EXPECT_EQ(RobotsPath("http://h:1/a/b.html?q=1#f"), "/a/b.html?q=1");
    EXPECT_EQ(RobotsPath("http://h"), "/");
}

TEST(RobotsTxt, ComparesPercentEncodedAndReadsLinesWithoutColon) {
    const RobotsTxt robots = RobotsTxt::Parse(
        "User-agent: *\nDisallow: /\nAllow: /foo/bar/\xE3\x83\x84\nAllow: /q/%e3%83%84\n", "S");
    EXPECT_TRUE(robots.allows("/foo/bar/%E3%83%84"));
    EXPECT_TRUE(robots.allows("/foo/bar/%e3%83%84"));
    EXPECT_TRUE(robots.allows(QString::fromUtf8("/foo/bar/\xE3\x83\x84")));
    EXPECT_TRUE(robots.allows("/q/%E3%83%84"));
    EXPECT_FALSE(robots.allows("/foo/bar/%E3%83%85"));

    const RobotsTxt noColon = RobotsTxt::Parse("user-agent *\ndisallow /\nallow /a b\n", "S");
    EXPECT_FALSE(noColon.allows("/a"));  // "allow /a b" is no rule: three words
}

TEST(FileDigest, Sha256OfAFileAndOfNone) {
    QTemporaryDir dir;
    QFile file(dir.filePath("abc"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("abc");
    file.close();
    EXPECT_EQ(FileSha256(file.fileName()).toHex(),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_TRUE(FileSha256(dir.filePath("missing")).isEmpty());
}
