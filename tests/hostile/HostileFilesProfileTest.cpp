// Init.dat and crawl settings files that are garbage, huge, full of sections, with absurd
// counts or with old Mac line ends: loading never crashes or stalls, the values that are there
// are found, and saving keeps every byte it does not own.

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <limits>

#include "../crawlfile/DialogTestParts.h"
#include "HostileFilesSupport.h"
#include "core/AppPaths.h"
#include "core/Settings.h"
#include "core/basGlobal.h"
#include "crawl/Download.h"
#include "core/CrawlSettingsFile.h"
#include "dialogs/frmFileOpen2.h"

using namespace hostile;

namespace {

constexpr qint64 kHundredMegabytes = 100LL * 1000 * 1000;

class InitDat : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGlobals();
        ASSERT_TRUE(dir.isValid());
        AppPaths p;
        p.executableFolder = dir.path();
        p.settingsFile = dir.filePath("Init.dat");
        p.aboutFile = p.settingsFile;
        p.manualFile = dir.filePath("ReadMe.txt");
        p.defaultDownloadFolder = dir.path();
        SetAppPaths(p);
    }
    void TearDown() override { ResetGlobals(); }
    QString path() const { return dir.filePath("Init.dat"); }
    void write(const QByteArray& bytes) { ASSERT_TRUE(WriteFile(path(), bytes)); }
    // Saves, then starts afresh and loads what was saved.
    void saveAndReload(const QString& url, const QString& download) {
        ASSERT_TRUE(SaveSettings(url, download));
        ResetGlobals();
        LoadSettings();
    }

    QTemporaryDir dir;
};

QByteArray SizeLimitFile(const QByteArray& size) {
    return "[Option]\nPictAutoDelete=0\nPictAutoDeleteSize=" + size + "\n";
}

// Writes a small file and applies the small-image rule to it: true when it was deleted.
bool SmallImageRuleDeletes(const QString& folder, int bytes) {
    const QString file = folder + "/000001.jpg";
    EXPECT_TRUE(WriteFile(file, QByteArray(bytes, 'x')));
    return ApplySmallImageRule(file);
}

CrawlSettingsRead ReadBytes(const QByteArray& bytes) {
    ProfileFile file;
    file.parse(bytes);
    return ReadCrawlSettings(file);
}

}  // namespace

TEST_F(InitDat, BinaryGarbageLoadsAsEmptyAndSavingKeepsEveryForeignByte) {
    const QByteArray garbage = Garbage(1024 * 1024);
    write(garbage);
    LoadSettings();
    EXPECT_EQ(gURLBasePath, "");
    EXPECT_EQ(gPictAutoDelete, "");
    EXPECT_EQ(gPictAutoDeleteSize, 2);
    gHTMLAutoDelete = "1";
    gPictAutoDelete = "0";
    gPictAutoDeleteSize = 9;
    saveAndReload("http://example.test/a b", "/data/ダウンロード");
    // the garbage is still there, unchanged, ahead of what the save added
    EXPECT_TRUE(ReadFile(path()).startsWith(garbage));
    EXPECT_EQ(gURLBasePath, "http://example.test/a b");
    EXPECT_EQ(gDownloadBasePath, "/data/ダウンロード");
    EXPECT_EQ(gHTMLAutoDelete, "1");
    EXPECT_EQ(gPictAutoDelete, "0");
    EXPECT_EQ(gPictAutoDeleteSize, 9);
}

TEST_F(InitDat, HundredMegabytesFindsTheValuesAtBothEndsAndSavesTheWholeFile) {
    const QByteArray head = "[Path]\r\nURL=http://head/\r\n";
    const QByteArray tail = "\r\n[Option]\r\nPictAutoDelete=0\r\nPictAutoDeleteSize=7\r\n";
    ASSERT_TRUE(WriteSparse(path(), kHundredMegabytes, head, tail));
    LoadSettings();
    EXPECT_EQ(gURLBasePath, "http://head/");
    EXPECT_EQ(gPictAutoDelete, "0");
    EXPECT_EQ(gPictAutoDeleteSize, 7);
    gPictAutoDeleteSize = 12;
    saveAndReload("http://new/", "/d");
    EXPECT_EQ(gURLBasePath, "http://new/");
    EXPECT_EQ(gPictAutoDeleteSize, 12);
    // the run of zero bytes between the two ends survived the rewrite
    const qint64 added = QByteArray("Download=/d\r\nHTMLAutoDelete=\r\n").size() +
                         QByteArray("http://new/").size() - QByteArray("http://head/").size() +
                         QByteArray("12").size() - QByteArray("7").size();
    EXPECT_EQ(QFileInfo(path()).size(), kHundredMegabytes + added);
}

