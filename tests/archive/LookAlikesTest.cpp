// How pictures look: copies of one picture look alike and other pictures do not, and a run
// folder's look-alikes come in groups led by their largest.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
#include <algorithm>
#include <numeric>
#include <random>

#include "LookPictures.h"
#include "QtPrinters.h"
#include "archive/RunLookAlikes.h"
#include "look/LookAlikes.h"

TEST(LookAlikes, CopiesLookAlikeOthersDoNotAndTheLargestLeadsItsGroup) {
    QTemporaryDir run;
    const QImage scene = Scene(3);
    ASSERT_TRUE(scene.save(run.filePath("000002.png")));
    ASSERT_TRUE(scene.scaled(200, 150, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .save(run.filePath("000001.png")));
    ASSERT_TRUE(scene.save(run.filePath("000004.jpg"), "JPG", 60));
    ASSERT_TRUE(Scene(8).save(run.filePath("000003.png")));
    ASSERT_TRUE(Scene(8).save(run.filePath("000005.jpg"), "JPG", 70));
    ASSERT_TRUE(
        QFile::copy(SR_SOURCE_DIR "/resources/demo/index.html", run.filePath("000006.html")));

    const auto look = [&](const char* name) { return *LookOfPicture(run.filePath(name)); };
    EXPECT_EQ(look("000002.png").pixels, 400 * 300);
    EXPECT_EQ(look("000001.png").pixels, 200 * 150);
    EXPECT_TRUE(LooksAlike(look("000002.png").hash, look("000001.png").hash));
    EXPECT_TRUE(LooksAlike(look("000002.png").hash, look("000004.jpg").hash));
    EXPECT_GT(LookDistance(look("000002.png").hash, look("000003.png").hash), 16);
    EXPECT_FALSE(LookOfPicture(run.filePath("000006.html")).has_value());

    const QString p = run.path() + "/";
    EXPECT_EQ(
        GroupRunLookAlikes(run.path()),
        (std::vector<std::vector<QString>>{{p + "000002.png", p + "000001.png", p + "000004.jpg"},
                                           {p + "000003.png", p + "000005.jpg"}}));
    const std::atomic<bool> stop{true};
    EXPECT_TRUE(GroupRunLookAlikes(run.path(), &stop).empty());
}

// The index finds every hash up to the look-alike distance, whichever bits differ, and none
// beyond it.
TEST(LookAlikes, IndexFindsExactlyTheHashesWithinTheDistance) {
    std::mt19937_64 random(26);
    for (int turn = 0; turn < 200; ++turn) {
        const std::uint64_t hash = random();
        std::uint64_t near = hash;
        std::uint64_t far = hash;
        std::vector<int> bits(64);
        std::iota(bits.begin(), bits.end(), 0);
        std::shuffle(bits.begin(), bits.end(), random);
        for (int i = 0; i <= kLookAlikeBits; ++i) {
            if (i < kLookAlikeBits) near ^= std::uint64_t(1) << bits[i];
            far ^= std::uint64_t(1) << bits[i];
        }
        LookIndex index;
        index.add(far, 1);
        index.add(near, 2);
        index.add(hash, 3);
        EXPECT_EQ(index.near(hash), (std::vector<int>{3, 2})) << turn;
    }
}

// A few hundred kilobytes that declare 400 million pixels: refused from the header, not decoded
// (the decode alone takes seconds and, on eight threads at once, gigabytes), even when Qt's
// own limit lets the picture the user opens be that large.
TEST(LookAlikes, AHugePictureIsRefusedBeforeItIsDecoded) {
    const int qtLimit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(2048);
    QTemporaryDir run;
    QImage huge(20000, 20000, QImage::Format_Mono);
    huge.fill(0);
    ASSERT_TRUE(huge.save(run.filePath("000001.png")));
    huge = QImage();
    ASSERT_LT(QFileInfo(run.filePath("000001.png")).size(), 1 << 20);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(LookOfPicture(run.filePath("000001.png")).has_value());
    EXPECT_LT(clock.elapsed(), 500);
    QImageReader::setAllocationLimit(qtLimit);
}

// The looks read the program's own formats in every program: the headless command has no viewer
// to bring the AVIF reader along, and a crawl there kept AVIF copies the window deleted.
TEST(LookAlikes, AvifPicturesHaveTheirLookWhateverProgramAsks) {
    const QString avif = QStringLiteral(SR_SOURCE_DIR "/tests/viewer/data/red-7x5.avif");
    ASSERT_TRUE(LookReadable(avif));
    const std::optional<PictureLook> look = LookOfPicture(avif);
    ASSERT_TRUE(look.has_value());
    EXPECT_EQ(look->pixels, 7 * 5);
}
