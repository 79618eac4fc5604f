#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include "ScriptedWindowSystem.h"
#include "core/AppPaths.h"
#include "dialoglogic/ManualText.h"
#include "dialogs/frmHelp.h"

namespace {

class HelpWindow : public ::testing::Test {
protected:
    void SetUp() override {
        AppPaths paths = CurrentAppPaths();
        mSaved = paths;
        paths.manualFile = dir.filePath(QStringLiteral("ReadMe.txt"));
        SetAppPaths(paths);
    }
    void TearDown() override {
        delete help.data();
        SetAppPaths(mSaved);
    }
    void writeManual(const QByteArray& bytes) {
        QFile file(CurrentAppPaths().manualFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    frmHelp* open() {
        help = new frmHelp(&main);
        help->show();
        return help;
    }
    int rows() const { return help->lstHelp->model()->rowCount(); }
    QString row(int i) const { return help->lstHelp->model()->index(i, 0).data().toString(); }

    QTemporaryDir dir;
    ScriptedWindowSystem ws;
    QWidget main;
    QPointer<frmHelp> help;
    AppPaths mSaved;
};

TEST_F(HelpWindow, MissingManualIsReportedOnceAndTheEmptyViewerStays) {
    open();
    ASSERT_EQ(ws.shown().size(), 1u);
    EXPECT_EQ(ws.shown()[0].text, QStringLiteral("ReadMe.txt がみつかりません。"));
    EXPECT_EQ(ws.shown()[0].title, QStringLiteral("ファイルエラー"));
    EXPECT_EQ(ws.shown()[0].style, MB_OK | MB_ICONWARNING);
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Site Rambler - 説明書"));
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(rows(), 0);
}

TEST_F(HelpWindow, EmptyManualAndThreeLines) {
    writeManual(QByteArray());
    open();
    EXPECT_TRUE(ws.shown().empty());
    EXPECT_EQ(rows(), 0);
    delete help.data();

    writeManual("Site Rambler\r\n\r\n最後の行");
    open();
    EXPECT_TRUE(ws.shown().empty());
    ASSERT_EQ(rows(), 3);
    EXPECT_EQ(row(0), QStringLiteral("Site Rambler"));
    EXPECT_EQ(row(1), QString());
    EXPECT_EQ(row(2), QStringLiteral("最後の行"));
}

TEST_F(HelpWindow, ManualIsReadOnceWhileTheWindowLives) {
    writeManual("first\n");
    open();
    writeManual("first\nsecond\n");
    help->show();
    help->raise();
    EXPECT_EQ(rows(), 1);
    EXPECT_TRUE(help->testAttribute(Qt::WA_DeleteOnClose));
    QTest::mouseClick(help->cmdClose, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(help.isNull());
    open();  // the next opening reads the file afresh
    EXPECT_EQ(rows(), 2);
}

TEST_F(HelpWindow, LayoutFollowsTheWindowSize) {
    writeManual("x\n");
    open();
    EXPECT_EQ(help->size(), QSize(441, 347));
    EXPECT_EQ(help->lstHelp->geometry(), QRect(8, 8, 426, 300));
    EXPECT_EQ(help->cmdClose->geometry(), QRect(306, 313, 129, 25));

    help->resize(600, 500);
    EXPECT_EQ(help->lstHelp->geometry(), QRect(8, 8, 585, 453));
    EXPECT_EQ(help->cmdClose->pos(), QPoint(465, 466));

    // Too low for the list: it keeps its height, the button follows the bottom edge.
    help->resize(600, 40);
    EXPECT_EQ(help->lstHelp->height(), 453);
    EXPECT_EQ(help->lstHelp->width(), 585);
    EXPECT_EQ(help->cmdClose->pos(), QPoint(465, 6));

    help->resize(441, 347);
    EXPECT_EQ(help->lstHelp->geometry(), QRect(8, 8, 426, 300));
    EXPECT_EQ(help->cmdClose->geometry(), QRect(306, 313, 129, 25));
}

TEST_F(HelpWindow, SidewaysRangeIsAlwaysEightHundredPixels) {
    for (const QByteArray& manual : {QByteArray(3000, 'W') + "\nshort\n", QByteArray("a\nb\n")}) {
        writeManual(manual);
        open();
        QCoreApplication::processEvents();
        QScrollBar* bar = help->lstHelp->horizontalScrollBar();
        const int viewport = help->lstHelp->viewport()->width();
        EXPECT_EQ(bar->minimum(), 0);
        EXPECT_EQ(bar->maximum(), 800 - viewport);
        // The list's own relayout does not take the range away.
        help->resize(500, 300);
        QCoreApplication::processEvents();
        EXPECT_EQ(bar->maximum(), 800 - help->lstHelp->viewport()->width());
        // Wider than the range: nothing to scroll.
        help->resize(1000, 300);
        QCoreApplication::processEvents();
        EXPECT_EQ(bar->maximum(), 0);
        delete help.data();
    }
}

TEST_F(HelpWindow, BinaryManualStillOpens) {
    QByteArray bytes;
    for (int i = 0; i < 200000; ++i) bytes += char((i * 131) % 256);
    writeManual(bytes);
    open();
    EXPECT_TRUE(ws.shown().empty());
    EXPECT_GT(rows(), 100);
    help->lstHelp->scrollToBottom();
    QCoreApplication::processEvents();
    EXPECT_LE(row(rows() - 1).size(), ManualText::kMaxLineChars);
}

// A long manual is laid out a batch at a time while the window keeps answering. End pressed
// before the batches are through still reaches the last line, and left alone the layout gets
// to the end by itself.
TEST_F(HelpWindow, LongManualReachesItsLastLineAtOnceAndInTime) {
    QByteArray bytes;
    for (int i = 0; i < 120000; ++i) bytes += "line " + QByteArray::number(i) + "\r\n";
    writeManual(bytes);
    open();
    ASSERT_EQ(rows(), 120000);
    help->lstHelp->setCurrentIndex(help->lstHelp->model()->index(0, 0));
    QTest::keyClick(help->lstHelp, Qt::Key_End);
    const QModelIndex last = help->lstHelp->model()->index(rows() - 1, 0);
    EXPECT_EQ(help->lstHelp->currentIndex(), last);
    EXPECT_TRUE(help->lstHelp->viewport()->rect().intersects(help->lstHelp->visualRect(last)));
    delete help.data();

    open();
    QListView* list = help->lstHelp;
    const QModelIndex end = list->model()->index(rows() - 1, 0);
    for (int i = 0; i < 2000 && !list->visualRect(end).isValid(); ++i)
        QCoreApplication::processEvents();
    ASSERT_TRUE(list->visualRect(end).isValid());
    list->scrollToBottom();
    EXPECT_TRUE(list->viewport()->rect().intersects(list->visualRect(end)));
}

}  // namespace
