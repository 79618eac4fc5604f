// Sequence naming, the counter, storing through a hidden temporary file, and the two deletion
// rules, with a scripted fetcher so that every case is exact.
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

#include "QtPrinters.h"
#include "core/basGlobal.h"
#include "crawl/Download.h"
#include "crawl/FileDigest.h"

namespace {

// Answers every fetch with the same body, or fails; runs a hook in the middle of the body.
class ScriptedFetcher final : public Fetcher {
public:
    QByteArray body = "image bytes";
    FetchOutcome outcome = FetchOutcome::Ok;
    int storageError = 0;          // the body could not be held on this machine
    std::function<void()> midway;  // between the two halves of the body
    QStringList urls;

    FetchResult fetch(const QString& url, const Sink& sink, const Progress& progress) override {
        urls << url;
        const auto half = body.size() / 2;
        if (!sink(body.constData(), std::size_t(half))) return {FetchOutcome::Failed, 0, {}};
        if (midway) midway();
        if (progress && !progress()) return {FetchOutcome::Aborted, 0, {}};
        if (outcome != FetchOutcome::Ok) return {outcome, 0, {}, storageError};
        if (!sink(body.constData() + half, std::size_t(body.size() - half)))
            return {FetchOutcome::Failed, 0, {}};
        return {FetchOutcome::Ok, 200, {}};
    }
};

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGlobals();
        ASSERT_TRUE(dir.isValid());
        gRunFolder = dir.path();
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
    QString get(const QString& url) { return DownloadFile(url, fetcher, {}); }

    QTemporaryDir dir;
    ScriptedFetcher fetcher;
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
    fetcher.body = QByteArray("\x00\r\n\xff\xfe binary\r", 13);
    EXPECT_EQ(get("http://h/photo.jpg"), dir.filePath("000001.jpg"));
    EXPECT_EQ(read("000001.jpg"), fetcher.body);
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
    fetcher.outcome = FetchOutcome::Failed;
    EXPECT_TRUE(get("http://h/a.jpg").isEmpty());
    EXPECT_EQ(gFileCounter, 1);
    EXPECT_TRUE(entries().isEmpty());

    EXPECT_TRUE(DownloadFile("http://h/b.jpg", fetcher, [] { return false; }).isEmpty());
    EXPECT_EQ(gFileCounter, 2);
    EXPECT_TRUE(entries().isEmpty());

    fetcher.outcome = FetchOutcome::Ok;
    EXPECT_EQ(get("http://h/c.jpg"), dir.filePath("000003.jpg"));
    EXPECT_EQ(entries(), QStringList({"000003.jpg"}));
}

TEST_F(DownloadTest, NoHalfWrittenFileIsVisibleUnderANumberedName) {
    QStringList seen;
    fetcher.midway = [&] {
        seen = QDir(dir.path()).entryList(QDir::Files, QDir::Name);  // what a viewer lists
    };
    EXPECT_EQ(get("http://h/a.jpg"), dir.filePath("000001.jpg"));
    EXPECT_TRUE(seen.isEmpty()) << seen.join(",").toStdString();
}

TEST_F(DownloadTest, AFileThatAppearsDuringTheTransferIsNeverReplaced) {
    fetcher.midway = [&] { writeFile("000001.jpg", 4); };
    EXPECT_EQ(get("http://h/a.jpg"), dir.filePath("000002.jpg"));
    EXPECT_EQ(read("000001.jpg"), "xxxx");
    EXPECT_EQ(read("000002.jpg"), fetcher.body);
    EXPECT_EQ(gFileCounter, 2);
    EXPECT_EQ(entries(), QStringList({"000001.jpg", "000002.jpg"}));
}

TEST_F(DownloadTest, CounterAtItsLargestValueFailsEveryDownloadWithoutWrapping) {
    gFileCounter = std::numeric_limits<std::int32_t>::max() - 1;
    EXPECT_EQ(get("http://h/a.jpg"), dir.filePath("2147483647.jpg"));
    EXPECT_TRUE(get("http://h/b.jpg").isEmpty());
    EXPECT_TRUE(get("http://h/c.jpg").isEmpty());
    EXPECT_EQ(gFileCounter, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(fetcher.urls.size(), 1);  // nothing is fetched that could not be stored
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
    fetcher.body = QByteArray(100000, '\0');
    for (qsizetype i = 0; i < fetcher.body.size(); ++i) fetcher.body[i] = char(i * 7 + i / 251);
    StoredBody stored;
    const QString path = DownloadFile("http://h/a.jpg", fetcher, {}, nullptr, &stored);
    ASSERT_EQ(path, dir.filePath("000001.jpg"));
    EXPECT_EQ(stored.bytes, QFileInfo(path).size());
    EXPECT_EQ(stored.sha256, FileSha256(path));
    EXPECT_EQ(stored.sha256.size(), 32);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);

    fetcher.outcome = FetchOutcome::Failed;
    StoredBody untouched;
    EXPECT_TRUE(DownloadFile("http://h/b.jpg", fetcher, {}, nullptr, &untouched).isEmpty());
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
    EXPECT_TRUE(DownloadFile("http://h/3.jpg", fetcher, {}, &fault).isEmpty());
    EXPECT_EQ(fault.error, ENOENT);
    EXPECT_EQ(gFileCounter, 3);  // the attempt used up its number, as any failed one does
}

TEST_F(DownloadTest, ABodyTheFetcherCouldNotHoldIsAStorageFault) {
    fetcher.outcome = FetchOutcome::Failed;
    fetcher.storageError = ENOSPC;
    StorageFault fault;
    EXPECT_TRUE(DownloadFile("http://h/1.jpg", fetcher, {}, &fault).isEmpty());
    EXPECT_EQ(fault.error, ENOSPC);
    EXPECT_EQ(fault.folder, gRunFolder);
    fetcher.storageError = 0;  // a plain failed fetch is passed over
    StorageFault none;
    EXPECT_TRUE(DownloadFile("http://h/2.jpg", fetcher, {}, &none).isEmpty());
    EXPECT_FALSE(none);
}
