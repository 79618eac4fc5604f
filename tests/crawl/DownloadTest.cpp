// Sequence naming, the counter, storing through a hidden temporary file, and the two deletion
// rules, with pictures fetched and stored as the crawl does, through scripted transfers so that
// every case is exact.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <functional>
#include <limits>
#include <memory>

#include "QtPrinters.h"
#include "core/UrlQueue.h"
#include "core/basGlobal.h"
#include "crawl/Download.h"
#include "crawl/FetchAhead.h"
#include "crawl/FileDigest.h"

namespace {

// Answers every request with the same body, or fails; runs a hook in the middle of the body.
// A request runs while the crawl waits for it, as a pool of one connection does.
class ScriptedTransfers final : public Transfers {
public:
    QByteArray body = "image bytes";
    FetchOutcome outcome = FetchOutcome::Ok;
    int storageError = 0;          // the body could not be held on this machine
    std::function<void()> midway;  // between the two halves of the body
    QStringList urls;

    int start(const QString& url, std::int64_t, Write write) override {
        urls << url;
        mWrite = std::move(write);
        mEnded = false;
        return ++mId;
    }
    State state(int) const override { return mEnded ? State::Ended : State::Running; }
    Wait wait(int, const Turn& turn) override {
        const auto half = body.size() / 2;
        if (const int error = mWrite(body.constData(), std::size_t(half))) return end(error);
        if (midway) midway();
        if (turn && !turn()) return Wait::Stopped;
        if (outcome != FetchOutcome::Ok) return end(storageError, outcome);
        const int error = mWrite(body.constData() + half, std::size_t(body.size() - half));
        return end(error, error ? FetchOutcome::Failed : FetchOutcome::Ok);
    }
    void resume(int) override {}
    FetchResult release(int) override {
        mWrite = nullptr;
        return mEnded ? mResult : FetchResult{FetchOutcome::Aborted, 0, {}};
    }
    int connections() const override { return 1; }

private:
    Wait end(int error, FetchOutcome how = FetchOutcome::Failed) {
        mResult = {how, how == FetchOutcome::Ok ? 200 : 0, {}, error};
        mEnded = true;
        return Wait::Ready;
    }

    Write mWrite;
    bool mEnded = false;
    FetchResult mResult;
    int mId = 0;
};

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGlobals();
        ASSERT_TRUE(dir.isValid());
        gRunFolder = dir.path();
        ahead = std::make_unique<FetchAhead>(transfers, links, images, FetchAhead::Rules{});
    }
    QStringList entries() const {  // hidden ones included: no temporary may stay behind
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    QByteArray read(const QString& name) const {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void writeFile(const QString& name, qsizetype size) const {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(size, 'x'));
    }
    // A picture stored as the crawl stores one.
    QString get(const QString& url, StorageFault* fault = nullptr, StoredBody* stored = nullptr,
                const Fetcher::Progress& progress = {}) {
        return StoreBody(
            url, [&](bool digest) { return ahead->fetch(url, false, digest, progress); }, fault,
            stored);
    }

    QTemporaryDir dir;
    ScriptedTransfers transfers;
    UrlQueue links;
    UrlQueue images;
    std::unique_ptr<FetchAhead> ahead;  // made once the settings are reset
};

TEST(GetExtensionTest, TakesTheTextBetweenTheFirstTwoDotsOfTheLastPiece) {
    EXPECT_EQ(GetExtension("http://h/photo.jpg"), ".jpg");
    EXPECT_EQ(GetExtension("http://h/dir/a.b.jpg"), ".b");
    EXPECT_EQ(GetExtension("http://h/dir/index.html"), ".html");
    EXPECT_EQ(GetExtension("http://h/dir/"), ".");
    EXPECT_EQ(GetExtension("http://www.example.com"), ".example");
    EXPECT_EQ(GetExtension("http://h/dir/noext"), ".");
    EXPECT_EQ(GetExtension("nothing-without-slash.jpg"), ".");
    EXPECT_EQ(GetExtension("http://h/a.php?x=1.jpg"), ".php?x=1");
    EXPECT_EQ(GetExtension(""), ".");
}

TEST(SequenceNameTest, PadsToSixDigitsAndGrowsBeyond) {
    EXPECT_EQ(SequenceName(1), "000001");
    EXPECT_EQ(SequenceName(58), "000058");
    EXPECT_EQ(SequenceName(999999), "999999");
    EXPECT_EQ(SequenceName(1000000), "1000000");
    EXPECT_EQ(SequenceName(std::numeric_limits<std::int32_t>::max()), "2147483647");
}

