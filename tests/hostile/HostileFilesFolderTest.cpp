// Run folders the viewer may meet: a hundred thousand files, names that are no numbers or
// numbers too large for 32 bits, links that lead out of the folder, pipes, and files and
// folders it may not read. The look-up answers only for plain files of the folder, never
// wraps a number and never blocks.

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <limits>

#include "HostileFilesSupport.h"
#include "viewindex/RunFolderIndex.h"

using namespace hostile;

namespace {

class RunFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sandbox.isValid());
        ASSERT_TRUE(QDir(sandbox.path()).mkpath("run"));
        ASSERT_TRUE(QDir(sandbox.path()).mkpath("outside/folder"));
        ASSERT_TRUE(WriteFile(outside("secret.jpg"), "outside"));
    }
    QString run() const { return sandbox.filePath("run"); }
    QString outside(const QString& name) const { return sandbox.filePath("outside/" + name); }
    void link(const QString& target, const QString& name) {
        ASSERT_TRUE(QFile::link(target, run() + "/" + name)) << name.toStdString();
    }

    QTemporaryDir sandbox;
    RunFolderIndex index;
};

}  // namespace

TEST_F(RunFolder, HundredThousandFilesAreCountedAndEachNumberFound) {
    QStringList names;
    for (int i = 0; i < 100'000; ++i) names << SequenceName(i) + ".jpg";
    ASSERT_EQ(CreateEmptyFiles(run(), names), 100'000);
    const auto entries = index.Entries(run());
    EXPECT_EQ(entries->names.size(), 100'000);
    for (int n : {0, 1, 54'321, 99'999})
        EXPECT_EQ(index.Lookup(run(), n), SequenceName(n) + ".jpg");
    EXPECT_EQ(index.Lookup(run(), 100'000), "");
    EXPECT_EQ(index.Lookup(run(), -1), "");
    // a new file shows at once, without waiting for a clock tick
    ASSERT_EQ(CreateEmptyFiles(run(), {"100000.png"}), 1);
    index.Recheck();
    EXPECT_EQ(index.Lookup(run(), 100'000), "100000.png");
}

TEST_F(RunFolder, NamesThatAreNoNumbersOrTooLargeNeverTakeANumber) {
    const QStringList noNumber{"readme.txt",  "000001",       "00000a.jpg",  " 000002.jpg",
                               "+000003.jpg", "-000004.jpg",  "000005 .jpg", "０００００６.jpg",
                               "0x0007.jpg",  "000008e0.jpg", ".000009.jpg", "1e3.jpg"};
    const QStringList beyond{"2147483648.jpg", "4294967297.jpg", "99999999999999999999999.jpg",
                             "18446744073709551617.jpg"};
    ASSERT_EQ(CreateEmptyFiles(run(), noNumber + beyond), noNumber.size() + beyond.size());
    // a name that is not even valid text
    const QByteArray rawName = QFile::encodeName(run()) + "/000010.\xff\xfe";
    const int fd = ::open(rawName.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);

    for (const QString& name : noNumber + beyond)
        EXPECT_FALSE(SequenceNumberOf(name)) << name.toStdString();
    // nothing wraps round to a small number
    for (int n : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1000}) EXPECT_EQ(index.Lookup(run(), n), "") << n;
    // The refresh counts every entry but ".000009.jpg", hidden like the crawl's temporary
    // files, and the name that is no text, which the listing passes over.
    const QStringList listed = index.Entries(run())->names;
    EXPECT_EQ(listed.size(), noNumber.size() + beyond.size() - 1) << listed.join('|').toStdString();
    // The largest 32-bit number is still a number; one more is none.
    EXPECT_EQ(SequenceNumberOf(u"2147483647.jpg"), std::numeric_limits<std::int32_t>::max());
    ASSERT_EQ(CreateEmptyFiles(run(), {"2147483647.gif"}), 1);
    index.Invalidate();
    EXPECT_EQ(index.Lookup(run(), std::numeric_limits<std::int32_t>::max()), "2147483647.gif");
    // nor does a look-up answer with it: it could not be opened under a name made from text
    EXPECT_EQ(index.Lookup(run(), 10), "");
}

TEST_F(RunFolder, LinksOutOfTheFolderPipesAndFoldersAreNoFilesButLinksToFilesAre) {
    link(outside("secret.jpg"), "000001.jpg");   // a file elsewhere: shown like any file
    link(outside("folder"), "000002.jpg");       // a folder elsewhere
    link(outside("missing.jpg"), "000003.jpg");  // leads nowhere
    link("/dev/zero", "000004.jpg");             // endless
    ASSERT_EQ(::mkfifo(QFile::encodeName(run() + "/000005.jpg").constData(), 0644), 0);
    ASSERT_TRUE(QDir(run()).mkdir("000006.jpg"));
    link("..", "000007.jpg");

    EXPECT_EQ(index.Lookup(run(), 1), "000001.jpg");
    for (int n = 2; n <= 7; ++n) EXPECT_EQ(index.Lookup(run(), n), "") << n;
    // the link to a device may be counted by the refresh, but no look-up ever answers with it
    const QStringList listed = index.Entries(run())->names;
    EXPECT_TRUE(listed.contains("000001.jpg"));
    for (const char* never : {"000002.jpg", "000003.jpg", "000005.jpg", "000006.jpg", "000007.jpg"})
        EXPECT_FALSE(listed.contains(never)) << never;
    // a link whose file goes away stops answering at once
    ASSERT_TRUE(QFile::remove(outside("secret.jpg")));
    EXPECT_EQ(index.Lookup(run(), 1), "");
}

TEST_F(RunFolder, UnreadableFolderListsNothing) {
    ASSERT_EQ(CreateEmptyFiles(run(), {"000001.jpg", "000002.jpg"}), 2);
    ASSERT_EQ(::chmod(QFile::encodeName(run()).constData(), 0), 0);
    const bool binds = PermissionsBind(run());
    if (binds) {
        EXPECT_EQ(index.Lookup(run(), 1), "");
        EXPECT_TRUE(index.Entries(run())->names.isEmpty());
    }
    ::chmod(QFile::encodeName(run()).constData(), 0755);
    if (!binds)
        GTEST_SKIP() << "running with rights that read any folder: permission bits cannot make "
                        "the run folder unreadable here";
    index.Invalidate();
    EXPECT_EQ(index.Lookup(run(), 2), "000002.jpg");
}

TEST_F(RunFolder, MissingFolderAndEmptyFolderNameFindNothingAndDoNotFail) {
    EXPECT_EQ(index.Lookup(sandbox.filePath("gone"), 1), "");
    EXPECT_TRUE(index.Entries(sandbox.filePath("gone"))->names.isEmpty());
    EXPECT_EQ(index.Lookup(sandbox.filePath("outside/secret.jpg"), 1), "");  // a file, not a folder
}
