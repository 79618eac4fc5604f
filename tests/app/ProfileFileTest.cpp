#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "core/ProfileFile.h"
#include "core/basCommonLibrary.h"

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class ProfileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("Init.dat"); }
};

}  // namespace

TEST_F(ProfileTest, LooksUpWithoutLetterCaseFirstMatchTrimmedAndUnquoted) {
    WriteAll(path(),
             "[Path]\r\nURL =  http://a/  \r\nurl=second\r\n[path]\r\nDownload=/x\r\n"
             "[Q]\r\nA=\"quoted\"\r\nB='single'\r\nC=\"mismatch'\r\nD=\"\r\nE=x=y\r\n");
    EXPECT_EQ(ReadIniValue(path(), "path", "url"), "http://a/");
    EXPECT_EQ(ReadIniValue(path(), "PATH", "URL"), "http://a/");
    // only the first section of a name counts
    EXPECT_EQ(ReadIniValue(path(), "Path", "Download"), "");
    EXPECT_EQ(ReadIniValue(path(), "Q", "A"), "quoted");
    EXPECT_EQ(ReadIniValue(path(), "Q", "B"), "single");
    EXPECT_EQ(ReadIniValue(path(), "Q", "C"), "\"mismatch'");
    EXPECT_EQ(ReadIniValue(path(), "Q", "D"), "\"");
    EXPECT_EQ(ReadIniValue(path(), "Q", "E"), "x=y");
}

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesEmptyText) {
    EXPECT_EQ(ReadIniValue(dir.filePath("none.dat"), "Path", "URL"), "");
    WriteAll(path(), "[Path]\nURL=u\n");
    EXPECT_EQ(ReadIniValue(path(), "Option", "URL"), "");
    EXPECT_EQ(ReadIniValue(path(), "Path", "Download"), "");
}

TEST_F(ProfileTest, LongValuesComeBackWhole) {
    const QString url = "http://example.org/" + QString(5000, 'a') + "/日本語.html";
    ASSERT_EQ(WriteIniValue(path(), "Path", "URL", url), 0);
    EXPECT_EQ(ReadIniValue(path(), "Path", "URL"), url);
}

TEST_F(ProfileTest, WriteReplacesInPlaceAppendsToSectionAppendsSectionKeepsOtherLines) {
    WriteAll(path(), "; comment\r\n[Path]\r\nURL=old\r\nOther = keep  me\r\n\r\n[Option]\r\nX=1\r\n");
    EXPECT_EQ(WriteIniValue(path(), "path", "url", "new"), 0);
    EXPECT_EQ(WriteIniValue(path(), "Path", "Download", "/d"), 0);
    EXPECT_EQ(WriteIniValue(path(), "About", "Version", ""), 0);
    EXPECT_EQ(ReadAll(path()),
              "; comment\r\n[Path]\r\nurl=new\r\nOther = keep  me\r\nDownload=/d\r\n\r\n"
              "[Option]\r\nX=1\r\n[About]\r\nVersion=\r\n");
    EXPECT_EQ(ReadIniValue(path(), "About", "Version"), "");
}

TEST_F(ProfileTest, NewFileUsesLfAndLfFileStaysLf) {
    EXPECT_EQ(WriteIniValue(path(), "Path", "URL", "u"), 0);
    EXPECT_EQ(WriteIniValue(path(), "Option", "A", "1"), 0);
    EXPECT_EQ(ReadAll(path()), "[Path]\nURL=u\n[Option]\nA=1\n");
}

TEST_F(ProfileTest, LastLineWithoutLineEndGetsOneBeforeAppending) {
    WriteAll(path(), "[Path]\r\nURL=u");
    EXPECT_EQ(WriteIniValue(path(), "Path", "Download", "d"), 0);
    EXPECT_EQ(ReadAll(path()), "[Path]\r\nURL=u\r\nDownload=d\r\n");
}

TEST_F(ProfileTest, ValuesThatAReaderWouldChangeAreWrittenSoTheyComeBack) {
    for (const QString& v : {QString("  blanks  "), QString("\"quoted\""), QString("'x'"),
                             QString("\"\""), QString("a=b"), QString("全角　")}) {
        ASSERT_EQ(WriteIniValue(path(), "S", "K", v), 0);
        EXPECT_EQ(ReadIniValue(path(), "S", "K"), v);
    }
}

TEST_F(ProfileTest, WriteIsAtomicAndRefusesUnwritableFolder) {
    WriteAll(path(), "[Path]\nURL=keep\n");
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool canStillWrite = QFileInfo(dir.path()).isWritable();  // root ignores permissions
    if (!canStillWrite) {
        EXPECT_EQ(WriteIniValue(path(), "Path", "URL", "new"), -1);
        EXPECT_EQ(ReadAll(path()), "[Path]\nURL=keep\n");
    }
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    // no temporary file is left behind by a successful write
    ASSERT_EQ(WriteIniValue(path(), "Path", "URL", "new"), 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(ProfileTest, GarbageNeverCrashesAndWhatCanBeReadIsRead) {
    QByteArray junk;
    for (int i = 0; i < 200000; ++i) junk += char((i * 7919) % 256);
    WriteAll(path(), junk + "\n[Path]\nURL=found\n[Broken\nURL=hidden\nno equals here\n\xff\xfe=\x01\n");
    EXPECT_EQ(ReadIniValue(path(), "Path", "URL"), "found");
    EXPECT_EQ(ReadIniValue(path(), "Broken", "URL"), "");
    // a key after an unclosed section does not leak into the section before it
    WriteAll(path(), "[Path]\nURL=a\n[Broken\nDownload=b\n");
    EXPECT_EQ(ReadIniValue(path(), "Path", "Download"), "");
}

// A hostile line of megabytes (FF 00 repeated) is neither key nor section and is never decoded,
// so that reading holds little more than the file; the lines around it read as usual, and it is
// written back whole.
TEST_F(ProfileTest, AHostileLongLineMeansNothingAndIsKeptAsItIs) {
    const QByteArray line = QByteArray("\xff\x00", 2).repeated(1 << 20);
    WriteAll(path(), "[Path]\nURL=" + line + "\n[Q]\nURL=ok\n");
    EXPECT_EQ(ReadIniValue(path(), "Path", "URL"), "");
    EXPECT_EQ(ReadIniValue(path(), "Q", "URL"), "ok");
    ASSERT_EQ(WriteIniValue(path(), "Q", "URL", "new"), 0);
    EXPECT_EQ(ReadAll(path()), "[Path]\nURL=" + line + "\n[Q]\nURL=new\n");
}

TEST_F(ProfileTest, CrOnlyLinesAreLines) {
    WriteAll(path(), "[Path]\rURL=cr\rDownload=d\r");
    EXPECT_EQ(ReadIniValue(path(), "Path", "URL"), "cr");
    EXPECT_EQ(WriteIniValue(path(), "Path", "URL", "x"), 0);
    EXPECT_EQ(ReadAll(path()), "[Path]\rURL=x\rDownload=d\r");
}

TEST(ProfileFileBatch, ManyKeysWrittenAtTheEndStayIndexed) {
    ProfileFile p;
    p.setValue("Link", "Count", "3");
    for (int i = 0; i < 20000; ++i) p.setValue("Link", "URL" + QString::number(i), QString::number(i));
    p.setValue("Link", "Count", "20000");
    EXPECT_EQ(p.value("link", "url19999"), "19999");
    EXPECT_EQ(p.value("Link", "Count"), "20000");
    ProfileFile q;
    q.parse(p.bytes());
    EXPECT_EQ(q.value("Link", "URL12345"), "12345");
}
