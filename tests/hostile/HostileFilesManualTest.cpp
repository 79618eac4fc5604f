// A ReadMe.txt that is binary, 50 MB large, endless or unreadable: the manual reader lists it
// line by line within its limits and never stalls or fails on the bytes.

#include <QFile>
#include <QTemporaryDir>

#include "HostileFilesSupport.h"
#include "dialoglogic/ManualText.h"

using namespace hostile;

namespace {

// Line ends as the reader counts them: CR LF, a lone CR or a lone LF; a last line without one.
int CountLines(const QByteArray& bytes) {
    int lines = 0;
    qsizetype i = 0, start = 0;
    for (; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n') continue;
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        ++lines;
        start = i + 1;
    }
    return lines + (start < bytes.size() ? 1 : 0);
}

class Manual : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path() const { return dir.filePath("ReadMe.txt"); }
    QTemporaryDir dir;
    ManualText manual;
};

}  // namespace

TEST_F(Manual, BinaryManualListsEveryLineWithinTheLineWidth) {
    const QByteArray garbage = Garbage(2 * 1024 * 1024, 13);
    ASSERT_TRUE(WriteFile(path(), garbage));
    ASSERT_TRUE(manual.load(path()));
    EXPECT_EQ(manual.count(), CountLines(garbage));
    for (int i = 0; i < manual.count(); ++i) {
        const QString line = manual.line(i);
        ASSERT_LE(line.size(), ManualText::kMaxLineChars) << i;
        ASSERT_FALSE(line.contains(u'\n') || line.contains(u'\r')) << i;
    }
    EXPECT_EQ(manual.line(-1), "");
    EXPECT_EQ(manual.line(manual.count()), "");
}

TEST_F(Manual, FiftyMegabytesOfOneLineAndOfShortLines) {
    // one line of 50 MB: shown cut to the line width
    ASSERT_TRUE(WriteSparse(path(), 50LL * 1000 * 1000, "start ", " end"));
    ASSERT_TRUE(manual.load(path()));
    ASSERT_EQ(manual.count(), 1);
    EXPECT_EQ(manual.line(0).size(), ManualText::kMaxLineChars);
    EXPECT_TRUE(manual.line(0).startsWith("start "));

    // 50 MB of two-byte lines: listed up to the line limit
    QByteArray lines;
    lines.reserve(50LL * 1000 * 1000);
    while (lines.size() < 50LL * 1000 * 1000) lines += "x\n";
    ASSERT_TRUE(WriteFile(path(), lines));
    lines.clear();
    ASSERT_TRUE(manual.load(path()));
    EXPECT_EQ(manual.count(), ManualText::kMaxLines);
    EXPECT_EQ(manual.line(ManualText::kMaxLines - 1), "x");
    EXPECT_LT(PeakMemoryMegabytes(), 1024);
}

TEST_F(Manual, EndlessManualStopsAtTheReadLimit) {
    ASSERT_TRUE(QFile::link("/dev/zero", path()));
    ASSERT_TRUE(manual.load(path()));
    EXPECT_EQ(manual.count(), 1);
    EXPECT_EQ(manual.line(0).size(), ManualText::kMaxLineChars);
}

TEST_F(Manual, PipeIsNotWaitedOn) {
    PipeWatch pipe(path());
    ASSERT_TRUE(pipe.made());
    EXPECT_FALSE(manual.load(path()));
    EXPECT_FALSE(pipe.readerCame()) << "the manual reader waited on a pipe";
    EXPECT_EQ(manual.count(), 0);
}

TEST_F(Manual, BrokenUtf8AndLoneSurrogateBytesNeverCutACharacterInHalf) {
    // four-byte characters across the line width
    QByteArray wide;
    for (int i = 0; i < ManualText::kMaxLineChars; ++i) wide += "\xf0\x9f\x98\x80";
    ASSERT_TRUE(WriteFile(path(), "\xef\xbb\xbf" + wide + "\r\xed\xa0\x80\xc3\r\n\xff"));
    ASSERT_TRUE(manual.load(path()));
    ASSERT_EQ(manual.count(), 3);
    const QString first = manual.line(0);
    EXPECT_LE(first.size(), ManualText::kMaxLineChars);
    EXPECT_FALSE(first.back().isHighSurrogate());
    EXPECT_FALSE(manual.line(1).isEmpty());  // replacement characters, not nothing
}

TEST_F(Manual, UnreadableManualIsReportedAsNotRead) {
    ASSERT_TRUE(WriteFile(path(), "line\n"));
    QFile::setPermissions(path(), QFile::WriteOwner);
    if (!PermissionsBind(path()))
        GTEST_SKIP() << "running with rights that read any file: permission bits cannot make "
                        "ReadMe.txt unreadable here";
    EXPECT_FALSE(manual.load(path()));
    EXPECT_EQ(manual.count(), 0);
}
