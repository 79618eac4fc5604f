#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "QtPrinters.h"
#include "dialoglogic/HelpLayout.h"
#include "dialoglogic/ManualText.h"

namespace {

QStringList Lines(const ManualText& manual) {
    QStringList lines;
    for (int i = 0; i < manual.count(); ++i) lines << manual.line(i);
    return lines;
}

ManualText FromBytes(const QByteArray& bytes) {
    ManualText manual;
    manual.setBytes(bytes);
    return manual;
}

class HelpManual : public ::testing::Test {
protected:
    QString write(const QByteArray& bytes) {
        const QString path = dir.filePath(QStringLiteral("ReadMe.txt"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(HelpManual, MissingFileFailsAndEmptyFileHasNoLines) {
    ManualText manual;
    EXPECT_FALSE(manual.load(dir.filePath(QStringLiteral("nothing.txt"))));
    EXPECT_EQ(manual.count(), 0);
    EXPECT_FALSE(manual.load(dir.path()));  // a folder of that name is no manual either
    EXPECT_TRUE(manual.load(write(QByteArray())));
    EXPECT_EQ(manual.count(), 0);
}

TEST_F(HelpManual, LineEndsOfEveryKindAndAnUnendedLastLine) {
    ManualText manual;
    ASSERT_TRUE(manual.load(write("one\r\ntwo\r\nthree")));
    EXPECT_EQ(Lines(manual), (QStringList{"one", "two", "three"}));
    EXPECT_EQ(Lines(FromBytes("a\rb\nc\r\n\r\nd\n")), (QStringList{"a", "b", "c", "", "d"}));
    EXPECT_EQ(Lines(FromBytes("\r\n")), QStringList{""});
    EXPECT_EQ(Lines(FromBytes("\n\n")), (QStringList{"", ""}));
    EXPECT_EQ(Lines(FromBytes("x\n\r")), (QStringList{"x", ""}));  // LF then a lone CR
}

TEST_F(HelpManual, TextIsUtf8AndBadBytesNeverCostALine) {
    const ManualText manual = FromBytes("\xEF\xBB\xBF説明書\nbad \xFF\xFE bytes\n\xE3\x81\nlast");
    const QStringList lines = Lines(manual);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], QStringLiteral("説明書"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("bad ")));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" bytes")));
    EXPECT_TRUE(lines[1].contains(QChar(0xFFFD)));
    EXPECT_TRUE(lines[2].contains(QChar(0xFFFD)));  // a cut-off character
    EXPECT_EQ(lines[3], QStringLiteral("last"));
    EXPECT_EQ(Lines(FromBytes(QByteArray("a\0b\nc", 5))).size(), 2);
}

TEST_F(HelpManual, VeryLongLinesAreShownOnlyAsFarAsTheListCanScroll) {
    const ManualText plain = FromBytes(QByteArray(5000, 'W') + "\nshort");
    ASSERT_EQ(plain.count(), 2);
    EXPECT_EQ(plain.line(0), QString(ManualText::kMaxLineChars, QLatin1Char('W')));
    EXPECT_EQ(plain.line(1), QStringLiteral("short"));
    // Characters outside the basic plane must not be cut in half at the limit.
    QByteArray emoji;
    for (int i = 0; i < 2000; ++i) emoji += "\xF0\x9F\x98\x80";
    const QString line = FromBytes(emoji).line(0);
    EXPECT_LE(line.size(), ManualText::kMaxLineChars);
    EXPECT_GE(line.size(), ManualText::kMaxLineChars - 1);
    EXPECT_TRUE(line.back().isLowSurrogate());
    EXPECT_EQ(plain.line(-1), QString());
    EXPECT_EQ(plain.line(2), QString());
}

TEST_F(HelpManual, HugeFilesAreReadOnlyUpToTheLimits) {
    // A file of nothing but line ends lists at most kMaxLines entries.
    EXPECT_EQ(FromBytes(QByteArray(ManualText::kMaxLines + 5000, '\n')).count(),
              ManualText::kMaxLines);
    // A large binary file without any line end: read up to kMaxBytes, one line, cut for display.
    const QString path = dir.filePath(QStringLiteral("big.bin"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(ManualText::kMaxBytes + 6 * 1024 * 1024));
    }
    ManualText manual;
    EXPECT_TRUE(manual.load(path));
    ASSERT_EQ(manual.count(), 1);
    EXPECT_EQ(manual.line(0).size(), ManualText::kMaxLineChars);
}

TEST(HelpLayoutRules, DesignSizeAndSmallWindows) {
    const HelpLayout design = HelpLayoutFor(441, 347);
    EXPECT_EQ(design.listWidth, 426);
    EXPECT_EQ(design.listHeight, 300);
    EXPECT_EQ(design.closeLeft, 306);
    EXPECT_EQ(design.closeTop, 313);
    // Too low for the list: it keeps its size, the button still follows the bottom edge.
    const HelpLayout low = HelpLayoutFor(441, 40);
    EXPECT_FALSE(low.listHeight.has_value());
    EXPECT_EQ(low.listWidth, 426);
    EXPECT_EQ(low.closeTop, 6);
    // Smaller still: the button moves partly out of the window.
    EXPECT_LT(HelpLayoutFor(10, 10).closeTop, 0);
    EXPECT_LT(HelpLayoutFor(10, 10).closeLeft, 0);
    EXPECT_FALSE(HelpLayoutFor(10, 10).listWidth.has_value());
    // Exactly at the edge a list of no height is still a size.
    const HelpLayout edge = HelpLayoutFor(100, 47);
    EXPECT_FALSE(edge.listHeight.has_value());
    EXPECT_EQ(HelpLayoutFor(100, 48).listHeight, 1);
}

}  // namespace
