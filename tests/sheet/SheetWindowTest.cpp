// The contact sheet window on a run folder: thumbnails of a second opening come from the cache,
// the chosen picture's preview fits, Delete moves the chosen pictures to the trash, and
// look-alikes are shown together and cleared down to the largest of each group.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "QtPrinters.h"
#include "ScriptedWindowSystem.h"
#include "core/AppPaths.h"
#include "core/basGlobal.h"
#include "mainwindow/frmMainWindow.h"
#include "sheet/frmSheet.h"
#include "sheetlogic/SheetModel.h"
#include "viewer/frmViewer.h"

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

// A home of its own: thumbnails and the trash under it.
class Home {
public:
    Home() {
        for (const char* name : {"HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
            mSaved.append({name, qgetenv(name)});
        qputenv("HOME", dir.path().toLocal8Bit());
        qputenv("XDG_CACHE_HOME", (dir.path() + "/cache").toLocal8Bit());
        qputenv("XDG_DATA_HOME", (dir.path() + "/data").toLocal8Bit());
    }
    ~Home() {
        for (const auto& [name, value] : mSaved) qputenv(name, value);
    }
    QStringList Trashed() const {
        return QDir(dir.path() + "/data/Trash/files").entryList(QDir::Files);
    }
    QTemporaryDir dir;

private:
    QList<std::pair<const char*, QByteArray>> mSaved;
};

}  // namespace

TEST(SheetWindowTest, SecondOpeningDecodesNothingAndDeleteMovesTheChosenToTheTrash) {
    Home home;
    const QTemporaryDir& root = home.dir;
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
    EXPECT_EQ(home.Trashed(), QStringList({"000001.png", "000003.png"}));
    EXPECT_TRUE(sheet.lblStatus->text().contains("2 枚をごみ箱へ移しました"));
}

TEST(SheetWindowTest, LookAlikesShownTogetherAndClearedDownToTheLargest) {
    Home home;
    const QString run = home.dir.path() + "/dl/SR0000";
    QDir().mkpath(run);
    QImage shapes(600, 400, QImage::Format_RGB32);
    QPainter painter(&shapes);
    painter.fillRect(shapes.rect(), QLinearGradient(0, 0, 600, 0));
    painter.setBrush(Qt::white);
    painter.drawEllipse(100, 80, 250, 250);
    painter.end();
    QImage squares(500, 500, QImage::Format_RGB32);
    for (int y = 0; y < 500; ++y)
        for (int x = 0; x < 500; ++x) squares.setPixel(x, y, (x / 37 + y / 53) % 2 ? ~0u : 0u);
    ASSERT_TRUE(shapes.save(run + "/000001.png"));
    ASSERT_TRUE(squares.save(run + "/000002.png"));
    ASSERT_TRUE(shapes.scaled(300, 200).save(run + "/000003.jpg", "JPG", 70));

    ScriptedWindowSystem ws;
    frmSheet sheet;
    sheet.Open(run + "/..");
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.model().rowCount() == 3; }, 10000));
    sheet.chkSimilar->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sheet.model().groups().empty(); }, 10000));
    EXPECT_EQ(sheet.model().names(), QStringList({"000001.png", "000003.jpg", "000002.png"}));
    ws.answer(IDYES);
    sheet.cmdClearSimilar->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.model().rowCount() == 2; }, 10000));
    ASSERT_EQ(ws.shown().size(), 1u);
    EXPECT_TRUE(ws.shown()[0].text.contains(" 1 枚をごみ箱へ移します"))
        << ws.shown()[0].text.toStdString();
    EXPECT_EQ(home.Trashed(), QStringList({"000003.jpg"}));
    EXPECT_TRUE(sheet.model().groups().empty());
}

TEST(SheetWindowTest, OpensFromTheFileMenuOnTheLatestRunAndFromTheViewerOnItsPicture) {
    Home home;
    ResetGlobals();
    const QString downloads = home.dir.path() + "/dl";
    for (const char* file : {"SR0000/000001.png", "SR0001/000007.png", "SR0001/000009.png"}) {
        QDir().mkpath(QFileInfo(downloads + '/' + file).path());
        QImage picture(20, 20, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        ASSERT_TRUE(picture.save(downloads + '/' + file));
    }
    gRunFolder = downloads + "/SR0000";  // this session's crawl, not the newest folder
    ScriptedWindowSystem ws;
    frmMainWindow main;
    main.txtDownloadBasePath->setText(downloads);
    main.menSheet->trigger();
    frmSheet* sheet = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<frmSheet*>(w)) sheet = s;
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet->model().rowCount() == 1; }, 10000));
    EXPECT_EQ(sheet->model().folder(), gRunFolder);
    EXPECT_EQ(sheet->runs().size(), 2u);

    gRunFolder = downloads + "/SR0001";
    main.cmdViewer_Click();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* viewer = qobject_cast<frmViewer*>(w)) {
            viewer->cmdControll_Click(3);  // the last picture, 000009.png
            for (QAction* action : viewer->actions()) action->trigger();
        }
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet->model().rowCount() == 2; }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet->lstSheet->currentIndex().row() == 1; }, 10000));
    EXPECT_EQ(sheet->model().folder(), gRunFolder);
    ResetGlobals();
}
