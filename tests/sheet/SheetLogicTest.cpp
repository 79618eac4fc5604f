// The contact sheet's logic: the desktop's thumbnail cache, the pictures of a run in number
// order, the move to the trash, and the runs of a download folder newest first.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QThread>

#include "QtPrinters.h"
#include "archive/CrawlArchive.h"
#include "sheetlogic/RunList.h"
#include "sheetlogic/SheetFiles.h"
#include "sheetlogic/ThumbnailCache.h"

namespace {

// A home of its own: the cache, the trash and the pictures on one file system, as the trash
// wants them.
class SheetLogicTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
            mSaved.append({name, qgetenv(name)});
        qputenv("HOME", root.path().toLocal8Bit());
        qputenv("XDG_CACHE_HOME", (root.path() + "/cache").toLocal8Bit());
        qputenv("XDG_DATA_HOME", (root.path() + "/data").toLocal8Bit());
        QDir().mkpath(run());
    }
    void TearDown() override {
        for (const auto& [name, value] : mSaved) qputenv(name, value);
    }
    QString run() const { return root.path() + "/dl/SR0000"; }
    void Picture(const QString& name, int width, int height) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        ASSERT_TRUE(image.save(run() + '/' + name, "PNG"));
    }

    QTemporaryDir root;
    QList<std::pair<const char*, QByteArray>> mSaved;
};

}  // namespace

TEST_F(SheetLogicTest,
       ThumbnailsAreKeptAsFileManagersKeepThemAndMadeAgainOnlyWhenThePictureChanged) {
    // The example of the thumbnail cache's own description.
    EXPECT_EQ(ThumbnailCache::FileName("file:///home/jens/photos/me.png"),
              "c6ee772d9e49320e97ec29a7eb5b1697.png");
    Picture("a b.png", 400, 200);
    const QString file = run() + "/a b.png";
    EXPECT_EQ(ThumbnailCache::Uri(file), "file://" + run() + "/a%20b.png");
    const ThumbnailCache cache;
    EXPECT_EQ(cache.root(), root.path() + "/cache/thumbnails");
    const int decodes = ThumbnailCache::Decodes();
    EXPECT_EQ(cache.Load(file, ThumbnailCache::Size::Normal).size(), QSize(128, 64));
    const QString kept = root.path() + "/cache/thumbnails/normal/" +
                         ThumbnailCache::FileName(ThumbnailCache::Uri(file));
    EXPECT_EQ(cache.PathFor(file, ThumbnailCache::Size::Normal), kept);
    const QImage thumbnail(kept, "png");
    EXPECT_EQ(thumbnail.text("Thumb::URI"), ThumbnailCache::Uri(file));
    EXPECT_EQ(thumbnail.text("Thumb::MTime").toLongLong(),
              QFileInfo(file).lastModified().toSecsSinceEpoch());
    EXPECT_EQ(QFile::permissions(kept) & 0x0fff, QFile::ReadUser | QFile::WriteUser);

    // Another opening reads the kept thumbnail: no decoding.
    EXPECT_EQ(ThumbnailCache().Load(file, ThumbnailCache::Size::Normal).size(), QSize(128, 64));
    EXPECT_EQ(ThumbnailCache::Decodes(), decodes + 1);
    // The picture replaced: made afresh.
    Picture("a b.png", 100, 300);
    QFile touched(file);
    ASSERT_TRUE(touched.open(QIODevice::ReadWrite));
    touched.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
    touched.close();
    EXPECT_EQ(cache.Load(file, ThumbnailCache::Size::Normal).size(), QSize(42, 128));
    EXPECT_EQ(ThumbnailCache::Decodes(), decodes + 2);

    // A picture that does not decode is tried once.
    QFile broken(run() + "/000009.jpg");
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("\xff\xd8\xff not a picture");
    broken.close();
    EXPECT_TRUE(cache.Load(broken.fileName(), ThumbnailCache::Size::Normal).isNull());
    EXPECT_TRUE(cache.Load(broken.fileName(), ThumbnailCache::Size::Normal).isNull());
    EXPECT_EQ(ThumbnailCache::Decodes(), decodes + 3);
}

TEST_F(SheetLogicTest, PicturesInNumberOrderAndDeleteMovesThemToTheTrash) {
    for (const char* name : {"1000000.png", "100001.jpg", "000002.gif", ".000004.jpg"})
        Picture(name, 8, 8);
    for (const char* name : {"000003.html", "notes.jpg", "000005.txt"})
        QFile(run() + '/' + name).open(QIODevice::WriteOnly);
    QStringList names;
    for (const SheetPicture& p : PicturesOf(run())) names << p.name;
    EXPECT_EQ(names, QStringList({"000002.gif", "100001.jpg", "1000000.png"}));

    const TrashOutcome outcome = MoveToTrash(run(), {"000002.gif", "000077.jpg"});
    EXPECT_EQ(outcome.moved, QStringList({"000002.gif"}));
    EXPECT_EQ(outcome.failed, QStringList({"000077.jpg"}));
    EXPECT_FALSE(QFile::exists(run() + "/000002.gif"));
    EXPECT_TRUE(QFile::exists(root.path() + "/data/Trash/files/000002.gif"));
    EXPECT_TRUE(QFile::exists(root.path() + "/data/Trash/info/000002.gif.trashinfo"));
}

TEST_F(SheetLogicTest, RunsNewestFirstWithWhatTheArchiveKnows) {
    const QString downloads = root.path() + "/dl";
    for (const char* folder : {"SR0001", "SR0002", "SR0017", "other"})
        QDir().mkpath(downloads + '/' + folder);
    // SR0001 recorded before SR0000; SR0002 and SR0017 never recorded, made before both.
    for (const auto& [folder, url, pictures] : {std::tuple{"SR0001", "http://one.test/", 1},
                                                std::tuple{"SR0000", "http://zero.test/", 2}}) {
        QThread::msleep(20);
        CrawlArchive archive(downloads, true,
                             [](const QString& m) { ADD_FAILURE() << m.toStdString(); });
        archive.beginRun({folder, url, "Connections=6"});
        for (int n = 1; n <= pictures + 1; ++n) {
            CrawlAttempt attempt;
            attempt.number = n;
            attempt.url = attempt.urlKey = QString("%1%2.jpg").arg(url).arg(n);
            attempt.page = n > pictures;
            attempt.outcome = attempt.page ? AttemptOutcome::DeletedPage : AttemptOutcome::Kept;
            archive.record(attempt);
        }
        archive.endRun("completed");
    }
    const std::vector<RunSummary> runs = ListRuns(downloads);
    QStringList order;
    for (const RunSummary& r : runs) order << r.folder;
    ASSERT_EQ(order, QStringList({"SR0000", "SR0001", "SR0017", "SR0002"}));
    EXPECT_EQ(runs[0].startUrl, "http://zero.test/");
    EXPECT_EQ(runs[0].kept, 2);
    EXPECT_EQ(runs[0].fetched, 3);
    EXPECT_EQ(runs[2].kept, -1);
    EXPECT_TRUE(RunLabel(runs[1]).contains("1枚  http://one.test/"))
        << RunLabel(runs[1]).toStdString();
}
