// The run folder look-up: which file a number names, what the refresh counts, and that the
// snapshot never answers from an outdated listing.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <limits>

#include "QtPrinters.h"
#include "viewindex/RunFolderIndex.h"

namespace {

class RunFolderIndexTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(mDir.isValid()); }
    QString Folder() const { return mDir.path() + QLatin1Char('/'); }
    void Touch(const QString& name, const QByteArray& bytes = "x") {
        QFile file(mDir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QTemporaryDir mDir;
};

TEST(SequenceNames, NumberTextAndItsInverse) {
    EXPECT_EQ(SequenceName(0), QStringLiteral("000000"));
    EXPECT_EQ(SequenceName(5), QStringLiteral("000005"));
    EXPECT_EQ(SequenceName(1234567), QStringLiteral("1234567"));
    EXPECT_EQ(SequenceNumberOf(QStringLiteral("000005.jpg")), 5);
    EXPECT_EQ(SequenceNumberOf(QStringLiteral("000000.tar.gz")), 0);
    EXPECT_EQ(SequenceNumberOf(QStringLiteral("1234567.png")), 1234567);
    EXPECT_EQ(SequenceNumberOf(QStringLiteral("000005.")), 5);
    // Not what "000005.*" would match for any number.
    EXPECT_FALSE(SequenceNumberOf(QStringLiteral("0000005.jpg")));
    EXPECT_FALSE(SequenceNumberOf(QStringLiteral("5.jpg")));
    EXPECT_FALSE(SequenceNumberOf(QStringLiteral("000005")));
    EXPECT_FALSE(SequenceNumberOf(QStringLiteral("00000a.jpg")));
    EXPECT_FALSE(SequenceNumberOf(QStringLiteral("99999999999.jpg")));
    EXPECT_FALSE(SequenceNumberOf(QStringLiteral("2147483648.jpg")));
    for (const std::int32_t n : {999'999, 1'000'000, std::numeric_limits<std::int32_t>::max()})
        EXPECT_EQ(SequenceNumberOf(SequenceName(n) + QStringLiteral(".jpg")), n);
}

TEST(SequenceNames, KilobytesOfThousandBytesHalvesToEven) {
    EXPECT_EQ(KilobytesOf(-1), 1);
    EXPECT_EQ(KilobytesOf(0), 1);
    EXPECT_EQ(KilobytesOf(999), 1);
    EXPECT_EQ(KilobytesOf(1000), 1);
    EXPECT_EQ(KilobytesOf(1499), 1);
    EXPECT_EQ(KilobytesOf(1500), 2);
    EXPECT_EQ(KilobytesOf(2500), 2);
    EXPECT_EQ(KilobytesOf(2501), 3);
    EXPECT_EQ(KilobytesOf(3500), 4);
    EXPECT_EQ(KilobytesOf(5'000'000'000'000LL), 5'000'000'000LL);
}

TEST_F(RunFolderIndexTest, ListsRegularFilesOnlyAndPicksTheFirstInByteOrder) {
    Touch(QStringLiteral("000007.jpg"));
    Touch(QStringLiteral("000007.htm"));
    Touch(QStringLiteral("000007.Z"));  // "Z" sorts before "h" in byte order
    Touch(QStringLiteral(".000008.jpg.part"));
    Touch(QStringLiteral("readme.txt"));
    ASSERT_TRUE(QDir(mDir.path()).mkdir(QStringLiteral("000009.dir")));
    ASSERT_TRUE(QFile::link(mDir.filePath(QStringLiteral("readme.txt")),
                            mDir.filePath(QStringLiteral("000010.lnk"))));
    ASSERT_TRUE(QFile::link(mDir.filePath(QStringLiteral("gone")),
                            mDir.filePath(QStringLiteral("000011.lnk"))));

    RunFolderIndex index;
    EXPECT_EQ(index.Lookup(Folder(), 7), QStringLiteral("000007.Z"));
    EXPECT_EQ(index.Lookup(Folder(), 8), QString());
    EXPECT_EQ(index.Lookup(Folder(), 9), QString());
    EXPECT_EQ(index.Lookup(Folder(), 10), QStringLiteral("000010.lnk"));
    EXPECT_EQ(index.Lookup(Folder(), 11), QString());
    const auto listing = index.Entries(Folder());
    EXPECT_EQ(listing->names,
              QStringList({QStringLiteral("000007.Z"), QStringLiteral("000007.htm"),
                           QStringLiteral("000007.jpg"), QStringLiteral("000010.lnk"),
                           QStringLiteral("readme.txt")}));
}

TEST_F(RunFolderIndexTest, TheNearestNumberIsFoundEitherWayAcrossGaps) {
    for (const char* name : {"000003.png", "000010.png", "999999.png", "1000000.png", "5.png"})
        Touch(QString::fromLatin1(name));
    RunFolderIndex index;
    const auto nearest = [&](qint64 from, qint64 to) {
        const auto found = index.Nearest(Folder(), from, to);
        return found ? found->number : -1;
    };
    EXPECT_EQ(nearest(4, 999'998), 10);  // "5.png" is spelt like no number
    EXPECT_EQ(nearest(999'998, 0), 10);
    EXPECT_EQ(nearest(11, 999'998), -1);
    EXPECT_EQ(nearest(999'999, 2'000'000), 999'999);
    EXPECT_EQ(nearest(1'000'001, 0), 1'000'000);
}

TEST_F(RunFolderIndexTest, MissingFolderListsNothingUntilItAppears) {
    RunFolderIndex index;
    const QString folder = Folder() + QStringLiteral("SR0001/");
    EXPECT_EQ(index.Lookup(folder, 1), QString());
    EXPECT_TRUE(index.Entries(folder)->names.isEmpty());
    ASSERT_TRUE(QDir(mDir.path()).mkdir(QStringLiteral("SR0001")));
    QFile file(folder + QStringLiteral("000001.jpg"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(index.Lookup(folder, 1), QStringLiteral("000001.jpg"));
}

// Files added and removed between two questions, immediately one after the other, are seen
// at once; and a long run of probes with nothing changing reads the folder once only.
TEST_F(RunFolderIndexTest, ChangesAreSeenAtTheNextProbeWithoutReadingPerProbe) {
    RunFolderIndex index;
    for (int round = 0; round < 20; ++round) {
        const QString name = SequenceName(round) + QStringLiteral(".png");
        EXPECT_EQ(index.Lookup(Folder(), round), QString()) << round;
        Touch(name);
        EXPECT_EQ(index.Lookup(Folder(), round), name) << round;
        EXPECT_EQ(index.Entries(Folder())->names.size(), 1) << round;
        ASSERT_TRUE(QFile::remove(mDir.filePath(name)));
        EXPECT_EQ(index.Lookup(Folder(), round), QString()) << round;
    }

    Touch(QStringLiteral("000001.png"));
    Touch(QStringLiteral("1000000.png"));
    QThread::msleep(200);  // past the time in which one clock tick could hide a change
    int found = 0;
    index.Lookup(Folder(), 0);
    const int readsBefore = index.Reads();
    for (std::int32_t n = 0; n <= 1'000'000; ++n)
        if (!index.Lookup(Folder(), n).isEmpty()) ++found;
    EXPECT_EQ(found, 2);
    EXPECT_LE(index.Reads() - readsBefore, 1);
}

// Large folders are sorted piecewise with pauses between the pieces; the result is the same
// full byte order.
TEST_F(RunFolderIndexTest, ALargeFolderIsReadInByteOrderWithPauses) {
    QStringList expected;
    for (int i = 0; i < 9000; ++i) {
        const int n = (i * 7919) % 9000;  // written out of order
        const QString name =
            SequenceName(n) + (n % 3 ? QStringLiteral(".jpg") : QStringLiteral(".Ab"));
        Touch(name);
        expected.push_back(name);
    }
    Touch(QStringLiteral("000004.A"));  // before "000004.jpg"
    expected.push_back(QStringLiteral("000004.A"));
    std::sort(expected.begin(), expected.end(),
              [](const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); });
    int pauses = 0;
    const auto listing = ReadFolder(Folder(), [&] { ++pauses; });
    EXPECT_EQ(listing->names, expected);
    EXPECT_GT(pauses, 9000 / 256);
    EXPECT_EQ(listing->numbered.size(), 9000u);
    EXPECT_EQ(listing->names.at(listing->Find(4)), QStringLiteral("000004.A"));
    EXPECT_EQ(listing->names.at(listing->Find(8999)), QStringLiteral("008999.jpg"));
}

// Many files of one number, spread over several sorting steps, written in shuffled order: the
// first in byte order (not in the order of the text's own comparison) is the one found.
TEST_F(RunFolderIndexTest, TheFirstInByteOrderOfManyFilesOfOneNumberIsFound) {
    QStringList expected;
    for (int i = 0; i < 3000; ++i) {
        const int k = (i * 1237) % 3000;
        expected.push_back(SequenceName(5) + QStringLiteral(".%1").arg(k, 4, 10, QLatin1Char('0')));
    }
    // A halfwidth mark comes before an emoji in bytes, after it in UTF-16 units.
    expected.push_back(QStringLiteral("000009.\U0001F600"));
    expected.push_back(QStringLiteral("000009.\uFF61"));
    expected.push_back(QStringLiteral("1000000.jpg"));  // before "100001.jpg" in bytes
    expected.push_back(QStringLiteral("100001.jpg"));
    for (const QString& name : expected) Touch(name);
    std::sort(expected.begin(), expected.end(),
              [](const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); });
    const auto listing = ReadFolder(Folder(), [] {});
    EXPECT_EQ(listing->names, expected);
    ASSERT_EQ(listing->numbered.size(), 4u);
    EXPECT_EQ(listing->names.at(listing->Find(5)), QStringLiteral("000005.0000"));
    EXPECT_EQ(listing->names.at(listing->Find(9)), QStringLiteral("000009.\uFF61"));
    EXPECT_EQ(listing->names.at(listing->Find(100001)), QStringLiteral("100001.jpg"));
    EXPECT_EQ(listing->names.at(listing->Find(1000000)), QStringLiteral("1000000.jpg"));
}

TEST_F(RunFolderIndexTest, AListingHandedOutStaysWhole) {
    Touch(QStringLiteral("000001.png"));
    Touch(QStringLiteral("000002.png"));
    RunFolderIndex index;
    const auto before = index.Entries(Folder());
    ASSERT_TRUE(QFile::remove(mDir.filePath(QStringLiteral("000001.png"))));
    index.Invalidate();
    EXPECT_EQ(index.Entries(Folder())->names.size(), 1);
    EXPECT_EQ(before->names.size(), 2);
}

}  // namespace