TEST_F(DownloadTest, StoresTheBodyUnchangedUnderTheNextNumber) {
    transfers.body = QByteArray("\x00\r\n\xff\xfe binary\r", 13);
    EXPECT_EQ(get("http://h/photo.jpg"), dir.filePath("000001.jpg"));
    EXPECT_EQ(read("000001.jpg"), transfers.body);
    EXPECT_EQ(get("http://h/p/index.html"), dir.filePath("000002.html"));
    EXPECT_EQ(gFileCounter, 2);
    EXPECT_EQ(entries(), QStringList({"000001.jpg", "000002.html"}));
}

TEST_F(DownloadTest, CounterRunsOnIntoTheNextRunFolder) {
    for (int i = 0; i < 57; ++i) ASSERT_FALSE(get("http://h/a.gif").isEmpty());
    QTemporaryDir second;
    gRunFolder = second.path();
    EXPECT_EQ(get("http://h/next.png"), second.filePath("000058.png"));
}

TEST_F(DownloadTest, SkipsNamesAlreadyTakenAndCountsThem) {
    gFileCounter = 4;
    writeFile("000005.gif", 3);
    QDir(dir.path()).mkdir("000006.gif");  // a folder takes a name as well
    EXPECT_EQ(get("http://h/x.gif"), dir.filePath("000007.gif"));
    EXPECT_EQ(gFileCounter, 7);
    EXPECT_EQ(read("000005.gif"), "xxx");
    // Another extension is another name: 000008.jpg is free.
    EXPECT_EQ(get("http://h/x.jpg"), dir.filePath("000008.jpg"));
}

TEST_F(DownloadTest, FailedOrAbortedAttemptUsesItsNumberAndLeavesNoFile) {
    transfers.outcome = FetchOutcome::Failed;
    EXPECT_TRUE(get("http://h/a.jpg").isEmpty());
    EXPECT_EQ(gFileCounter, 1);
    EXPECT_TRUE(entries().isEmpty());

    EXPECT_TRUE(get("http://h/b.jpg", nullptr, nullptr, [] { return false; }).isEmpty());
    EXPECT_EQ(gFileCounter, 2);
    EXPECT_TRUE(entries().isEmpty());

    transfers.outcome = FetchOutcome::Ok;
    EXPECT_EQ(get("http://h/c.jpg"), dir.filePath("000003.jpg"));
    EXPECT_EQ(entries(), QStringList({"000003.jpg"}));
}

TEST_F(DownloadTest, NoHalfWrittenFileIsVisibleUnderANumberedName) {
    QStringList seen;
    transfers.midway = [&] {
        seen = QDir(dir.path()).entryList(QDir::Files, QDir::Name);  // what a viewer lists
    };
    EXPECT_EQ(get("http://h/a.jpg"), dir.filePath("000001.jpg"));
    EXPECT_TRUE(seen.isEmpty()) << seen.join(",").toStdString();
}

TEST_F(DownloadTest, AFileThatAppearsDuringTheTransferIsNeverReplaced) {
    transfers.midway = [&] { writeFile("000001.jpg", 4); };
    EXPECT_EQ(get("http://h/a.jpg"), dir.filePath("000002.jpg"));
    EXPECT_EQ(read("000001.jpg"), "xxxx");
    EXPECT_EQ(read("000002.jpg"), transfers.body);
    EXPECT_EQ(gFileCounter, 2);
    EXPECT_EQ(entries(), QStringList({"000001.jpg", "000002.jpg"}));
}

