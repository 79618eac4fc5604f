// The contact sheet window on a run folder: thumbnails of a second opening come from the cache,
// the chosen picture's preview fits, and Delete moves the chosen pictures to the trash.
#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QListView>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "QtPrinters.h"
#include "sheet/frmSheet.h"
#include "sheetlogic/SheetModel.h"

namespace {

// The size of the row's picture as the view would draw it: the placeholder square until its
// thumbnail comes.
QSize Shown(frmSheet& sheet, int row) {
    const QIcon icon = sheet.model().index(row).data(Qt::DecorationRole).value<QIcon>();
    return icon.actualSize(QSize(128, 128));
}

bool AllThumbnailsShown(frmSheet& sheet) {
    for (int row = 0; row < sheet.model().rowCount(); ++row)
        if (Shown(sheet, row) == QSize(128, 128)) return false;
    return sheet.model().rowCount() > 0;
}

}  // namespace

TEST(SheetWindowTest, SecondOpeningDecodesNothingAndDeleteMovesTheChosenToTheTrash) {
    QTemporaryDir root;
    const QByteArray home = qgetenv("HOME"), cache = qgetenv("XDG_CACHE_HOME"),
                     data = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", root.path().toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (root.path() + "/cache").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (root.path() + "/data").toLocal8Bit());
    const QString run = root.path() + "/dl/SR0004";
    QDir().mkpath(run);
    for (int n = 1; n <= 3; ++n) {
        QImage image(900, 200 * n, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(n * 90, 200, 200));
        ASSERT_TRUE(image.save(run + QString("/%1.png").arg(n, 6, 10, QChar('0'))));
    }
    const int decodes = ThumbnailCache::Decodes();
    for (int opening = 1; opening <= 2; ++opening) {
        frmSheet sheet;
        QSignalSpy previews(&sheet, &frmSheet::previewShown);
        sheet.Open(root.path() + "/dl", {}, "000002.png");
        ASSERT_TRUE(previews.wait(10000));
        EXPECT_EQ(sheet.lstSheet->currentIndex().row(), 1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return AllThumbnailsShown(sheet); }, 10000));
        EXPECT_EQ(Shown(sheet, 2), QSize(128, 85));         // at most 128 a side
        EXPECT_EQ(ThumbnailCache::Decodes(), decodes + 3);  // the second time: none
        // The preview fits in its area.
        const QSize preview = sheet.picPreview->pixmap().deviceIndependentSize().toSize();
        const QSize area = sheet.picArea->viewport()->size();
        EXPECT_TRUE(preview.width() <= area.width() && preview.height() <= area.height())
            << preview.width() << "x" << preview.height();
        EXPECT_EQ(sheet.windowTitle(), "Site Rambler - 一覧 ( SR0004 )");
    }

    frmSheet sheet;
    sheet.Open(root.path() + "/dl");
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.model().rowCount() == 3; }, 10000));
    sheet.lstSheet->selectionModel()->select(sheet.model().index(0),
                                             QItemSelectionModel::ClearAndSelect);
    sheet.lstSheet->selectionModel()->select(sheet.model().index(2), QItemSelectionModel::Select);
    sheet.activateWindow();
    QTest::keyClick(sheet.lstSheet, Qt::Key_Delete);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.model().rowCount() == 1; }, 10000));
    EXPECT_EQ(sheet.model().names(), QStringList({"000002.png"}));
    EXPECT_EQ(QDir(run).entryList(QDir::Files), QStringList({"000002.png"}));
    EXPECT_EQ(QDir(root.path() + "/data/Trash/files").entryList(QDir::Files),
              QStringList({"000001.png", "000003.png"}));
    EXPECT_TRUE(sheet.lblStatus->text().contains("2 枚をごみ箱へ移しました"));
    qputenv("HOME", home);
    qputenv("XDG_CACHE_HOME", cache);
    qputenv("XDG_DATA_HOME", data);
}
