#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "QtPrinters.h"
#include "core/NumberText.h"
#include "core/ProfileFile.h"
#include "core/CrawlSettingsFile.h"

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

CrawlSettingsRead Parse(const QByteArray& bytes) {
    ProfileFile file;
    file.parse(bytes);
    return ReadCrawlSettings(file);
}

// The reading rule as a plain loop over every number: what the reader must match.
QStringList LinksByLoop(const ProfileFile& file) {
    QStringList links;
    const auto count = ToLongHalfEven(file.value("Link", "Count"));
    if (!count) return links;
    for (qint64 c = 0; c <= *count; ++c) {
        const QString v = file.value("Link", "URL" + QString::number(c));
        if (!v.isEmpty()) links.append(v);
    }
    return links;
}

const QStringList kABC{"A", "B", "C"};

}  // namespace

TEST(CrawlSettingsFormat, BothLayoutsWriteTheirKeysInOrder) {
    EXPECT_EQ(BuildCrawlSettingsFile("/images", "S", kABC, CrawlFileLayout::NewCrawl).bytes(),
              "[BaseSetting]\nDownloadPath=/images\nURL=S\n[Link]\nCount=3\n"
              "URL0=A\nURL1=B\nURL2=C\n");
    EXPECT_EQ(BuildCrawlSettingsFile("/images", "S", kABC, CrawlFileLayout::Resume).bytes(),
              "[BaseSetting]\nDownloadPath=/images\nURL=A\n[Link]\nCount=2\nURL1=B\nURL2=C\n");
}

TEST(CrawlSettingsFormat, ResumeNeedsAFirstLinkElseWritesTheNewCrawlLayout) {
    const QByteArray emptyNew =
        BuildCrawlSettingsFile("/d", "S", {}, CrawlFileLayout::NewCrawl).bytes();
    EXPECT_EQ(emptyNew, "[BaseSetting]\nDownloadPath=/d\nURL=S\n[Link]\nCount=0\n");
    EXPECT_EQ(BuildCrawlSettingsFile("/d", "S", {}, CrawlFileLayout::Resume).bytes(), emptyNew);
    EXPECT_EQ(BuildCrawlSettingsFile("/d", "S", {"", "B"}, CrawlFileLayout::Resume).bytes(),
              "[BaseSetting]\nDownloadPath=/d\nURL=S\n[Link]\nCount=2\nURL0=\nURL1=B\n");
    EXPECT_EQ(BuildCrawlSettingsFile("/d", "S", {"A"}, CrawlFileLayout::Resume).bytes(),
              "[BaseSetting]\nDownloadPath=/d\nURL=A\n[Link]\nCount=0\n");
}

TEST(CrawlSettingsFormat, TargetPathHasExactlyOneSlashAndTheNameAsTyped) {
    EXPECT_EQ(CrawlFileTargetPath("/", "a.srs"), "/a.srs");
    EXPECT_EQ(CrawlFileTargetPath("/data", "a.srs"), "/data/a.srs");
    EXPECT_EQ(CrawlFileTargetPath("/data/", "a.srs"), "/data/a.srs");
    EXPECT_EQ(CrawlFileTargetPath("/data", "noext"), "/data/noext");
    EXPECT_EQ(CrawlFileTargetPath("/data", "*?.srs"), "/data/*?.srs");
    EXPECT_EQ(CrawlFileTargetPath("/data", ""), "/data/");
}

TEST(CrawlSettingsFormat, ReaderTakesBothLayoutsBack) {
    const CrawlSettingsRead fresh =
        Parse(BuildCrawlSettingsFile("/images", "S", kABC, CrawlFileLayout::NewCrawl).bytes());
    EXPECT_EQ(fresh.startUrl, "S");
    EXPECT_EQ(fresh.downloadPath, "/images");
    EXPECT_EQ(fresh.links, kABC);
    EXPECT_FALSE(fresh.countOutOfRange);
    const CrawlSettingsRead resume =
        Parse(BuildCrawlSettingsFile("/images", "S", kABC, CrawlFileLayout::Resume).bytes());
    EXPECT_EQ(resume.startUrl, "A");
    EXPECT_EQ(resume.links, (QStringList{"B", "C"}));
}