TEST_F(DownloadTest, CounterAtItsLargestValueFailsEveryDownloadWithoutWrapping) {
    gFileCounter = std::numeric_limits<std::int32_t>::max() - 1;
    EXPECT_EQ(get("http://h/a.jpg"), dir.filePath("2147483647.jpg"));
    EXPECT_TRUE(get("http://h/b.jpg").isEmpty());
    EXPECT_TRUE(get("http://h/c.jpg").isEmpty());
    EXPECT_EQ(gFileCounter, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(transfers.urls.size(), 1);  // nothing is fetched that could not be stored
    EXPECT_EQ(entries(), QStringList({"2147483647.jpg"}));
}

TEST_F(DownloadTest, NamesTheFileSystemRefusesFailWithoutLeftovers) {
    EXPECT_TRUE(get(QString("http://h/a.") + QChar(u'\0') + "jpg").isEmpty());
    EXPECT_TRUE(get("http://h/a." + QString(300, u'x')).isEmpty());  // name too long
    EXPECT_EQ(gFileCounter, 2);
    EXPECT_TRUE(entries().isEmpty());
    gRunFolder = dir.filePath("gone");  // the run folder vanished
    EXPECT_TRUE(get("http://h/a.jpg").isEmpty());
}

TEST_F(DownloadTest, SmallImageRuleAtItsLimit) {
    writeFile("1999.jpg", 1999);
    writeFile("2000.jpg", 2000);
    gPictAutoDelete = "1";
    EXPECT_FALSE(ApplySmallImageRule(dir.filePath("1999.jpg")));
    gPictAutoDelete = "0";
    EXPECT_FALSE(ApplySmallImageRule(dir.filePath("2000.jpg")));
    EXPECT_TRUE(ApplySmallImageRule(dir.filePath("1999.jpg")));
    EXPECT_EQ(entries(), QStringList({"2000.jpg"}));

    gPictAutoDeleteSize = 3;
    EXPECT_TRUE(ApplySmallImageRule(dir.filePath("2000.jpg")));
    EXPECT_TRUE(entries().isEmpty());
}

TEST_F(DownloadTest, SmallImageRuleWithLimitsBeyondThirtyTwoBits) {
    gPictAutoDelete = "0";
    writeFile("big.jpg", 5000);
    gPictAutoDeleteSize = -5;  // nothing is smaller than a negative size
    EXPECT_FALSE(ApplySmallImageRule(dir.filePath("big.jpg")));
    gPictAutoDeleteSize = 2147484;  // times 1000 is past 32 bits: every file is smaller
    EXPECT_TRUE(ApplySmallImageRule(dir.filePath("big.jpg")));
    EXPECT_TRUE(entries().isEmpty());
}

TEST_F(DownloadTest, StoredPageRuleDeletesOnlyWithZero) {
    writeFile("000001.html", 10);
    for (const char* keep : {"1", "", "00", "yes"}) {
        gHTMLAutoDelete = keep;
        EXPECT_FALSE(ApplyStoredPageRule(dir.filePath("000001.html")));
    }
    EXPECT_EQ(entries(), QStringList({"000001.html"}));
    gHTMLAutoDelete = "0";
    EXPECT_TRUE(ApplyStoredPageRule(dir.filePath("000001.html")));
    EXPECT_TRUE(entries().isEmpty());
}

TEST(EntryExistsTest, CountsFilesFoldersAndDanglingLinks) {
    QTemporaryDir dir;
    EXPECT_TRUE(EntryExists(dir.path()));
    EXPECT_FALSE(EntryExists(dir.filePath("none")));
    EXPECT_FALSE(EntryExists(QString()));
    ASSERT_TRUE(QFile::link(dir.filePath("none"), dir.filePath("dangling")));
    EXPECT_TRUE(EntryExists(dir.filePath("dangling")));
}

}  // namespace

// The size and digest the record takes are those of the bytes that reached the stored file,
// and the file has the permissions any file of the user gets.
TEST_F(DownloadTest, SizeAndDigestWorkedOutWhileWritingMatchTheStoredFile) {
    transfers.body = QByteArray(100000, '\0');
    for (qsizetype i = 0; i < transfers.body.size(); ++i) transfers.body[i] = char(i * 7 + i / 251);
    StoredBody stored;
    const QString path = get("http://h/a.jpg", nullptr, &stored);
    ASSERT_EQ(path, dir.filePath("000001.jpg"));
    EXPECT_EQ(stored.bytes, QFileInfo(path).size());
    EXPECT_EQ(stored.sha256, FileSha256(path));
    EXPECT_EQ(stored.sha256.size(), 32);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);

    transfers.outcome = FetchOutcome::Failed;
    StoredBody untouched;
    EXPECT_TRUE(get("http://h/b.jpg", nullptr, &untouched).isEmpty());
    EXPECT_TRUE(untouched.sha256.isEmpty());
    EXPECT_EQ(entries(), QStringList{"000001.jpg"});
}

// A run folder that goes between two downloads ends the next one in a storage fault, never in
// a success.
TEST_F(DownloadTest, RunFolderGoneBetweenDownloadsIsAStorageFault) {
    ASSERT_FALSE(get("http://h/1.jpg").isEmpty());
    ASSERT_FALSE(get("http://h/2.jpg").isEmpty());
    EXPECT_EQ(entries(), QStringList({"000001.jpg", "000002.jpg"}));
    ASSERT_TRUE(QDir(dir.path()).removeRecursively());
    StorageFault fault;
    EXPECT_TRUE(get("http://h/3.jpg", &fault).isEmpty());
    EXPECT_EQ(fault.error, ENOENT);
    EXPECT_EQ(gFileCounter, 3);  // the attempt used up its number, as any failed one does
}

TEST_F(DownloadTest, ABodyTheFetcherCouldNotHoldIsAStorageFault) {
    transfers.outcome = FetchOutcome::Failed;
    transfers.storageError = ENOSPC;
    StorageFault fault;
    EXPECT_TRUE(get("http://h/1.jpg", &fault).isEmpty());
    EXPECT_EQ(fault.error, ENOSPC);
    EXPECT_EQ(fault.folder, gRunFolder);
    transfers.storageError = 0;  // a plain failed fetch is passed over
    StorageFault none;
    EXPECT_TRUE(get("http://h/2.jpg", &none).isEmpty());
    EXPECT_FALSE(none);
}
