// Paging through the run folder by number: opening, first/previous/next/last, refresh,
// delete, keys and close, on the real window.
#include "ViewerFixture.h"

namespace {

using Nav = ViewerFixture;

TEST_F(Nav, EmptyFolderShowsNothingAndProbesOnlyZero) {
    frmViewer& v = OpenViewer();
    EXPECT_EQ(Caption(), NotFoundCaption());
    EXPECT_FALSE(v.cmdDelete->isEnabled());
    EXPECT_EQ(v.mFileCount, 0);
    EXPECT_EQ(v.mMinNo, 999999);
    EXPECT_EQ(v.mMaxNo, 0);
    EXPECT_EQ(v.txtDir->text(), gRunFolder);

    for (std::int16_t index : {0, 3}) {
        const qint64 before = v.FolderIndex().Lookups();
        v.cmdControll_Click(index);
        EXPECT_EQ(v.FolderIndex().Lookups() - before, 1) << index;  // number 0 only
        EXPECT_EQ(Caption(), NotFoundCaption());
    }
    // Previous and next have nothing to do; they only clear the comment.
    for (std::int16_t index : {1, 2}) {
        v.lblComment->setText(QStringLiteral("x"));
        const qint64 before = v.FolderIndex().Lookups();
        v.cmdControll_Click(index);
        EXPECT_EQ(v.FolderIndex().Lookups(), before) << index;
        EXPECT_EQ(v.lblComment->text(), QString()) << index;
        EXPECT_EQ(Caption(), NotFoundCaption());
    }
    EXPECT_TRUE(mWs.shown().empty());
}

TEST_F(Nav, NumberZeroIsFoundByFirstAndByLast) {
    WritePicture(QStringLiteral("000000.png"));
    frmViewer& v = OpenViewer();
    EXPECT_EQ(Caption(), ShownCaption(QStringLiteral("000000.png"), 1, 1));
    EXPECT_TRUE(v.cmdDelete->isEnabled());
    EXPECT_EQ(v.mMinNo, 0);
    EXPECT_EQ(v.mMaxNo, 0);
    v.cmdControll_Click(3);
    EXPECT_EQ(v.mCurrentFile, QStringLiteral("000000.png"));
    v.cmdControll_Click(0);
    EXPECT_EQ(v.mCurrentFile, QStringLiteral("000000.png"));
    EXPECT_EQ(Caption(), ShownCaption(QStringLiteral("000000.png"), 1, 1));
}

TEST_F(Nav, GapsAreSkippedInOneLookupAndTheEndsStay) {
    for (const char* name : {"000001.png", "000002.png", "000003.png", "000010.png"})
        WritePicture(QString::fromLatin1(name));
    frmViewer& v = OpenViewer();
    EXPECT_EQ(v.mCurrentNo, 1);
    v.cmdControll_Click(2);
    v.cmdControll_Click(2);
    ASSERT_EQ(v.mCurrentNo, 3);
    const qint64 before = v.FolderIndex().Lookups();
    const int yieldsBefore = mWs.yields();
    v.cmdControll_Click(2);
    EXPECT_EQ(v.mCurrentFile, QStringLiteral("000010.png"));
    EXPECT_EQ(v.FolderIndex().Lookups() - before, 1);  // not one per empty number
    EXPECT_EQ(mWs.yields() - yieldsBefore, 0);
    EXPECT_EQ(Caption(), ShownCaption(QStringLiteral("000010.png"), 1, 4));

    // Next on the largest number changes neither the caption nor Delete, and scrolls home.
    v.lblComment->setText(QStringLiteral("x"));
    v.imgViewer->move(-5, -5);
    v.cmdControll_Click(2);
    EXPECT_EQ(Caption(), ShownCaption(QStringLiteral("000010.png"), 1, 4));
    EXPECT_TRUE(v.cmdDelete->isEnabled());
    EXPECT_EQ(v.lblComment->text(), QString());
    EXPECT_EQ(v.imgViewer->pos(), QPoint(0, 0));

    v.cmdControll_Click(1);
    EXPECT_EQ(v.mCurrentNo, 3);
    v.cmdControll_Click(0);
    EXPECT_EQ(v.mCurrentNo, 1);
    v.cmdControll_Click(1);  // already the smallest
    EXPECT_EQ(v.mCurrentNo, 1);
    EXPECT_EQ(Caption(), ShownCaption(QStringLiteral("000001.png"), 1, 4));
    v.cmdControll_Click(3);
    EXPECT_EQ(v.mCurrentNo, 10);
}

TEST_F(Nav, PreviousAfterLowerFilesWentAwayShowsNotFoundAndKeepsThePicture) {
    for (const char* name : {"000001.png", "000002.png", "000003.png"})
        WritePicture(QString::fromLatin1(name));
    frmViewer& v = OpenViewer();
    v.cmdControll_Click(3);
    ASSERT_EQ(v.mCurrentNo, 3);
    ASSERT_TRUE(QFile::remove(PathOf(QStringLiteral("000001.png"))));
    ASSERT_TRUE(QFile::remove(PathOf(QStringLiteral("000002.png"))));
    v.cmdControll_Click(1);
    EXPECT_EQ(Caption(), NotFoundCaption());
    EXPECT_FALSE(v.cmdDelete->isEnabled());
    EXPECT_EQ(v.mCurrentNo, 3);
    EXPECT_EQ(v.mCurrentFile, QStringLiteral("000003.png"));
    EXPECT_TRUE(v.imgViewer->HasPicture());
}

TEST_F(Nav, DeletingTheSmallestLeavesAnEmptyAreaAndASecondDeleteDoesNothing) {
    for (const char* name : {"000001.png", "000002.png", "000003.png"})
        WritePicture(QString::fromLatin1(name));
    frmViewer& v = OpenViewer();
    ASSERT_EQ(v.mCurrentFile, QStringLiteral("000001.png"));
    const QString shown = Caption();

    mWs.answer(IDNO);
    v.cmdDelete_Click();
    EXPECT_TRUE(Exists(QStringLiteral("000001.png")));
    EXPECT_TRUE(v.imgViewer->HasPicture());

    mWs.answer(IDYES);
    Key(Qt::Key_Delete);
    ASSERT_EQ(mWs.shown().size(), 2u);
    EXPECT_EQ(mWs.shown()[1].text,
              QStringLiteral("イメージファイル 000001.png を削除します。よろしいですか？"));
    EXPECT_EQ(mWs.shown()[1].title, QStringLiteral("イメージファイルの削除"));
    EXPECT_EQ(mWs.shown()[1].style, 0x23);
    EXPECT_FALSE(Exists(QStringLiteral("000001.png")));
    EXPECT_TRUE(Exists(QStringLiteral("000002.png")));
    EXPECT_TRUE(Exists(QStringLiteral("000003.png")));
    EXPECT_FALSE(v.imgViewer->HasPicture());
    EXPECT_EQ(Caption(), shown);  // still names the deleted file, count unchanged
    EXPECT_EQ(v.mFileCount, 3);
    EXPECT_EQ(v.mMinNo, 1);

    v.cmdDelete_Click();  // no file for the number: no question
    EXPECT_EQ(mWs.shown().size(), 2u);
    EXPECT_EQ(QDir(mDir.path()).entryList(QDir::Files).size(), 2);
}

TEST_F(Nav, DeleteRemovesOnlyTheFirstOfTwoFilesOfOneNumberThenGoesBack) {
    WritePicture(QStringLiteral("000005.png"));
    WriteBytes(QStringLiteral("000007.htm"), QByteArray(1500, 'h'));
    WritePicture(QStringLiteral("000007.jpg"));
    frmViewer& v = OpenViewer();
    v.cmdControll_Click(3);
    ASSERT_EQ(v.mCurrentFile, QStringLiteral("000007.htm"));  // first in byte order
    EXPECT_EQ(Caption(), ShownCaption(QStringLiteral("000007.htm"), 2, 3));
    EXPECT_EQ(v.lblComment->text(), CannotShow());
    EXPECT_TRUE(v.cmdDelete->isEnabled());

    mWs.answer(IDYES);
    v.cmdDelete_Click();
    EXPECT_FALSE(Exists(QStringLiteral("000007.htm")));
    EXPECT_TRUE(Exists(QStringLiteral("000007.jpg")));
    EXPECT_EQ(v.mCurrentFile, QStringLiteral("000005.png"));
    EXPECT_EQ(v.lblComment->text(), QString());
    v.cmdControll_Click(2);
    EXPECT_EQ(v.mCurrentFile, QStringLiteral("000007.jpg"));
}

TEST_F(Nav, EntriesWithoutNumbersAreCountedButMoveNoBound) {
    WritePicture(QStringLiteral("000004.png"));
    WritePicture(QStringLiteral("000009.png"));
    WriteBytes(QStringLiteral("readme.txt"), "r");
    WriteBytes(QStringLiteral("noext"), "n");
    WriteBytes(QStringLiteral("abc.000099"), "a");
    WriteBytes(QStringLiteral(".000001.png.part"), "p");  // a crawl's file in the making
    ASSERT_TRUE(QDir(mDir.path()).mkdir(QStringLiteral("000002.dir")));
    frmViewer& v = OpenViewer();
    EXPECT_EQ(v.mFileCount, 5);
    EXPECT_EQ(v.mMinNo, 4);
    EXPECT_EQ(v.mMaxNo, 9);
    EXPECT_EQ(Caption(), ShownCaption(QStringLiteral("000004.png"), 1, 5));
    Key(Qt::Key_F1);
    EXPECT_EQ(Caption(), RefreshCaption(QStringLiteral("000004.png"), 5));
}

TEST_F(Nav, FilesAddedAfterOpeningAreReachedByNextAndLastOnlyAfterRefresh) {
    WritePicture(QStringLiteral("000001.png"));
    WritePicture(QStringLiteral("000002.png"));
    frmViewer& v = OpenViewer();
    v.cmdControll_Click(3);
    ASSERT_EQ(v.mCurrentNo, 2);
    WritePicture(QStringLiteral("000003.png"));
    v.cmdControll_Click(2);
    EXPECT_EQ(v.mCurrentNo, 2);
    v.cmdControll_Click(3);
    EXPECT_EQ(v.mCurrentNo, 2);
    v.cmdRefresh_Click();
    EXPECT_EQ(v.mMaxNo, 3);
    EXPECT_EQ(Caption(), RefreshCaption(QStringLiteral("000002.png"), 3));
    v.cmdControll_Click(2);
    EXPECT_EQ(v.mCurrentNo, 3);
    // A refresh widens the bounds but never narrows them; a deletion leaves them.
    ASSERT_TRUE(QFile::remove(PathOf(QStringLiteral("000003.png"))));
    v.cmdRefresh_Click();
    EXPECT_EQ(v.mMaxNo, 3);
    EXPECT_EQ(v.mFileCount, 2);
}

TEST_F(Nav, EveryNumberIsReachedAroundAMillionAcrossGaps) {
    WritePicture(QStringLiteral("1000000.png"));
    frmViewer& v = OpenViewer();
    EXPECT_EQ(v.mCurrentFile, QStringLiteral("1000000.png"));  // the opening reaches it
    for (const char* name : {"000007.png", "999999.png", "1000003.png"})
        WritePicture(QString::fromLatin1(name));
    v.cmdRefresh_Click();
    for (const std::int32_t n : {7, 999999, 1000000, 1000003, 1000003}) {
        v.cmdControll_Click(n == 7 ? 0 : 2);
        EXPECT_EQ(v.mCurrentFile, SequenceName(n) + QStringLiteral(".png"));
    }
    for (const std::int32_t n : {1000000, 999999, 7}) {
        v.cmdControll_Click(1);
        EXPECT_EQ(v.mCurrentNo, n);
    }
}

TEST_F(Nav, KeysReachTheHandlersWhateverHasTheFocusAndShiftIsIgnored) {
    for (const char* name : {"000001.png", "000002.png", "000003.png"})
        WritePicture(QString::fromLatin1(name));
    frmViewer& v = OpenViewer();
    v.srbHScroll->setFocus();
    Key(Qt::Key_End);
    EXPECT_EQ(v.mCurrentNo, 3);
    Key(Qt::Key_PageUp);
    EXPECT_EQ(v.mCurrentNo, 2);
    Key(Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(v.mCurrentNo, 1);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(v.mCurrentNo, 2);
    Key(Qt::Key_A);
    EXPECT_EQ(v.mCurrentNo, 2);
    Key(Qt::Key_Escape);
    EXPECT_FALSE(v.isVisible());
    EXPECT_FALSE(v.IsOpen());
}

TEST_F(Nav, OpenAgainKeepsTheStateAndAfterCloseStartsAfresh) {
    WritePicture(QStringLiteral("000001.png"));
    frmViewer& v = OpenViewer();
    v.cmdControll_Click(3);
    WritePicture(QStringLiteral("000002.png"));
    OpenViewer();
    EXPECT_EQ(v.mMaxNo, 1);
    EXPECT_EQ(v.mFileCount, 1);
    v.close();
    EXPECT_FALSE(v.isVisible());
    EXPECT_FALSE(v.IsOpen());
    OpenViewer();
    EXPECT_EQ(v.mMaxNo, 2);
    EXPECT_EQ(v.mFileCount, 2);
    EXPECT_EQ(v.mCurrentNo, 1);
}

TEST_F(Nav, CloseEnablesTheMainWindowAgain) {
    QWidget main;
    main.setEnabled(false);
    frmViewer& v = OpenViewer();
    v.setMainWindow(&main);
    v.cmdClose->click();
    EXPECT_TRUE(main.isEnabled());
    EXPECT_FALSE(v.isVisible());
}

// A search lets events run only while it reads a changed folder: each test changes the folder
// before the search it interrupts.
class Supersede : public ViewerFixture {
protected:
    void SetUp() override {
        ViewerFixture::SetUp();
        WritePicture(QStringLiteral("000001.png"), 40, 30);
        WritePicture(QStringLiteral("000002.png"), 50, 60);
        WritePicture(QStringLiteral("000009.png"), 60, 70);
    }
    void ChangeFolder() { WriteBytes(QStringLiteral("note%1.txt").arg(++mNotes), "n"); }
    int mNotes = 0;
};

TEST_F(Supersede, ANewerNavigationWinsAndKeepsItsCaptionAndDelete) {
    frmViewer& v = OpenViewer();
    v.cmdControll_Click(2);
    ASSERT_EQ(v.mCurrentNo, 2);
    bool pressed = false;
    mWs.onYield = [&] {
        if (pressed) return;
        pressed = true;
        v.cmdControll[0]->click();  // "first" while "next" reads the folder
    };
    ChangeFolder();
    v.cmdControll_Click(2);
    ASSERT_TRUE(pressed);
    EXPECT_EQ(v.mCurrentFile, QStringLiteral("000001.png"));
    EXPECT_EQ(Caption(), ShownCaption(QStringLiteral("000001.png"), 1, 3));
    EXPECT_TRUE(v.cmdDelete->isEnabled());
    EXPECT_EQ(v.imgViewer->size(), QSize(40, 30));
    EXPECT_EQ(v.mNaviMode, 1);
}

TEST_F(Supersede, ANewerNavigationOfTheSameKindAlsoTakesOver) {
    frmViewer& v = OpenViewer();
    ASSERT_EQ(v.mCurrentNo, 1);
    bool pressed = false;
    mWs.onYield = [&] {
        if (std::exchange(pressed, true)) return;
        v.cmdControll_Click(2);  // 2
        v.cmdControll_Click(2);  // 9
    };
    ChangeFolder();
    v.cmdControll_Click(2);  // would show 2, had it not stopped
    ASSERT_TRUE(pressed);
    EXPECT_EQ(v.mCurrentFile, QStringLiteral("000009.png"));
    EXPECT_EQ(Caption(), ShownCaption(QStringLiteral("000009.png"), 1, 3));
}

TEST_F(Supersede, ClosingDuringASearchStopsItAndTouchesNothing) {
    frmViewer& v = OpenViewer();
    v.cmdControll_Click(2);
    mWs.onYield = [&] {
        mWs.onYield = nullptr;
        v.cmdClose_Click();
    };
    ChangeFolder();
    v.cmdControll_Click(2);
    EXPECT_FALSE(v.isVisible());
    EXPECT_FALSE(v.IsOpen());
    EXPECT_NE(Caption(), NotFoundCaption());
    EXPECT_TRUE(v.cmdDelete->isEnabled());
    EXPECT_EQ(v.mCurrentFile, QString());
    OpenViewer();
    EXPECT_EQ(v.mCurrentFile, QStringLiteral("000001.png"));
}

TEST_F(Supersede, ProgramEndingDuringASearchUnwindsQuietly) {
    frmViewer& v = OpenViewer();
    v.cmdControll_Click(2);
    const QString before = Caption();
    mWs.onYield = [&] { mWs.RequestEnd(); };
    ChangeFolder();
    EXPECT_NO_THROW(v.cmdControll_Click(2));
    EXPECT_NO_THROW(v.cmdRefresh_Click());
    EXPECT_EQ(Caption(), before);
    EXPECT_TRUE(v.cmdDelete->isEnabled());
}

TEST_F(Supersede, ARefreshDuringASearchLeavesTheSearchBounds) {
    frmViewer& v = OpenViewer();
    bool refreshed = false;
    mWs.onYield = [&] {
        if (refreshed) return;
        refreshed = true;
        WritePicture(QStringLiteral("2000000.png"));
        v.cmdRefresh_Click();
    };
    ChangeFolder();
    v.cmdControll_Click(3);
    ASSERT_TRUE(refreshed);
    EXPECT_EQ(v.mMaxNo, 2000000);
    EXPECT_EQ(v.mCurrentFile, QStringLiteral("000009.png"));  // the search kept to its bounds
    v.cmdControll_Click(3);
    EXPECT_EQ(v.mCurrentFile, QStringLiteral("2000000.png"));
}

}  // namespace
