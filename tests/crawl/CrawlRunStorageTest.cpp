// Writers of the crawl that fail without stopping it, and two crawls racing for a run folder.
#include <QThreadPool>
#include <atomic>
#include <thread>
#include <vector>

#include "CrawlFixture.h"
#include "FaultyStorage.h"
#include "crawl/BodyFile.h"

namespace {

using Op = FaultyStorage::Op;
using RunStorageTest = CrawlFixture;

TEST_F(RunStorageTest, AFolderTakenBetweenChoiceAndCreationMakesTheRunTakeTheNextName) {
    FaultyStorage storage;
    QDir(downloads.path()).mkdir("SR0001");
    storage.fault = [](Op op, const QString& path) {
        if (op == Op::MakeFolder && path.endsWith("SR0000")) QDir().mkdir(path);  // the other one
        return 0;
    };
    site.page("/index.html", "<img src=\"1.jpg\">");
    site.page("/1.jpg", Bytes(3000), "image/jpeg");
    crawl(site.url("/index.html"));
    EXPECT_TRUE(windows.shown()[0].text.contains("フォルダ「SR0000」を作成して"));
    EXPECT_EQ(gRunFolder, runFolder("SR0002"));
    EXPECT_EQ(stored(), QStringList({"000001.html", "000002.jpg"}));
    EXPECT_TRUE(Entries(runFolder("SR0000")).isEmpty());
    EXPECT_EQ(lastBox().text, "巡回が完了しました。");
}

TEST_F(RunStorageTest, NamesTheFileSystemRefusesAndFailedFetchesArePassedOver) {
    // a web page chooses the extension: a name too long for any file system must not stop us
    const std::string longName = "x." + std::string(300, 'e') + ".jpg";
    site.page("/index.html", "<img src=\"" + longName +
                                 "\"> <img src=\"gone.jpg\"> "
                                 "<img src=\"1.jpg\">");
    site.page("/" + longName, Bytes(3000), "image/jpeg");
    site.page("/1.jpg", Bytes(3000), "image/jpeg");
    crawl(site.url("/index.html"));
    EXPECT_EQ(lastBox().text,
              "巡回が完了しました。\r\r取得できなかったファイル：1 件\r　・見つかりません（HTTP "
              "404）：1 件");
    EXPECT_EQ(stored(), QStringList({"000001.html", "000004.jpg"}));
    EXPECT_EQ(site.count("/" + longName), 1);
}

TEST_F(RunStorageTest, DeletionsThatFailAreCountedAndTheRunGoesOn) {
    FaultyStorage storage;
    storage.fault = [](Op op, const QString&) { return op == Op::Remove ? EIO : 0; };
    gHTMLAutoDelete = "0";
    gPictAutoDelete = "0";
    site.page("/index.html", "<img src=\"small.gif\"> <img src=\"big.jpg\">");
    site.page("/small.gif", Bytes(100), "image/gif");
    site.page("/big.jpg", Bytes(3000), "image/jpeg");
    host.url = site.url("/index.html");
    windows.answer(IDYES);
    const CrawlEnd end = RunShown(host, fetcher);
    EXPECT_EQ(lastBox().text, "巡回が完了しました。");
    EXPECT_FALSE(end.storageFault);
    EXPECT_EQ(end.failedDeletions, 2);
    EXPECT_EQ(end.firstFailedDeletion, gRunFolder + "/000001.html");
    EXPECT_EQ(end.firstDeletionError, EIO);
    EXPECT_EQ(gImageCount, 1);  // the small image was to go: it does not count
}

TEST_F(RunStorageTest, AVanishedDownloadFolderIsTheOneNamed) {
    FaultyStorage storage;
    const QString top = downloads.path();
    storage.fault = [top](Op op, const QString&) {
        if (op == Op::Create) QDir(top).removeRecursively();
        return 0;
    };
    host.url = site.url("/index.html");
    windows.answer(IDYES);
    const CrawlEnd end = RunShown(host, fetcher);
    EXPECT_EQ(end.storageFault.error, ENOENT);
    EXPECT_EQ(end.storageFault.folder, top);
    EXPECT_TRUE(windows.shown()[1].text.startsWith("フォルダ「" + top + "」に"));
    EXPECT_EQ(lastBox().text, "巡回を中止しました。");
    EXPECT_TRUE(site.requests().empty());  // nothing is fetched that cannot be stored
}

}  // namespace

namespace {
// Unnamed files that are only counted: which thread closed the last one.
struct CountingStorage final : RunStorage {
    std::atomic<std::thread::id> closedOn;
    int createTemporary(const QString&, QString*, int*) override { return EOPNOTSUPP; }
    int createUnnamed(const QString&, int* handle) override { return *handle = 7, 0; }
    int write(int, const char*, std::size_t) override { return 0; }
    int close(int) override { return closedOn = std::this_thread::get_id(), 0; }
    int rename(const QString&, const QString&, bool) override { return 0; }
    int remove(const QString&) override { return 0; }
    int makeFolder(const QString&) override { return 0; }
};
}  // namespace

// A large body dropped without a name is closed away from the run's thread (the file system
// frees its blocks then), a small one at once.
TEST(BodyFile, ALargeDroppedBodyIsClosedOnAnotherThread) {
    CountingStorage storage;
    const std::vector<char> chunk(1 << 20);
    for (const int chunks : {1, 8}) {
        storage.closedOn = std::thread::id();
        {
            BodyFile body(storage, false);
            ASSERT_EQ(body.create(QStringLiteral("/nowhere")), 0);
            for (int i = 0; i < chunks; ++i) ASSERT_EQ(body.write(chunk.data(), chunk.size()), 0);
        }
        QThreadPool::globalInstance()->waitForDone();
        EXPECT_EQ(storage.closedOn == std::this_thread::get_id(), chunks == 1) << chunks;
    }
}
