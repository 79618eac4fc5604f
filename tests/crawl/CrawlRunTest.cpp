// The start button's work: input checks, the run folder, the confirmation, the queues and their
// selected entries, cancellation, the end of the program inside a run, captions and messages.
#include "CrawlFixture.h"
#include "core/CrawlOptions.h"

namespace {

const QString kCrawling = "Site Rambler - 巡回中…";
QString CountCaption(int n) {
    return kCrawling + " ( " + QString::number(n) +
           "個のイメージファイルをダウンロードしました。 )";
}
constexpr int kWarning = 0x1030;
constexpr int kInformation = 0x1040;

using RunInputTest = CrawlFixture;
using RunFolderTest = CrawlFixture;
using RunTest = CrawlFixture;

TEST_F(RunInputTest, EachMissingInputHasItsBoxAndFocus) {
    host.url = "";
    host.folder = "/nonexistent/folder";  // not examined while the URL is missing
    RunShown(host, fetcher);
    ASSERT_EQ(windows.shown().size(), 1u);
    EXPECT_EQ(lastBox().text, "スタートするページのＵＲＬが入力されていません。");
    EXPECT_EQ(lastBox().title, "入力エラー");
    EXPECT_EQ(lastBox().style, kWarning);
    EXPECT_EQ(host.urlFocus, 1);

    host.url = "   ";  // blanks are not empty
    host.folder = "";
    RunShown(host, fetcher);
    EXPECT_EQ(lastBox().text, "ダウンロードしたファイルの保存場所が入力されていません。");
    EXPECT_EQ(lastBox().title, "入力エラー");
    EXPECT_EQ(lastBox().style, kWarning);
    EXPECT_EQ(host.downloadFocus, 1);

    host.folder = downloads.filePath("missing");
    RunShown(host, fetcher);
    EXPECT_EQ(lastBox().text,
              "ダウンロード先に指定されたパスが見つかりません。正しいパスを指定してください。");
    EXPECT_EQ(lastBox().title, "パスエラー");
    EXPECT_EQ(lastBox().style, kWarning);
    EXPECT_EQ(host.downloadFocus, 2);

    host.folder = downloads.path();  // a cookies file that cannot be read starts nothing
    gCrawlOptions.cookieFile = downloads.filePath("none.txt");
    RunShown(host, fetcher);
    gCrawlOptions.cookieFile.clear();
    EXPECT_TRUE(lastBox().text.startsWith("クッキーのファイル「" + downloads.filePath("none.txt")));
    EXPECT_EQ(lastBox().style, kWarning);

    EXPECT_EQ(windows.shown().size(), 4u);
    EXPECT_TRUE(host.controlStates.empty());
    EXPECT_TRUE(gRunFolder.isEmpty());
    EXPECT_EQ(host.urlFocus, 1);
}

TEST_F(RunFolderTest, ConfirmationNamesTheFirstFreeFolderAndNoCreatesNothing) {
    QDir(downloads.path()).mkdir("SR0000");
    QFile(runFolder("SR0001")).open(QIODevice::WriteOnly);  // a file takes the name as well
    host.links.append("http://loaded/from/file.html");
    for (const int answer : {IDNO, IDCANCEL}) {
        host.url = site.url("/index.html");
        windows.answer(answer);
        RunShown(host, fetcher);
        ASSERT_EQ(windows.shown().size(), 1u);
        const QString d = downloads.path();
        EXPECT_EQ(lastBox().text,
                  "巡回を開始します。\r\r「" + d +
                      "」に\rフォルダ「SR0002」を作成して"
                      "ダウンロードしたファイルを保存します。\r\r開始してもよろしいですか？");
        EXPECT_EQ(lastBox().title, "巡回の開始の確認");
        EXPECT_EQ(lastBox().style, 0x23);
        EXPECT_EQ(gRunFolder, runFolder("SR0002"));
        EXPECT_FALSE(QFileInfo::exists(runFolder("SR0002")));
        EXPECT_EQ(host.links.entries(), QStringList({"http://loaded/from/file.html"}));
        EXPECT_TRUE(host.controlStates.empty());
        EXPECT_TRUE(site.requests().empty());
        windows.clearShown();
    }
}

TEST_F(RunFolderTest, FolderEndingInSlashGetsNoSecondSlash) {
    host.folder = downloads.path() + "/";
    site.page("/index.html", "no links");
    crawl(site.url("/index.html"));
    EXPECT_EQ(gRunFolder, downloads.path() + "/SR0000");
    EXPECT_TRUE(windows.shown()[0].text.contains("「" + downloads.path() + "/」に"));
    EXPECT_TRUE(QFileInfo(gRunFolder).isDir());
}

TEST_F(RunFolderTest, AllTenThousandNamesTakenStartsNothing) {
    // Any entry takes a name: a folder, a dangling link, plain files (cheapest to make).
    ASSERT_TRUE(QDir(downloads.path()).mkdir("SR0000"));
    ASSERT_TRUE(QFile::link(runFolder("nowhere"), runFolder("SR0001")));
    for (int n = 2; n < 10000; ++n) {
        QFile f(downloads.filePath(QString("SR%1").arg(n, 4, 10, QChar('0'))));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    host.url = site.url("/index.html");
    RunShown(host, fetcher);
    ASSERT_EQ(windows.shown().size(), 1u);
    EXPECT_EQ(lastBox().style, kWarning);
    EXPECT_EQ(lastBox().title, "パスエラー");
    EXPECT_TRUE(lastBox().text.contains("SR9999"));
    EXPECT_TRUE(gRunFolder.isEmpty());
    EXPECT_TRUE(host.controlStates.empty());
    EXPECT_TRUE(site.requests().empty());
}

TEST_F(RunFolderTest, FolderThatCannotBeCreatedStopsBeforeTheRun) {
    QFile plain(downloads.filePath("plain-file"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    host.folder = plain.fileName();  // exists, but nothing can be created inside it
    host.images.append("http://kept/a.jpg");
    crawl(site.url("/index.html"));
    ASSERT_EQ(windows.shown().size(), 2u);
    EXPECT_EQ(lastBox().style, kWarning);
    EXPECT_TRUE(lastBox().text.contains(plain.fileName() + "/SR0000"));
    EXPECT_TRUE(host.controlStates.empty());
    EXPECT_TRUE(host.captions.empty());
    EXPECT_EQ(host.images.entries(), QStringList({"http://kept/a.jpg"}));
    EXPECT_TRUE(site.requests().empty());
}

TEST_F(RunTest, StartPageThatFailsIsAWarningWithEverythingRestored) {
    host.links.append("http://loaded/queue.html");
    host.images.append("http://loaded/a.jpg");
    gFileCounter = 10;
    crawl(site.url("/missing.html"));
    EXPECT_EQ(gRunFolder, runFolder("SR0000"));
    EXPECT_FALSE(QFileInfo::exists(gRunFolder));  // made for the run, and empty
    EXPECT_EQ(gFileCounter, 11);
    EXPECT_EQ(host.captions, std::vector<QString>({kCrawling, "Site Rambler"}));
    EXPECT_EQ(host.controlStates, std::vector<bool>({true, false}));
    EXPECT_EQ(host.restingIcons, 1);
    EXPECT_EQ(lastBox().text,
              "スタートするページ「" + site.url("/missing.html") +
                  "」を取得できませんでした。\r\rページが見つかりません（HTTP 404）。");
    EXPECT_EQ(lastBox().title, "巡回エラー");
    EXPECT_EQ(lastBox().style, kWarning);
    EXPECT_EQ(host.links.count(), 0);
    EXPECT_EQ(host.images.count(), 0);
    EXPECT_EQ(site.paths(), std::vector<std::string>({"/missing.html"}));
}

TEST_F(RunTest, SmallImagesAndPagesAreDeletedAndOnlyKeptImagesCount) {
    gHTMLAutoDelete = "0";
    gPictAutoDelete = "0";
    site.page("/index.html",
              "<img src=\"small.jpg\">\r<img src=\"ok.jpg\">\r<img src=\"bad.jpg\">\r"
              "<img src=\"big.gif\">\r");
    site.page("/small.jpg", Bytes(1999), "image/jpeg");
    site.page("/ok.jpg", Bytes(2000), "image/jpeg");
    site.page("/big.gif", Bytes(5000), "image/gif");
    crawl(site.url("/index.html"));
    EXPECT_EQ(stored(), QStringList({"000003.jpg", "000005.gif"}));
    EXPECT_EQ(gImageCount, 2);
    EXPECT_EQ(host.captions,
              std::vector<QString>({kCrawling, CountCaption(1), CountCaption(2), "Site Rambler"}));
    EXPECT_EQ(lastBox().text,
              "巡回が完了しました。\r\r取得できなかったファイル：1 件\r　・見つかりません（HTTP "
              "404）：1 件");
}

TEST_F(RunTest, AllImagesTooSmallKeepTheCaptionWithoutCount) {
    gPictAutoDelete = "0";
    site.page("/index.html", "<img src=\"a.png\"> <img src=\"b.png\">");
    site.page("/a.png", Bytes(10), "image/png");
    site.page("/b.png", Bytes(1999), "image/png");
    crawl(site.url("/index.html"));
    EXPECT_EQ(stored(), QStringList({"000001.html"}));
    EXPECT_EQ(host.captions, std::vector<QString>({kCrawling, "Site Rambler"}));
    EXPECT_EQ(gImageCount, 0);
}

TEST_F(RunTest, NumbersRunOnAcrossRunsAndSkipFilesPlacedDuringTheRun) {
    site.page("/index.html", "<img src=\"a.jpg\"> <img src=\"b.gif\">");
    site.page("/a.jpg", "A", "image/jpeg");
    site.page("/b.gif", "B", "image/gif");
    crawl(site.url("/index.html"));
    EXPECT_EQ(gRunFolder, runFolder("SR0000"));
    EXPECT_EQ(stored(), QStringList({"000001.html", "000002.jpg", "000003.gif"}));

    // The second run: the user drops a file named like the next image while the page is read.
    host.onAnimate = [&] {
        QFile f(gRunFolder + "/000006.gif");
        if (!f.exists() && f.open(QIODevice::WriteOnly)) f.write("user");
    };
    windows.clearShown();
    crawl(site.url("/index.html"));
    EXPECT_EQ(gRunFolder, runFolder("SR0001"));
    EXPECT_EQ(stored(), QStringList({"000004.html", "000005.jpg", "000006.gif", "000007.gif"}));
    QFile user(gRunFolder + "/000006.gif");
    ASSERT_TRUE(user.open(QIODevice::ReadOnly));
    EXPECT_EQ(user.readAll(), "user");
    EXPECT_EQ(Entries(runFolder("SR0000")).size(), 3);
    EXPECT_EQ(gImageCount, 2);  // counts this run only
}

TEST_F(RunTest, CancelWhileAPageIsScannedFinishesTheScanAndOneImage) {
    site.page("/index.html",
              "<img src=\"1.jpg\">\r<a href=\"next.html\">n</a>\r<img src=\"2.jpg\">\r"
              "<img src=\"3.jpg\">\r");
    for (const char* p : {"/1.jpg", "/2.jpg", "/3.jpg"}) site.page(p, "img", "image/jpeg");
    host.onAnimate = [&] {
        if (host.captions.size() == 1) gCancelRequested = -1;  // the cancel button, early on
    };
    crawl(site.url("/index.html"));
    EXPECT_EQ(stored(), QStringList({"000001.html", "000002.jpg"}));
    EXPECT_EQ(host.links.entries(), QStringList({site.url("/index.html"), site.url("/next.html")}));
    EXPECT_EQ(host.images.entries(),
              QStringList({site.url("/1.jpg"), site.url("/2.jpg"), site.url("/3.jpg")}));
    EXPECT_EQ(lastBox().text, "巡回を中止しました。");
    EXPECT_EQ(lastBox().title, "巡回の中止");
    EXPECT_EQ(lastBox().style, kInformation);
    EXPECT_EQ(gCancelRequested, 0);
    EXPECT_EQ(host.caption(), "Site Rambler");
    EXPECT_EQ(host.controlStates, std::vector<bool>({true, false}));
    EXPECT_EQ(host.restingIcons, 1);
}

TEST_F(RunTest, CancelDuringAnImageTransferAbortsItAndKeepsItsEntry) {
    site.page("/index.html", "<img src=\"a.jpg\"> <img src=\"slow.jpg\"> <img src=\"c.jpg\">");
    site.page("/a.jpg", "A", "image/jpeg");
    site.page("/c.jpg", "C", "image/jpeg");
    SiteRoute slow;
    slow.body = "S";
    slow.delayMs = 600;
    site.route("/slow.jpg", slow);
    windows.onYield = [&] {
        if (site.count("/slow.jpg") > 0) gCancelRequested = -1;
    };
    crawl(site.url("/index.html"));
    EXPECT_EQ(stored(), QStringList({"000001.html", "000002.jpg"}));
    EXPECT_EQ(gFileCounter, 3);  // the aborted attempt used its number
    EXPECT_EQ(host.images.entries(), QStringList({site.url("/slow.jpg"), site.url("/c.jpg")}));
    EXPECT_EQ(host.links.entries(), QStringList({site.url("/index.html")}));
    EXPECT_EQ(lastBox().text, "巡回を中止しました。");
    EXPECT_EQ(site.count("/c.jpg"), 0);
}

TEST_F(RunTest, TheEntrySelectedByTheUserIsRemovedInsteadOfTheFirst) {
    // Pages: during the first scan the user selects the queued link, so it goes and the page
    // stays first and is visited again.
    site.page("/index.html",
              "<a href=\"two.html\">x</a> <img src=\"a.jpg\"> <img src=\"slow.jpg\">"
              " <img src=\"c.jpg\"> <img src=\"d.jpg\">");
    site.page("/two.html", "nothing here");
    for (const char* p : {"/a.jpg", "/c.jpg", "/d.jpg"}) site.page(p, "img", "image/jpeg");
    SiteRoute slow;
    slow.body = "S";
    slow.delayMs = 400;
    site.route("/slow.jpg", slow);
    bool pagePicked = false;
    host.onAnimate = [&] {
        if (!pagePicked && host.links.count() == 2) {
            host.links.setSelectedIndex(1);
            pagePicked = true;
        }
    };
    // Images: while slow.jpg comes in, the user selects c.jpg; c.jpg goes, slow.jpg comes again.
    bool imagePicked = false;
    windows.onYield = [&] {
        if (!imagePicked && site.count("/slow.jpg") == 1 && host.images.count() == 3) {
            host.images.setSelectedIndex(1);
            imagePicked = true;
        }
    };
    crawl(site.url("/index.html"));
    EXPECT_TRUE(pagePicked);
    EXPECT_TRUE(imagePicked);
    EXPECT_EQ(site.paths(),
              std::vector<std::string>({"/index.html", "/a.jpg", "/slow.jpg", "/slow.jpg", "/d.jpg",
                                        "/index.html", "/a.jpg", "/slow.jpg", "/c.jpg", "/d.jpg",
                                        "/two.html"}));
    EXPECT_EQ(lastBox().text, "巡回が完了しました。");
}

TEST_F(RunTest, ClearedSelectionRemovesTheFirstEntry) {
    site.page("/index.html", "<a href=\"two.html\">x</a> <img src=\"slow.jpg\">");
    site.page("/two.html", "end");
    SiteRoute slow;
    slow.body = "S";
    slow.delayMs = 300;
    site.route("/slow.jpg", slow);
    windows.onYield = [&] {
        host.links.setSelectedIndex(-1);
        host.images.setSelectedIndex(-1);
    };
    crawl(site.url("/index.html"));
    EXPECT_EQ(site.paths(), std::vector<std::string>({"/index.html", "/slow.jpg", "/two.html"}));
}

TEST_F(RunTest, ProgramEndingDuringATransferLeavesAtOnceAndLeavesNoTemporary) {
    site.page("/index.html", "<img src=\"stall.jpg\"> <img src=\"never.jpg\">");
    SiteRoute stall;
    stall.body = "partial";
    stall.stall = true;
    site.route("/stall.jpg", stall);
    windows.onYield = [&] {
        if (site.count("/stall.jpg") > 0) ws().RequestEnd();
    };
    crawl(site.url("/index.html"));
    EXPECT_EQ(windows.shown().size(), 1u);  // the confirmation only
    EXPECT_EQ(stored(), QStringList({"000001.html"}));
    EXPECT_EQ(host.controlStates, std::vector<bool>({true}));
    EXPECT_EQ(host.restingIcons, 0);
    EXPECT_EQ(site.count("/never.jpg"), 0);
}

TEST_F(RunTest, ProgramEndingDuringTheScanLeavesAtOnce) {
    gHTMLAutoDelete = "0";
    site.page("/index.html", "<img src=\"a.jpg\">\r<img src=\"b.jpg\">\r");
    host.onAnimate = [&] { ws().RequestEnd(); };
    crawl(site.url("/index.html"));
    EXPECT_EQ(windows.shown().size(), 1u);
    EXPECT_EQ(site.paths(), std::vector<std::string>({"/index.html"}));
    EXPECT_EQ(host.captions.size(), 1u);
}

TEST_F(RunTest, LocalFilesOnlyInACrawlThatStartedFromOne) {
    QTemporaryDir local;
    QDir(local.path()).mkdir("sub");
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(local.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write("index.html", "<a href=\"sub/page.html\">x</a>\r<img src=\"pic.jpg\">\r");
    write("sub/page.html", "<img src=\"../pic.jpg\">\r");
    write("pic.jpg", "picture");
    crawl("file://" + local.filePath("index.html"));
    EXPECT_EQ(stored(), QStringList({"000001.html", "000002.jpg", "000003.html", "000004.jpg"}));

    // A web page naming local files: nothing local is copied, even through a fetcher that
    // would allow it.
    site.page("/index.html", "<img src=\"file://" + local.filePath("pic.jpg").toStdString() +
                                 "\"> <a href=\"file://" +
                                 local.filePath("index.html").toStdString() + "\">x</a>");
    windows.answer(IDYES);
    host.url = site.url("/index.html");
    fetcher.setFilePolicy(FileUrlPolicy::ForCrawlFrom("file:///"));
    RunShown(host, fetcher);
    EXPECT_EQ(gRunFolder, runFolder("SR0001"));
    EXPECT_EQ(stored(), QStringList({"000005.html"}));
    EXPECT_EQ(gFileCounter, 7);
    EXPECT_EQ(lastBox().text, "巡回が完了しました。");
}

TEST_F(RunTest, ALocalFileOnlyFromALocalPageEvenInACrawlThatStartedFromOne) {
    QTemporaryDir local;
    const auto write = [&](const QString& name, const std::string& bytes) {
        QFile f(local.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes.data(), qint64(bytes.size()));
    };
    const std::string picture = "file://" + local.filePath("pic.jpg").toStdString();
    write("pic.jpg", "picture");
    write("start.html", "<a href=\"" + site.url("/web.html").toStdString() + "\">web</a>\r");
    site.page("/web.html", "<img src=\"" + picture + "\">");
    crawl("file://" + local.filePath("start.html"));
    EXPECT_EQ(site.count("/web.html"), 1);
    EXPECT_EQ(stored(), QStringList({"000001.html", "000002.html"}));
}

}  // namespace