TEST(CrawlSettingsFormat, ReaderSkipsGapsAndEmptyValuesAndHonoursCount) {
    const QByteArray body = "URL0=a\nURL1=\nURL3=c\nURL4=d\nURL5=e\nURL6=f\n";
    EXPECT_EQ(Parse("[Link]\nCount=5\n" + body).links, (QStringList{"a", "c", "d", "e"}));
    // URL + Count is read as well: the new-crawl layout's missing last key is simply skipped
    EXPECT_EQ(Parse("[Link]\nCount=4\n" + body).links, (QStringList{"a", "c", "d"}));
    EXPECT_EQ(Parse("[Link]\nCount=0\n" + body).links, (QStringList{"a"}));
    EXPECT_TRUE(Parse("[Link]\nCount=-1\n" + body).links.isEmpty());
    EXPECT_TRUE(Parse("[Link]\nCount=\n" + body).links.isEmpty());
    EXPECT_TRUE(Parse("[Link]\n" + body).links.isEmpty());
    EXPECT_TRUE(Parse("[Link]\nCount=many\n" + body).links.isEmpty());
    EXPECT_FALSE(Parse("[Link]\nCount=many\n" + body).countOutOfRange);
    // halves go to the even neighbour
    EXPECT_EQ(Parse("[Link]\nCount=2.5\n" + body).links, (QStringList{"a"}));
    EXPECT_EQ(Parse("[Link]\nCount=3.5\n" + body).links, (QStringList{"a", "c", "d"}));
}

TEST(CrawlSettingsFormat, ReaderMatchesKeysLikeTheProfileLookUp) {
    const CrawlSettingsRead read = Parse(
        "[BaseSetting]\nURL1=not a link\n[Link]\nCount=9\nurl2=lower\nURL03=padded\n"
        "URL4=first\nURL4=second\n ; URL5=comment\n  URL6 = blanks  \n[Other]\nURL7=other\n"
        "[link]\nURL8=second section\n");
    EXPECT_EQ(read.links, (QStringList{"lower", "first", "blanks"}));
}

TEST(CrawlSettingsFormat, HugeCountVisitsOnlyTheKeysPresent) {
    const CrawlSettingsRead read = Parse(
        "[Link]\nCount=2000000000\nURL2000000001=beyond\nURL2000000000=last\nURL0=first\n"
        "URL1999999999=before last\nURL99999999999=far beyond\n");
    EXPECT_EQ(read.links, (QStringList{"first", "before last", "last"}));
    EXPECT_FALSE(read.countOutOfRange);
}

TEST(CrawlSettingsFormat, CountBeyondThirtyTwoBitsIsAFailureButNotANonNumber) {
    for (const char* count : {"2147483648", "-2147483649", "1e20", "99999999999.5"}) {
        const CrawlSettingsRead read =
            Parse(QByteArray("[BaseSetting]\nURL=S\n[Link]\nURL0=a\nCount=") + count + "\n");
        EXPECT_TRUE(read.countOutOfRange) << count;
        EXPECT_TRUE(read.links.isEmpty()) << count;
        EXPECT_EQ(read.startUrl, "S");
    }
    EXPECT_FALSE(Parse("[Link]\nCount=2147483647\n").countOutOfRange);
    EXPECT_FALSE(Parse("[Link]\nCount=0x10\n").countOutOfRange);
}

TEST(CrawlSettingsFormat, ReaderAgreesWithThePlainLoopOnMixedFiles) {
    QRandomGenerator random(20261207);
    for (int round = 0; round < 300; ++round) {
        QByteArray text = "[Link]\nCount=" + QByteArray::number(random.bounded(-3, 30)) + "\n";
        const int keys = random.bounded(0, 25);
        for (int k = 0; k < keys; ++k) {
            const int n = random.bounded(0, 35);
            const char* spellings[] = {"URL", "url", "Url", "URL0"};
            text += spellings[random.bounded(4)] + QByteArray::number(n) + "=";
            if (random.bounded(4) != 0) text += "v" + QByteArray::number(k);
            text += random.bounded(5) == 0 ? "\r\n" : "\n";
            if (random.bounded(12) == 0) text += "[Link]\n";
        }
        ProfileFile file;
        file.parse(text);
        EXPECT_EQ(ReadCrawlSettings(file).links, LinksByLoop(file)) << text.toStdString();
    }
}

