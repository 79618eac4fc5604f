// However hostile a site's references ("..", "/", "%2F", NUL, control characters, names far
// too long), a crawl creates, changes and deletes nothing outside its run folder. Every test
// snapshots a sandbox around the download folder (and the working folder inside it) before
// and after, and allows differences only under the run folder.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <set>

#include "CrawlFixture.h"
#include "HostileFilesSupport.h"
#include "crawl/Download.h"

using namespace hostile;

namespace {

class OutsideFolder : public CrawlFixture {
protected:
    void SetUp() override {
        CrawlFixture::SetUp();
        ASSERT_TRUE(sandbox.isValid());
        QDir root(sandbox.path());
        ASSERT_TRUE(root.mkpath("a/b/downloads"));
        ASSERT_TRUE(root.mkpath("outside/folder"));
        ASSERT_TRUE(WriteFile(sandbox.filePath("secret.txt"), "secret of the sandbox"));
        ASSERT_TRUE(WriteFile(sandbox.filePath("a/b/sibling.jpg"), "sibling"));
        ASSERT_TRUE(WriteFile(sandbox.filePath("outside/target.txt"), "target"));
        ASSERT_TRUE(WriteFile(sandbox.filePath("a/b/downloads/000001.jpg"), "not a run file"));
        host.folder = sandbox.filePath("a/b/downloads");
        oldCwd = QDir::currentPath();
        // relative names would land here, inside the snapshot
        QDir::setCurrent(sandbox.filePath("a/b/downloads"));
    }
    void TearDown() override {
        QDir::setCurrent(oldCwd);
        CrawlFixture::TearDown();
    }
    QString relativeRun() const { return QDir(sandbox.path()).relativeFilePath(gRunFolder); }
    // Runs a crawl and checks that nothing but its run folder changed.
    void crawlInside(const QString& start) {
        const Snapshot before = TakeSnapshot(sandbox.path());
        crawl(start);
        ASSERT_FALSE(gRunFolder.isEmpty());
        ASSERT_TRUE(gRunFolder.startsWith(host.folder + "/SR"));
        EXPECT_EQ(Changes(before, TakeSnapshot(sandbox.path()), {relativeRun()}), QStringList());
    }
    // Plain files of the run folder; fails on anything else (a folder, a temporary left over).
    QStringList storedFiles() {
        QStringList files;
        for (const QString& name : Entries(gRunFolder)) {
            const QFileInfo info(gRunFolder + "/" + name);
            EXPECT_TRUE(info.isFile() && !info.isSymLink()) << name.toStdString();
            EXPECT_FALSE(name.startsWith('.')) << name.toStdString();
            files << name;
        }
        return files;
    }

    QTemporaryDir sandbox;
    QString oldCwd;
};

// References whose names try every way out of the folder. The extension is the text between
// the first and second "." of the last "/"-piece, so these give extensions with "%2F", "%00",
// backslashes, control characters, a NUL, hundreds of letters, and none at all.
std::string HostilePage(const std::string& base, const QString& sandboxPath) {
    const std::string longest(240, 'e'), tooLong(300, 'e');
    std::string page = "<html><body>\n";
    const std::vector<std::string> images{
        "a.%2F..%2F..%2Fescape.jpg",
        "..%2F..%2F..%2Fup.jpg",
        "%2e%2e%2f%2e%2e%2fx.%2e%2e%2fy.jpg",
        "n.%00.jpg",
        std::string("z.\0nul.jpg", 10),
        "c.\x01\x02\x1b\x7f.jpg",
        "w.\\..\\..\\evil.jpg",
        "l." + longest + ".jpg",
        "t." + tooLong + ".jpg",
        "../../../../../../../../tmp/escape.jpg",
        "/..%2f..%2fabs.jpg",
        "q.%252F%252e%252e.jpg",
        "u.写真/..%2F.ア.jpg",
        "s.~.png",
        "d.:*?<>|.gif",
        "v.%2F",
    };
    for (const std::string& name : images) page += "<img src=\"" + name + "\">\n";
    const std::vector<std::string> pages{
        "p.%2F..%2F..%2Fpage.html",
        "..%2F..%2F..",
        "..",
        "./.",
        "%2F%2F",
        "file://" + sandboxPath.toStdString() + "/secret.txt",
        base,
        base + "/x/..%2F..%2F..%2F.htm",
        base + "/h.%0d%0aX-Injected:%20yes.html",
    };
    for (const std::string& name : pages) page += "<a href=\"" + name + "\">x</a>\n";
    return page + "</body></html>\n";
}

}  // namespace

