#include <gtest/gtest.h>
#include <sys/mount.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <cstring>

#include "LoopbackSite.h"
#include "ParallelSite.h"
#include "QtPrinters.h"
#include "StorageScenarios.h"
#include "archive/SqliteDb.h"
#include "cli/CrawlCommand.h"
#include "core/ProfileFile.h"
#include "core/basGlobal.h"

namespace {

// Runs a copy of the command in a folder of its own, so it reads the Init.dat written here.
class CrawlCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFile::copy(SR_CRAWL_EXE, exe()));
        writeInit("[Option]\nHTMLAutoDelete=1\nPictAutoDelete=1\nPictAutoDeleteSize=2\n");
        QDir().mkpath(downloads());
    }
    QString exe() const { return dir.filePath("siterambler-crawl"); }
    QString downloads() const { return dir.filePath("dl"); }
    QString run0() const { return downloads() + "/SR0000"; }
    void writeInit(const QByteArray& text) {
        QFile f(dir.filePath("Init.dat"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    int run(const QStringList& args, QString* err = nullptr) {
        QProcess p;
        p.start(exe(), args);
        EXPECT_TRUE(p.waitForFinished(60000));
        if (err) *err = QString::fromLocal8Bit(p.readAllStandardError());
        return p.exitCode();
    }
    QStringList stored(const QString& folder) const {
        return QDir(folder).entryList(QDir::Files, QDir::Name);
    }
    void cycleSite() {
        site.page("/a.html", "<a href=\"b.html\">b</a> <img src=\"1.jpg\">");
        site.page("/b.html", "<a href=\"a.html\">a</a> <img src=\"2.png\">");
        site.page("/1.jpg", std::string(3000, 'j'), "image/jpeg");
        site.page("/2.png", std::string(3000, 'p'), "image/png");
    }

    QTemporaryDir dir;
    LoopbackSite site;
};

// Unmounts at the end of the test whatever happened.
struct Mounted {
    QByteArray path;
    ~Mounted() { ::umount2(path.constData(), MNT_DETACH); }
};

// The command in this process, so that a FaultyStorage can stand in for the file system.
class CrawlCommandStorageTest : public ::testing::TestWithParam<StorageScenario> {
protected:
    void SetUp() override {
        ResetGlobals();
        QDir().mkpath(downloads());
        site.page("/a.html", "<a href=\"b.html\">b</a> <img src=\"1.jpg\"> <img src=\"2.jpg\">");
        site.page("/b.html", "<a href=\"a.html\">a</a>");
        site.page("/1.jpg", std::string(4000, 'j'), "image/jpeg");
        site.page("/2.jpg", std::string(4000, 'k'), "image/jpeg");
    }
    void TearDown() override { ResetGlobals(); }
    QString downloads() const { return dir.filePath("dl"); }
    QString run0() const { return downloads() + "/SR0000"; }
    int run(QStringList args, QString* err) {
        QString error;
        const auto options = ParseCrawlArguments(
            QStringList{"--keep-pages", "--keep-all-images", site.url("/a.html"), downloads()} +
                args,
            &error);
        EXPECT_TRUE(options.has_value()) << error.toStdString();
        ::testing::internal::CaptureStderr();
        const int code = RunCrawlCommand(*options);
        *err = QString::fromStdString(::testing::internal::GetCapturedStderr());
        return code;
    }

    QTemporaryDir dir;
    LoopbackSite site;
};

}  // namespace

TEST_P(CrawlCommandStorageTest, StopsWithItsOwnExitCodeTheCauseAndTheQueue) {
    const StorageScenario& s = GetParam();
    FaultyStorage storage;
    s.arrange(storage, downloads());
    const QString queue = dir.filePath("queue.srs");
    QString err;
    EXPECT_EQ(run({"--quiet", "--save-queue", queue}, &err), 74) << err.toStdString();
    EXPECT_FALSE(err.contains("保存エラー")) << err.toStdString();  // the window's words
    EXPECT_TRUE(err.contains(
        QString("cannot store files in %1: %2; crawl stopped").arg(run0(), std::strerror(s.error))))
        << err.toStdString();
    ProfileFile saved;
    ASSERT_TRUE(saved.load(queue));
    EXPECT_EQ(saved.value("BaseSetting", "URL"), site.url("/a.html"));  // resumes at the page
    EXPECT_EQ(QDir(run0()).entryList(QDir::Files | QDir::Hidden, QDir::Name), s.stored);
    EXPECT_TRUE(LeftoverTemporaries(dir.path()).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Storage, CrawlCommandStorageTest, ::testing::ValuesIn(StorageScenarios()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CrawlCommandStorageTest, AQueueThatCannotBeSavedEitherSaysWhereAndWhy) {
    // A full download folder and a vanished run folder take the default place of the queue with
    // them: it goes to the download folder, else to the temporary folder.
    const QByteArray tmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", dir.path().toLocal8Bit());
    for (const StorageScenario& s : StorageScenarios()) {
        if (!s.stored.isEmpty()) continue;
        FaultyStorage storage;
        s.arrange(storage, downloads());
        QString err;
        EXPECT_EQ(run({}, &err), 74) << s.name;
        EXPECT_TRUE(err.contains(QString("could not save the queue to %1/queue.srs: %2")
                                     .arg(gRunFolder, std::strerror(s.error))))
            << err.toStdString();
        const QString fallback = (s.error == ENOSPC ? dir.path() : downloads()) +
                                 "/siterambler-queue-" + QFileInfo(gRunFolder).fileName() + ".srs";
        EXPECT_TRUE(err.contains("queue saved to " + fallback)) << err.toStdString();
        EXPECT_TRUE(QFile::exists(fallback));
    }
    // a place of the user's own that cannot be had is a failure, whatever else went well
    QString err;
    EXPECT_EQ(run({"--max-pages", "1", "--save-queue", dir.filePath("none/q.srs")}, &err), 74);
    EXPECT_TRUE(err.contains("could not save the queue to " + dir.filePath("none/q.srs")));
    qputenv("TMPDIR", tmp);
    EXPECT_TRUE(LeftoverTemporaries(dir.path()).isEmpty());
}

TEST_F(CrawlCommandStorageTest, FailedDeletionsGoIntoTheSummaryAndTheCrawlCompletes) {
    FaultyStorage storage;
    storage.fault = [](FaultyStorage::Op op, const QString&) {
        return op == FaultyStorage::Op::Remove ? EIO : 0;
    };
    site.page("/b.html", "no way back");
    QString err;
    EXPECT_EQ(run({"--quiet", "--delete-pages"}, &err), 0) << err.toStdString();
    EXPECT_TRUE(
        err.contains(QString("2 stored files could not be deleted (first: %1/000001.html: %2)")
                         .arg(run0(), std::strerror(EIO))))
        << err.toStdString();
}

TEST(CrawlArguments, OptionsPositionalsAndErrors) {
    QString error;
    auto o = ParseCrawlArguments(
        {"--delete-pages", "--min-image-kb", "7", "--max-pages=5", "--quiet", "http://x/", "/tmp"},
        &error);
    ASSERT_TRUE(o.has_value()) << error.toStdString();
    EXPECT_EQ(o->htmlAutoDelete, QString("0"));
    EXPECT_EQ(o->pictAutoDelete, QString("0"));
    EXPECT_EQ(o->minImageKb, 7);
    EXPECT_EQ(o->maxPages, 5);
    EXPECT_TRUE(o->quiet);
    EXPECT_EQ(o->startUrl, "http://x/");
    EXPECT_EQ(o->downloadFolder, "/tmp");
    o = ParseCrawlArguments({"--keep-all-images", "--keep-pages", "u", "d"}, &error);
    ASSERT_TRUE(o.has_value());
    EXPECT_EQ(o->pictAutoDelete, QString("1"));
    EXPECT_EQ(o->htmlAutoDelete, QString("1"));
    EXPECT_FALSE(o->connections.has_value());
    o = ParseCrawlArguments({"--connections", "16", "u", "d"}, &error);
    ASSERT_TRUE(o.has_value());
    EXPECT_EQ(o->connections, 16);
    o = ParseCrawlArguments({"--resume", "q.srs"}, &error);
    ASSERT_TRUE(o.has_value());
    EXPECT_EQ(o->resume, "q.srs");
    EXPECT_TRUE(ParseCrawlArguments({"--help"}, &error).has_value());
    for (const QStringList& bad :
         {QStringList{"only-one"}, QStringList{"a", "b", "c"}, QStringList{"--bogus", "a", "b"},
          QStringList{"--max-pages", "0", "a", "b"}, QStringList{"--min-image-kb", "x", "a", "b"},
          QStringList{"--max-seconds"}, QStringList{"--connections=0", "a", "b"},
          QStringList{"--connections", "17", "a", "b"}, QStringList{"--connections=x", "a", "b"},
          QStringList{}})
        EXPECT_FALSE(ParseCrawlArguments(bad, &error).has_value()) << bad.join(' ').toStdString();
}

TEST_F(CrawlCommandTest, CompletedCrawlStoresNumberedFilesAndExitsZero) {
    site.page("/index.html", "<img src=\"big.jpg\"> <img src=\"small.gif\"> <a href=\"x.htm\">");
    site.page("/x.htm", "<img src=\"big.jpg\">");
    site.page("/big.jpg", std::string(5000, 'b'), "image/jpeg");
    site.page("/small.gif", std::string(100, 's'), "image/gif");
    QString err;
    EXPECT_EQ(run({"--quiet", "--delete-pages", "--min-image-kb", "2", site.url("/index.html"),
                   downloads()},
                  &err),
              0)
        << err.toStdString();
    EXPECT_EQ(stored(run0()), QStringList({"000002.jpg", "000005.jpg"}));
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
}

// The demo site beside the program ends by itself with the designed settings: every picture
// kind kept, the one small picture deleted, each page deleted once scanned.
TEST_F(CrawlCommandTest, TheDemoSiteEndsWithTheDesignedSettings) {
    writeInit("[Option]\nHTMLAutoDelete=0\nPictAutoDelete=0\nPictAutoDeleteSize=2\n");
    QString err;
    EXPECT_EQ(
        run({"--max-seconds", "30", "file://" SR_BINARY_DIR "/demo/index.html", downloads()}, &err),
        0)
        << err.toStdString();
    EXPECT_TRUE(err.contains("siterambler-crawl: crawl completed\n")) << err.toStdString();
    EXPECT_FALSE(err.contains("servicing events")) << err.toStdString();
    QStringList kinds;
    for (const QString& name : stored(run0())) kinds << QFileInfo(name).suffix();
    kinds.sort();
    EXPECT_EQ(kinds, QStringList({"gif", "jpeg", "jpg", "jpg", "png", "png"}));  // not the dot
}

TEST_F(CrawlCommandTest, TheSummaryTellsFailedFetchesByTheirCommonestCauses) {
    site.page("/index.html", "<img src=\"gone.jpg\"> <img src=\"big.jpg\"> <a href=\"x.htm\">");
    site.page("/big.jpg", std::string(5000, 'b'), "image/jpeg");
    QString err;
    EXPECT_EQ(run({"--quiet", site.url("/index.html"), downloads()}, &err), 0) << err.toStdString();
    EXPECT_TRUE(err.contains("2 fetches failed: 2 not found (HTTP 404)")) << err.toStdString();
}

// One language per front: the command says in English what the window's boxes say in theirs.
TEST_F(CrawlCommandTest, InputErrorsAreToldInEnglishAndExitOne) {
    QString err;
    EXPECT_EQ(run({site.url("/a.html"), dir.filePath("missing")}, &err), 1);
    EXPECT_TRUE(err.contains("siterambler-crawl: the download folder " + dir.filePath("missing") +
                             " does not exist\n"))
        << err.toStdString();
    EXPECT_FALSE(err.contains("パスエラー"));
    EXPECT_EQ(run({"", downloads()}, &err), 1);
    EXPECT_TRUE(err.contains("siterambler-crawl: no start URL was given\n")) << err.toStdString();
    EXPECT_EQ(run({"--bogus"}, &err), 1);
    EXPECT_FALSE(QDir(run0()).exists());
}

// Nothing to crawl is not a completed crawl: the cause is told, the exit code says its kind, and
// no empty run folder stays. A start page that arrived makes later failures ordinary.
TEST_F(CrawlCommandTest, AStartPageThatCannotBeFetchedIsTheRunsFailure) {
    QString err;
    EXPECT_EQ(run({"--quiet", site.url("/gone.html"), downloads()}, &err), 8);
    EXPECT_EQ(err, "siterambler-crawl: cannot fetch the start page " + site.url("/gone.html") +
                       ": not found (HTTP 404)\n");
    const QString refused = QString("http://127.0.0.1:%1/a.html").arg(UnusedLoopbackPort());
    EXPECT_EQ(run({"--quiet", refused, downloads()}, &err), 4);
    EXPECT_TRUE(err.contains("the server refused the connection")) << err.toStdString();
    EXPECT_EQ(run({"--quiet", "http://", downloads()}, &err), 1);
    EXPECT_TRUE(err.contains("the URL is not valid")) << err.toStdString();
    EXPECT_EQ(QDir(downloads()).entryList({"SR*"}, QDir::Dirs), QStringList());
    site.page("/a.html", "<a href=\"gone.html\">x</a>");
    EXPECT_EQ(run({"--quiet", site.url("/a.html"), downloads()}, &err), 0) << err.toStdString();
    EXPECT_EQ(stored(run0()), QStringList{"000001.html"});
}

TEST_F(CrawlCommandTest, PageLimitStopsLikeCancelAndSavesTheQueueForResuming) {
    cycleSite();
    QString err;
    // One connection: the requests counted below are those of the one-at-a-time crawl.
    EXPECT_EQ(
        run({"--quiet", "--connections", "1", "--max-pages", "3", site.url("/a.html"), downloads()},
            &err),
        0)
        << err.toStdString();
    const QString queue = run0() + "/queue.srs";
    ASSERT_TRUE(QFile::exists(queue));
    ProfileFile saved;
    saved.load(queue);
    EXPECT_EQ(saved.value("BaseSetting", "DownloadPath"), downloads());
    // the page being worked on when the crawl stopped becomes the start of the next one
    EXPECT_TRUE(saved.value("BaseSetting", "URL").endsWith(".html"));
    EXPECT_EQ(site.count("/a.html") + site.count("/b.html"), 4);  // 3 done, the 4th interrupted
    SqliteDb archive;
    ASSERT_TRUE(archive.openReadOnly(downloads() + "/siterambler-archive.sqlite"));
    SqliteDb::Statement outcome = archive.prepare("SELECT outcome FROM runs");
    ASSERT_TRUE(outcome.next());
    EXPECT_EQ(outcome.text(0), "stopped by limit");

    // resuming starts a new run folder from the saved page
    const QString other = dir.filePath("resumed.srs");
    EXPECT_EQ(run({"--quiet", "--max-pages", "1", "--save-queue", other, "--resume", queue}, &err),
              0)
        << err.toStdString();
    EXPECT_TRUE(QDir(downloads() + "/SR0001").exists());
    EXPECT_TRUE(QFile::exists(other));
}

TEST_F(CrawlCommandTest, InterruptSavesTheQueueAndExits130) {
    cycleSite();
    SiteRoute slow;
    slow.body = "<a href=\"a.html\">a</a> <img src=\"2.png\">";
    slow.delayMs = 300;
    site.route("/b.html", slow);
    QProcess p;
    p.start(exe(), {"--quiet", site.url("/a.html"), downloads()});
    ASSERT_TRUE(p.waitForStarted());
    for (int i = 0; i < 200 && site.count("/b.html") == 0; ++i) QThread::msleep(10);
    ::kill(p.processId(), SIGINT);
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 130);
    EXPECT_TRUE(QFile::exists(run0() + "/queue.srs"));
}

TEST_F(CrawlCommandTest, EightConnectionsStoreExactlyWhatOneStores) {
    BuildParallelSite(site, false);
    QString err;
    QList<QMap<QString, QByteArray>> folders;
    for (const char* connections : {"1", "8"}) {
        const QStringList args = {"--quiet",  "--connections", connections, "--min-image-kb",
                                  "2",        "--max-pages",   "9",         site.url("/index.html"),
                                  downloads()};
        EXPECT_EQ(run(args, &err), 0) << err.toStdString();
        folders << FolderContents(downloads() + "/SR000" + QString::number(folders.size()));
    }
    // Stopped by the page limit: the saved queue is part of the folder and must match too.
    ASSERT_TRUE(folders[0].contains("queue.srs"));
    EXPECT_GT(folders[0].size(), 30);
    EXPECT_EQ(folders[1].keys(), folders[0].keys());
    for (auto it = folders[0].constBegin(); it != folders[0].constEnd(); ++it)
        EXPECT_TRUE(folders[1].value(it.key()) == it.value()) << it.key().toStdString();
}

// A real file system of 64 KiB, where this process may mount one; skipped elsewhere.
TEST_F(CrawlCommandTest, ARealFullDiskStopsTheCrawlWithNothingPartialLeft) {
    const QString small = dir.filePath("small");
    QDir().mkpath(small);
    if (::mount("tmpfs", QFile::encodeName(small).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    const Mounted mounted{QFile::encodeName(small)};
    std::string page;
    for (int i = 1; i <= 12; ++i) {
        const std::string name = std::to_string(i) + ".jpg";
        page += "<img src=\"" + name + "\">";
        site.page("/" + name, std::string(6000, char('a' + i)), "image/jpeg");
    }
    site.page("/a.html", page);
    const QString queue = dir.filePath("queue.srs");
    QString err;
    // the archive beside the run folders would take the little room first
    EXPECT_EQ(
        run({"--quiet", "--no-archive", "--save-queue", queue, site.url("/a.html"), small}, &err),
        74)
        << err.toStdString();
    EXPECT_TRUE(err.contains(std::strerror(ENOSPC))) << err.toStdString();
    const QDir run(small + "/SR0000");
    const QStringList files = run.entryList(QDir::Files | QDir::Hidden, QDir::Name);
    EXPECT_GE(files.size(), 2);
    EXPECT_LT(files.size(), 13);
    for (const QString& f : files)  // every file whole, no temporary among them
        EXPECT_EQ(QFileInfo(run.filePath(f)).size(), f.endsWith(".jpg") ? 6000 : page.size())
            << f.toStdString();
    EXPECT_TRUE(QFile::exists(queue));
}

TEST_F(CrawlCommandTest, ProgressIntoAPipeIsPlainLines) {
    cycleSite();
    QString err;
    EXPECT_EQ(run({"--max-pages", "2", site.url("/a.html"), downloads()}, &err), 0);
    EXPECT_FALSE(err.contains('\r') || err.contains('\033')) << err.toStdString();
    EXPECT_TRUE(err.endsWith('\n'));
    EXPECT_TRUE(err.contains(QRegularExpression(
        "\npages 2, images kept \\d+, queued \\d+ links \\d+ images, [0-9.]+ MB, [0-9.]+ pages/s")))
        << err.toStdString();
}

TEST_F(CrawlCommandTest, ProgressOnATerminalIsOneLineFittedToItsWidth) {
    const QString script = QStandardPaths::findExecutable("script");
    if (script.isEmpty()) GTEST_SKIP() << "script(1) is not installed";
    cycleSite();
    // script(1) gives the command a terminal; without a size of its own it takes COLUMNS
    const QString command = QStringLiteral("'%1' --max-pages 3 '%2' '%3' 2>&1")
                                .arg(exe(), site.url("/a.html"), downloads());
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("COLUMNS", "30");
    p.setProcessEnvironment(env);
    p.start(script, {"-q", "-e", "-c", command, "/dev/null"});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    EXPECT_EQ(p.exitCode(), 0) << out.toStdString();
    const QRegularExpression drawn("\r([^\r\n\033]*)\033\\[K");
    int drawings = 0;
    for (const auto& m : drawn.globalMatch(out)) {
        if (m.captured(1).isEmpty()) continue;  // a line cleared for a message
        ++drawings;
        EXPECT_LE(m.captured(1).size(), 29) << m.captured(1).toStdString();
    }
    EXPECT_GE(drawings, 1) << out.toStdString();
    EXPECT_TRUE(out.contains("pages 3, images kept")) << out.toStdString();
}

// New flags must reach the manual page and the README as well as --help.
TEST(CrawlDocumentation, ManualPageAndReadmeNameEveryFlagOfTheHelp) {
    auto read = [](const QString& path) {
        QFile f(QStringLiteral(SR_SOURCE_DIR) + path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
        return QString::fromUtf8(f.readAll());
    };
    const QString manual = read("/resources/siterambler-crawl.1").replace("\\-", "-");
    const QString readme = read("/README.md");
    QStringList flags;
    for (const auto& m : QRegularExpression("(?<![\\w-])--[a-z][a-z-]*").globalMatch(CrawlUsage()))
        flags << m.captured();
    flags.removeDuplicates();
    EXPECT_GE(flags.size(), 11);
    for (const QString& flag : flags) {
        const QRegularExpression named("(?<![\\w-])" + flag + "(?![\\w-])");
        EXPECT_TRUE(manual.contains(named)) << flag.toStdString() << " is not in the manual page";
        EXPECT_TRUE(readme.contains(named)) << flag.toStdString() << " is not in README.md";
    }
}

// The window program answers --help and --version as the command does, without a window; with
// no display it says what is missing instead of aborting.
TEST(WindowProgram, AnswersWithoutAWindowAndSaysWhenThereIsNoDisplay) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    p.setProcessEnvironment(env);
    const auto run = [&p](const QStringList& args) {
        p.start(SR_APP_EXE, args);
        if (!p.waitForFinished(30000)) p.kill();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    EXPECT_EQ(run({"--version"}), 0);
    EXPECT_EQ(p.readAllStandardOutput(), "siterambler " SR_VERSION_TEXT "\n");
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_TRUE(p.readAllStandardOutput().startsWith("Usage: siterambler"));
    EXPECT_EQ(run({}), 1);
    EXPECT_TRUE(p.readAllStandardError().contains("siterambler: no display"));
}