TEST(CrawlSettingsFile, SaveReplacesAnExistingFileWholeAndRoundTrips) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.srs");
    WriteAll(path, "[Old]\r\nKeep=no\r\n[Link]\r\nCount=9\r\nURL9=stale\r\n");
    QStringList links{"http://a/日本語.html", " lead and trail ", "\"quoted\"", "x=y;z",
                      "http://b/" + QString(600, 'q')};
    ASSERT_TRUE(SaveCrawlSettingsFile(path, "/images", "S", links, CrawlFileLayout::NewCrawl));
    const QByteArray bytes = ReadAll(path);
    EXPECT_FALSE(bytes.contains("Old"));
    EXPECT_FALSE(bytes.contains("stale"));
    EXPECT_TRUE(bytes.startsWith("[BaseSetting]\nDownloadPath=/images\nURL=S\n"));
    const CrawlSettingsRead read = ReadCrawlSettingsFile(path);
    EXPECT_EQ(read.links, links);  // values are never cut, blanks and quotes survive
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.srs"});
}

TEST(CrawlSettingsFile, FailedSaveLeavesTheOldFileAndReportsFalse) {
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("folder.srs");
    EXPECT_FALSE(SaveCrawlSettingsFile(dir.filePath("folder.srs"), "/d", "S", kABC,
                                       CrawlFileLayout::NewCrawl));
    EXPECT_TRUE(QFileInfo(dir.filePath("folder.srs")).isDir());
    EXPECT_FALSE(SaveCrawlSettingsFile(dir.filePath("missing/a.srs"), "/d", "S", kABC,
                                       CrawlFileLayout::NewCrawl));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"folder.srs"});
}

// A long file is written in several pieces: they join up to exactly the file as built, and a
// stop between them leaves the old file whole with no temporary file behind.
TEST(CrawlSettingsFile, LongFileWrittenInPiecesAndAStopLeavesTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("long.srs");
    QStringList links;
    for (int i = 0; i < 20000; ++i) links.append(QStringLiteral("http://h/%1/日本").arg(i));
    const QByteArray built =
        BuildCrawlSettingsFile("/d", "S", links, CrawlFileLayout::NewCrawl).bytes();
    int turns = 0;
    const KeepGoing count = [&turns] { return ++turns, true; };
    ASSERT_TRUE(SaveCrawlSettingsFile(path, "/d", "S", links, CrawlFileLayout::NewCrawl, count));
    EXPECT_EQ(ReadAll(path), built);
    EXPECT_GT(turns, links.size() + 1);  // the writing itself left room more than once
    for (const int stopAt : {turns - 1, turns - 20000}) {  // while writing, while building
        WriteAll(path, "old");
        int left = stopAt;
        const KeepGoing stop = [&left] { return --left > 0; };
        EXPECT_FALSE(
            SaveCrawlSettingsFile(path, "/d", "S", links, CrawlFileLayout::NewCrawl, stop));
        EXPECT_EQ(ReadAll(path), "old");
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"long.srs"});
    }
}

TEST(CrawlSettingsFile, MissingOrFolderSourceReadsAsEmpty) {
    QTemporaryDir dir;
    for (const QString& path : {dir.filePath("none.srs"), dir.path() + "/"}) {
        const CrawlSettingsRead read = ReadCrawlSettingsFile(path);
        EXPECT_TRUE(read.startUrl.isEmpty());
        EXPECT_TRUE(read.downloadPath.isEmpty());
        EXPECT_TRUE(read.links.isEmpty());
        EXPECT_FALSE(read.countOutOfRange);
    }
}
