// Stored pages read back as lines: CR and CR LF end a line, a lone LF stays in it, bad bytes
// never cost a line, and line ends split across the reader's pieces are still one end.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "QtPrinters.h"
#include "crawl/PageLines.h"

namespace {

QStringList ReadBack(const QByteArray& bytes) {
    QTemporaryDir dir;
    QFile file(dir.filePath("page.html"));
    if (!file.open(QIODevice::WriteOnly)) return {"<cannot write>"};
    file.write(bytes);
    file.close();
    PageLineReader reader;
    if (!reader.open(file.fileName())) return {"<cannot open>"};
    QStringList lines;
    QString line;
    while (reader.readLine(line)) lines << line;
    return lines;
}

TEST(PageLinesTest, CarriageReturnEndsALineAndLineFeedStaysInIt) {
    EXPECT_EQ(ReadBack("a\rb\r\nc\nd\r\n"), QStringList({"a", "b", "c\nd"}));
    EXPECT_EQ(ReadBack("one\ntwo\nthree\n"), QStringList({"one\ntwo\nthree\n"}));
    EXPECT_EQ(ReadBack("last line without end"), QStringList({"last line without end"}));
    EXPECT_EQ(ReadBack("\r\r\n\r"), QStringList({"", "", ""}));
    EXPECT_EQ(ReadBack("x\r\n\ny"), QStringList({"x", "\ny"}));  // only one LF goes with CR
    EXPECT_TRUE(ReadBack("").isEmpty());
}

TEST(PageLinesTest, InvalidBytesAreReplacedAndTheLineKept) {
    const QStringList lines = ReadBack("ok \xff\xfe end\r\xe3\x81\x82<img src=\"a.jpg\">\r");
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("ok ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(" end")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(QChar(0xFFFD)));
    EXPECT_EQ(lines[1], QString::fromUtf8("\xe3\x81\x82<img src=\"a.jpg\">"));
    EXPECT_EQ(ReadBack(QByteArray("a\0b\r", 4)), QStringList({QString("a") + QChar(0) + "b"}));
}

TEST(PageLinesTest, LineEndsAndCharactersAcrossReadPiecesStayWhole) {
    // The reader takes the file in 64 KiB pieces: put a CR LF pair and a three-byte character
    // across the boundary, and a long line over several pieces.
    const int piece = 64 * 1024;
    QByteArray bytes(piece - 1, 'a');
    bytes += "\r\nb";
    QByteArray longLine(3 * piece + 7, 'c');
    longLine[piece - 1] = '\xe3';
    longLine[piece] = '\x81';
    longLine[piece + 1] = '\x82';
    bytes += "\r" + longLine + "\r";
    const QStringList lines = ReadBack(bytes);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].size(), piece - 1);
    EXPECT_EQ(lines[1], "b");
    EXPECT_EQ(lines[2].size(), longLine.size() - 2);
    EXPECT_EQ(lines[2].at(piece - 1), QChar(0x3042));
}

TEST(PageLinesTest, MissingPageCannotBeOpened) {
    PageLineReader reader;
    EXPECT_FALSE(reader.open("/nonexistent/page.html"));
    QString line;
    EXPECT_FALSE(reader.readLine(line));
}

}  // namespace