TEST_F(OutsideFolder, HostileReferencesStoreOnlyInsideTheRunFolder) {
    const std::string start = "/start.html";
    site.page(start, HostilePage(site.base(), sandbox.path()));
    // First every reference is a missing page: nothing but the start page is stored.
    crawlInside(site.url(start));
    EXPECT_EQ(storedFiles(), QStringList({"000001.html"}));

    // Then every path that was asked for answers with a body that holds no references, so
    // that every hostile name is really written.
    const std::string body(3000, 'z');
    std::set<std::string> asked;
    for (const std::string& path : site.paths())
        if (path != start) asked.insert(path);
    EXPECT_GE(asked.size(), 15u);
    for (const std::string& path : asked) site.page(path, body, "image/jpeg");
    crawlInside(site.url(start));
    EXPECT_TRUE(gRunFolder.endsWith("/SR0001"));
    const QStringList stored = storedFiles();
    EXPECT_GE(stored.size(), 15) << stored.join(" | ").toStdString();
    bool longestStored = false;
    for (const QString& name : stored) {
        // six digits, one dot, and an extension that holds neither a dot nor a slash nor a
        // NUL: escapes such as "%2F" stay as written
        EXPECT_TRUE(name.size() >= 7 && name[6] == '.') << name.toStdString();
        EXPECT_EQ(name.count('.'), 1) << name.toStdString();
        EXPECT_FALSE(name.contains(QChar(u'\0'))) << name.toStdString();
        EXPECT_NE(QFile(gRunFolder + "/" + name).size(), 0);
        if (name.contains(QString(240, 'e'))) longestStored = true;
        EXPECT_FALSE(name.contains(QString(241, 'e'))) << "a name too long was stored";
        EXPECT_NE(ReadFile(gRunFolder + "/" + name), "secret of the sandbox");
    }
    EXPECT_TRUE(longestStored);
}

TEST_F(OutsideFolder, LinksPlantedInTheRunFolderAreNeverWrittenThrough) {
    std::string page;
    for (int i = 1; i <= 20; ++i) {
        const std::string name = "i" + std::to_string(i) + ".jpg";
        page += "<img src=\"" + name + "\">\n";
        site.page("/" + name, std::string(3000 + i, char('a' + i)), "image/jpeg");
    }
    page += "<a href=\"next.html\">n</a>\n";
    site.page("/start.html", page);
    site.page("/next.html", "<p>end</p>\n");
    const QString target = sandbox.filePath("outside/target.txt");
    bool planted = false;
    // Someone plants links under the names the next downloads would take, while the crawl runs.
    host.onAnimate = [&] {
        if (planted || gRunFolder.isEmpty()) return;
        planted = true;
        for (int n = 1; n <= 60; ++n) {
            for (const char* ext : {".jpg", ".html"}) {
                const QString name = gRunFolder + "/" + SequenceName(n) + ext;
                if (n % 2)
                    QFile::link(target, name);
                else
                    QFile::link(sandbox.filePath("outside/made-%1%2").arg(n).arg(ext), name);
            }
        }
    };
    crawlInside(site.url("/start.html"));
    ASSERT_TRUE(planted);
    EXPECT_EQ(ReadFile(target), "target");
    // every image and the second page were stored under names of their own
    int files = 0;
    for (const QString& name : Entries(gRunFolder))
        files += !QFileInfo(gRunFolder + "/" + name).isSymLink();
    EXPECT_EQ(files, 1 + 20 + 1);
}

TEST_F(OutsideFolder, RunFolderNamesTakenByLinksAreSkipped) {
    ASSERT_TRUE(QFile::link(sandbox.filePath("outside/folder"), host.folder + "/SR0000"));
    ASSERT_TRUE(QFile::link(sandbox.filePath("outside/made"), host.folder + "/SR0001"));
    site.page("/start.html", "<img src=\"p.jpg\">\n");
    site.page("/p.jpg", std::string(5000, 'p'), "image/jpeg");
    crawlInside(site.url("/start.html"));
    EXPECT_EQ(gRunFolder, host.folder + "/SR0002");
    EXPECT_EQ(storedFiles(), QStringList({"000001.html", "000002.jpg"}));
}