TEST_F(InitDat, HundredMegabytesOfKeyLinesLoadsAndSavesInBoundedMemory) {
    // Millions of lines: a reader that spent an allocation or two per line needed gigabytes.
    QByteArray block;
    for (int i = 0; i < 1000; ++i)
        block += "k" + QByteArray::number(i).rightJustified(8, '0') + "=value value value value\n";
    QByteArray bytes;
    bytes.reserve(kHundredMegabytes + block.size());
    bytes += "[Path]\nURL=http://short/\n[Junk]\n";
    while (bytes.size() < kHundredMegabytes) bytes += block;
    bytes += "[Option]\nPictAutoDelete=1\nPictAutoDeleteSize=4\n";
    write(bytes);
    bytes.clear();
    LoadSettings();
    EXPECT_EQ(gURLBasePath, "http://short/");
    EXPECT_EQ(gPictAutoDeleteSize, 4);
    saveAndReload("http://other/", "/d");
    EXPECT_EQ(gURLBasePath, "http://other/");
    EXPECT_EQ(gPictAutoDeleteSize, 4);
    // the file, a copy being written and the index of its 2.5 million keys
    EXPECT_LT(PeakMemoryMegabytes(), 600);
}

TEST_F(InitDat, HundredThousandSectionsTheFirstMatchWinsAndOnlyItChanges) {
    QByteArray bytes;
    for (int i = 0; i < 100'000; ++i) {
        bytes += "[Path]\nURL=http://" + QByteArray::number(i) + "/\n";
        if (i == 50'000) bytes += "[option]\npictautodelete=1\nPICTAUTODELETESIZE=3\n";
    }
    write(bytes);
    LoadSettings();
    EXPECT_EQ(gURLBasePath, "http://0/");
    EXPECT_EQ(gPictAutoDelete, "1");
    EXPECT_EQ(gPictAutoDeleteSize, 3);
    saveAndReload("http://saved/", "/d");
    EXPECT_EQ(gURLBasePath, "http://saved/");
    const QByteArray saved = ReadFile(path());
    EXPECT_EQ(saved.count("URL=http://"), 100'000);
    EXPECT_TRUE(saved.contains("URL=http://99999/\n"));
    EXPECT_FALSE(saved.contains("URL=http://0/\n"));
}

TEST_F(InitDat, SizeLimitsAtAndBeyondThe32BitRange) {
    struct Case {
        QByteArray text;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"2147483647", std::numeric_limits<std::int32_t>::max()},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"2147483648", 2},
        {"-2147483649", 2},
        {"2147483647.5", 2},  // rounds to the even neighbour, which no longer fits
        {"1e300", 2},
        {"-1e300", 2},
        {"1e-300", 0},
        {"99999999999999999999999999999999999999", 2},
    };
    for (const Case& c : cases) {
        write(SizeLimitFile(c.text));
        ResetGlobals();
        LoadSettings();
        EXPECT_EQ(gPictAutoDeleteSize, c.expected) << c.text.constData();
    }
    // The extreme limits work in the small-image rule without overflowing: the largest deletes
    // every image, the smallest none.
    gPictAutoDelete = "0";
    gPictAutoDeleteSize = std::numeric_limits<std::int32_t>::max();
    EXPECT_TRUE(SmallImageRuleDeletes(dir.path(), 100'000));
    gPictAutoDeleteSize = std::numeric_limits<std::int32_t>::min();
    EXPECT_FALSE(SmallImageRuleDeletes(dir.path(), 0));
}

TEST_F(InitDat, CarriageReturnOnlyLineEndsReadAndStayAsTheyWere) {
    write(
        "[Path]\rURL=http://cr/\rDownload=/cr\r[Option]\rPictAutoDelete=0\r"
        "PictAutoDeleteSize=5\r[About]\rVersion=v\r");
    LoadSettings();
    EXPECT_EQ(gURLBasePath, "http://cr/");
    EXPECT_EQ(gDownloadBasePath, "/cr");
    EXPECT_EQ(gPictAutoDeleteSize, 5);
    EXPECT_EQ(gVersion, "v");
    saveAndReload("http://cr2/", "/cr2");
    const QByteArray saved = ReadFile(path());
    EXPECT_FALSE(saved.contains('\n')) << saved.constData();
    EXPECT_TRUE(saved.contains("HTMLAutoDelete=\r"));
    EXPECT_EQ(gURLBasePath, "http://cr2/");
    EXPECT_EQ(gVersion, "v");
}

TEST_F(InitDat, UnreadableFileIsNeitherReadNorReplaced) {
    const QByteArray original = "[Path]\nURL=http://secret/\n";
    write(original);
    QFile::setPermissions(path(), QFile::WriteOwner);
    if (!PermissionsBind(path()))
        GTEST_SKIP() << "running with rights that read any file: permission bits cannot make "
                        "Init.dat unreadable here";
    LoadSettings();
    EXPECT_EQ(gURLBasePath, "");
    EXPECT_EQ(gPictAutoDeleteSize, 2);
    EXPECT_FALSE(SaveSettings("http://new/", "/d"));
    QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(ReadFile(path()), original);
}

TEST_F(InitDat, PipesAndEndlessDevicesAreNotReadNorReplaced) {
    ASSERT_TRUE(QFile::link("/dev/zero", path()));
    LoadSettings();
    EXPECT_EQ(gURLBasePath, "");
    EXPECT_EQ(gPictAutoDeleteSize, 2);
    EXPECT_FALSE(SaveSettings("http://new/", "/d"));
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    ASSERT_TRUE(QFile::remove(path()));
    {
        PipeWatch pipe(path());
        ASSERT_TRUE(pipe.made());
        LoadSettings();
        EXPECT_FALSE(pipe.readerCame()) << "the settings reader waited on a pipe";
        EXPECT_EQ(gURLBasePath, "");
        EXPECT_FALSE(SaveSettings("http://new/", "/d"));
    }
    EXPECT_FALSE(QFileInfo(path()).isFile());
}

TEST(CrawlFileCount, ExtremeCountsReadOnlyTheKeysPresentOrFail) {
    const QByteArray links = "URL0=a\nURL5=b\nURL2147483647=c\nURL2147483648=d\nURL99999999999=e\n";
    const CrawlSettingsRead largest = ReadBytes("[Link]\nCount=2147483647\n" + links);
    EXPECT_FALSE(largest.countOutOfRange);
    EXPECT_EQ(largest.links, QStringList({"a", "b", "c"}));

    const CrawlSettingsRead smallest = ReadBytes("[Link]\nCount=-2147483648\n" + links);
    EXPECT_FALSE(smallest.countOutOfRange);
    EXPECT_TRUE(smallest.links.isEmpty());

    for (const char* tooLarge : {"1e300", "-1e300", "2147483648", "2147483647.5"}) {
        const CrawlSettingsRead read =
            ReadBytes("[BaseSetting]\nURL=u\n[Link]\nCount=" + QByteArray(tooLarge) + "\n" + links);
        EXPECT_TRUE(read.countOutOfRange) << tooLarge;
        EXPECT_TRUE(read.links.isEmpty()) << tooLarge;
        EXPECT_EQ(read.startUrl, "u");  // what came before the count is still taken over
    }
}

TEST(CrawlFileShape, GarbageHugeManySectionsAndCarriageReturnsOnly) {
    const CrawlSettingsRead garbage = ReadBytes(Garbage(4 * 1024 * 1024, 11));
    EXPECT_TRUE(garbage.links.isEmpty());
    EXPECT_EQ(garbage.startUrl, "");
    EXPECT_FALSE(garbage.countOutOfRange);

    QByteArray many = "[BaseSetting]\rURL=s\r[Link]\rCount=99999\r";
    for (int i = 0; i < 100'000; ++i)
        many += "URL" + QByteArray::number(i) + "=l" + QByteArray::number(i) + "\r";
    const CrawlSettingsRead cr = ReadBytes(many);
    ASSERT_EQ(cr.links.size(), 100'000);
    EXPECT_EQ(cr.links.first(), "l0");
    EXPECT_EQ(cr.links.last(), "l99999");
    EXPECT_EQ(cr.startUrl, "s");

    QByteArray sections;
    for (int i = 0; i < 100'000; ++i)
        sections += "[Link]\nCount=1\nURL0=first" + QByteArray::number(i) + "\nURL1=\n";
    EXPECT_EQ(ReadBytes(sections).links, QStringList({"first0"}));

    QTemporaryDir dir;
    const QString huge = dir.filePath("huge.srs");
    ASSERT_TRUE(WriteSparse(huge, kHundredMegabytes, "[BaseSetting]\nURL=start\n",
                            "\n[Link]\nCount=1\nURL1=end\n"));
    const CrawlSettingsRead read = ReadCrawlSettingsFile(huge);
    EXPECT_EQ(read.startUrl, "start");
    EXPECT_EQ(read.links, QStringList({"end"}));
}

namespace {

class OpenHostile : public FileDialogTest {
protected:
    void SetUp() override {
        FileDialogTest::SetUp();
        main.url->setText("http://before/");
        main.links.appendAll({"old"});
        main.images.appendAll({"img"});
    }
    frmFileOpen2* load(const QByteArray& bytes) {
        writeFile(folder("in") + "/f.srs", bytes);
        auto* d = open<frmFileOpen2>();
        EXPECT_TRUE(d->dirDirectry->setPath(folder("in")));
        const auto found = d->filFile->findItems("f.srs", Qt::MatchExactly);
        EXPECT_EQ(found.size(), 1);
        if (!found.isEmpty()) found.first()->setSelected(true);
        QTest::mouseClick(d->cmdOK, Qt::LeftButton);
        return d;
    }
};

}  // namespace

TEST_F(OpenHostile, GarbageLoadsNothingButEmptiesTheListsAndCloses) {
    auto* d = load(Garbage(256 * 1024, 3));
    EXPECT_TRUE(gone(d));
    EXPECT_TRUE(script.shown().empty());
    EXPECT_EQ(main.url->text(), "http://before/");
    EXPECT_EQ(main.links.count(), 0);
    EXPECT_EQ(main.images.count(), 0);
}

TEST_F(OpenHostile, ADeviceOrPipeNamedSrsReadsAsAnEmptyFile) {
    ASSERT_TRUE(QFile::link("/dev/zero", folder("in") + "/zero.srs"));
    auto* d = open<frmFileOpen2>();
    EXPECT_TRUE(d->dirDirectry->setPath(folder("in")));
    const auto found = d->filFile->findItems("zero.srs", Qt::MatchExactly);
    if (!found.isEmpty()) found.first()->setSelected(true);
    QTest::mouseClick(d->cmdOK, Qt::LeftButton);
    EXPECT_TRUE(gone(d));
    EXPECT_EQ(main.url->text(), "http://before/");
    EXPECT_EQ(main.links.count(), 0);

    PipeWatch pipe(folder("in") + "/pipe.srs");
    ASSERT_TRUE(pipe.made());
    EXPECT_TRUE(ReadCrawlSettingsFile(folder("in") + "/pipe.srs").links.isEmpty());
    EXPECT_FALSE(pipe.readerCame()) << "the crawl settings reader waited on a pipe";
}

TEST_F(OpenHostile, CountOf1e300IsAReadFailureThatKeepsTheDialogOpen) {
    auto* d = load("[BaseSetting]\r\nURL=http://taken/\r\n[Link]\r\nCount=1e300\r\nURL0=x\r\n");
    ASSERT_EQ(script.shown().size(), 1u);
    EXPECT_EQ(script.shown()[0].text, "ファイルの読み込みに失敗しました。");
    EXPECT_EQ(script.shown()[0].title, "読み込みの失敗");
    EXPECT_FALSE(gone(d));
    EXPECT_EQ(main.url->text(), "http://taken/");
    EXPECT_EQ(main.links.count(), 0);
}

TEST_F(OpenHostile, LargestCountWithCarriageReturnsLoadsThePresentKeysAndCloses) {
    auto* d = load(
        "[BaseSetting]\rURL=http://cr/\r[Link]\rCount=2147483647\rURL1=a\r"
        "URL2147483647=b\r");
    EXPECT_TRUE(gone(d));
    EXPECT_EQ(main.url->text(), "http://cr/");
    EXPECT_EQ(main.links.entries(), QStringList({"a", "b"}));
}
