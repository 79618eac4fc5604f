#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "QtPrinters.h"
#include "ScriptedWindowSystem.h"
#include "core/AppPaths.h"
#include "core/ProfileFile.h"
#include "core/basGlobal.h"
#include "core/UrlQueue.h"
#include "mainwindow/frmMainWindow.h"

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGlobals();
        AppPaths p;
        p.executableFolder = dir.path();
        p.settingsFile = dir.filePath("Init.dat");
        p.aboutFile = p.settingsFile;
        p.defaultDownloadFolder = dir.path();
        SetAppPaths(p);
    }

    std::unique_ptr<frmMainWindow> makeWindow() {
        auto w = std::make_unique<frmMainWindow>();
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        return w;
    }

    // A pointer move without buttons, as the window system sends it.
    void hover(QWidget* over, QPoint at = QPoint(-1, -1)) {
        if (at.x() < 0) at = over->rect().center();
        QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(over->mapToGlobal(at)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(over, &move);
    }

    QString settingsValue(const char* section, const char* key) {
        ProfileFile f;
        f.load(dir.filePath("Init.dat"));
        return f.value(section, key);
    }

    QTemporaryDir dir;
    ScriptedWindowSystem ws;
};

}  // namespace

TEST_F(MainWindowTest, LoadShowsStoredTextsOrTheDesignDefaults) {
    auto w = makeWindow();
    EXPECT_EQ(w->windowTitle(), "Site Rambler");
    EXPECT_EQ(w->txtURLBasePath->text(), "http://");
    EXPECT_EQ(w->txtDownloadBasePath->text(), dir.path());
    gURLBasePath = "http://a/b.html";
    gDownloadBasePath = "/tmp/x";
    auto w2 = makeWindow();
    EXPECT_EQ(w2->txtURLBasePath->text(), "http://a/b.html");
    EXPECT_EQ(w2->txtDownloadBasePath->text(), "/tmp/x");
}

TEST_F(MainWindowTest, ControlsSitAtTheirDesignedPlacesAndStatesAtStart) {
    auto w = makeWindow();
    EXPECT_EQ(w->centralWidget()->size(), QSize(624, 390));
    EXPECT_EQ(w->txtURLBasePath->geometry(), QRect(16, 32, 593, 18));
    EXPECT_EQ(w->lstImageView->geometry(), QRect(16, 248, 593, 88));
    EXPECT_EQ(w->cmdClose->geometry(), QRect(496, 352, 113, 25));
    EXPECT_EQ(w->cmdOpen->geometry(), QRect(584, 80, 25, 19));
    EXPECT_TRUE(w->cmdStart->isEnabled());
    EXPECT_FALSE(w->cmdCancel->isEnabled());
    EXPECT_TRUE(w->cmdOpen->isEnabled());
    EXPECT_FALSE(w->cmdViewer->isEnabled());
    EXPECT_TRUE(w->menFileOpen->isEnabled());
    EXPECT_EQ(w->cmdStart->toolTip(), "巡回を開始します。 [F1]");
    EXPECT_EQ(w->cmdClose->toolTip(), "このソフトを終了します。 [ESC]");
    // tab order runs through the boxes, the lists, the four buttons and the folder button
    QWidget* expected[] = {w->txtDownloadBasePath, w->lstLinkView, w->lstImageView, w->cmdStart,
                           w->cmdCancel, w->cmdViewer, w->cmdClose, w->cmdOpen};
    QWidget* at = w->txtURLBasePath;
    for (QWidget* next : expected) {
        at = at->nextInFocusChain();
        while (at->focusPolicy() == Qt::NoFocus || !at->isEnabled() ||
               at->parentWidget() != w->centralWidget())
            at = at->nextInFocusChain();
        if (next->isEnabled()) EXPECT_EQ(at, next);
        else at = next;
    }
}

TEST_F(MainWindowTest, CrawlControlStatesFollowTheRunAndTheViewerStaysOn) {
    auto w = makeWindow();
    w->setCrawlControls(true);
    EXPECT_FALSE(w->cmdStart->isEnabled());
    EXPECT_FALSE(w->cmdOpen->isEnabled());
    EXPECT_TRUE(w->cmdCancel->isEnabled());
    EXPECT_TRUE(w->cmdViewer->isEnabled());
    EXPECT_FALSE(w->menFileOpen->isEnabled());
    EXPECT_FALSE(w->menFileSave->isEnabled());
    EXPECT_TRUE(w->menOption->isEnabled());
    w->setCrawlControls(false);
    EXPECT_TRUE(w->cmdStart->isEnabled());
    EXPECT_FALSE(w->cmdCancel->isEnabled());
    EXPECT_TRUE(w->cmdViewer->isEnabled());
    EXPECT_TRUE(w->menFileSave->isEnabled());
}

TEST_F(MainWindowTest, FunctionKeysActOnlyWhenTheirButtonIsOn) {
    auto w = makeWindow();
    w->txtURLBasePath->setFocus();
    QTest::keyClick(w->txtURLBasePath, Qt::Key_F2);  // no crawl: cancel does nothing
    EXPECT_EQ(gCancelRequested, 0);
    EXPECT_EQ(w->windowTitle(), "Site Rambler");
    w->setCrawlControls(true);
    QTest::keyClick(w->txtURLBasePath, Qt::Key_F2);
    EXPECT_EQ(gCancelRequested, -1);
    EXPECT_EQ(w->windowTitle(), "Site Rambler - 巡回キャンセル中…");
    // F1 during a crawl does nothing: no input check box appears
    w->txtURLBasePath->clear();
    QTest::keyClick(w->txtURLBasePath, Qt::Key_F1);
    EXPECT_TRUE(ws.shown().empty());
}

TEST_F(MainWindowTest, DeleteRemovesTheSelectedEntryOfTheHoveredListButNeverTheFirst) {
    auto w = makeWindow();
    w->lstLink().appendAll({"a", "b", "c", "d"});
    w->lstImage().appendAll({"i0", "i1"});
    hover(w->lstLinkView->viewport());
    EXPECT_EQ(w->mHoverList, 1);
    w->lstLink().setSelectedIndex(2);
    w->lstLinkView->setFocus();
    QTest::keyClick(w->lstLinkView, Qt::Key_Delete);
    EXPECT_EQ(w->lstLink().entries(), QStringList({"a", "b", "d"}));
    w->lstLink().setSelectedIndex(0);
    QTest::keyClick(w->lstLinkView, Qt::Key_Delete);
    EXPECT_EQ(w->lstLink().count(), 3);
    w->lstLink().setSelectedIndex(-1);
    QTest::keyClick(w->lstLinkView, Qt::Key_Delete);
    EXPECT_EQ(w->lstLink().count(), 3);
    // after the pointer crossed the window's background nothing is removed
    w->lstLink().setSelectedIndex(1);
    hover(w->centralWidget(), QPoint(4, 4));  // background above the first label
    EXPECT_EQ(w->mHoverList, 0);
    QTest::keyClick(w->lstLinkView, Qt::Key_Delete);
    EXPECT_EQ(w->lstLink().count(), 3);
    // moving over a label leaves the hovered list as it was
    hover(w->lstImageView->viewport());
    hover(w->lblTitle[2]);
    EXPECT_EQ(w->mHoverList, 2);
}

TEST_F(MainWindowTest, DeleteTypedInTheUrlBoxAlsoRemovesTheHoveredEntry) {
    auto w = makeWindow();
    w->lstImage().appendAll({"i0", "i1", "i2"});
    hover(w->lstImageView->viewport());
    w->lstImage().setSelectedIndex(1);
    w->txtURLBasePath->setText("abc");
    w->txtURLBasePath->setFocus();
    w->txtURLBasePath->setCursorPosition(0);
    w->txtURLBasePath->deselect();
    QTest::keyClick(w->txtURLBasePath, Qt::Key_Delete);
    EXPECT_EQ(w->txtURLBasePath->text(), "bc");
    EXPECT_EQ(w->lstImage().entries(), QStringList({"i0", "i2"}));
}

TEST_F(MainWindowTest, DoubleClickEditsTheSelectedEntryThroughAnInputBox) {
    auto w = makeWindow();
    w->lstLink().appendAll({"a", "b"});
    w->lstLink().setSelectedIndex(1);
    ws.answerInput("edited");
    w->lstLink_DblClick();
    ASSERT_EQ(ws.shown().size(), 1u);
    EXPECT_EQ(ws.shown()[0].kind, ShownBox::Input);
    EXPECT_EQ(ws.shown()[0].text, "リンク");
    EXPECT_EQ(ws.shown()[0].title, "Site Rambler");
    EXPECT_EQ(ws.shown()[0].defaultText, "b");
    EXPECT_EQ(w->lstLink().entries(), QStringList({"a", "edited"}));
    EXPECT_EQ(w->IsListed("lstLink", "edited"), -1);
    EXPECT_EQ(w->IsListed("lstLink", "b"), 0);
    // a cleared field (or Cancel) leaves the entry as it was
    ws.answerInput("");
    w->lstLink_DblClick();
    EXPECT_EQ(w->lstLink().entry(1), "edited");
    // no selection: empty default text, nothing changes
    w->lstImage().append("x");
    ws.answerInput("y");
    w->lstImage_DblClick();
    EXPECT_EQ(ws.shown().back().text, "イメージ");
    EXPECT_EQ(ws.shown().back().defaultText, "");
    EXPECT_EQ(w->lstImage().entries(), QStringList({"x"}));
    EXPECT_EQ(w->IsListed("anything", "x"), -1);
}

TEST_F(MainWindowTest, DoubleClickWithTheMouseOpensTheEditor) {
    auto w = makeWindow();
    w->lstLink().appendAll({"first", "second"});
    ws.answerInput("changed");
    const QRect second = w->lstLinkView->visualRect(w->lstLink().index(1));
    QTest::mouseClick(w->lstLinkView->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(w->lstLinkView->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(w->lstLink().entry(1), "changed");
}

TEST_F(MainWindowTest, EscapeWithoutCrawlSavesAndEndsWithoutQuestion) {
    auto w = makeWindow();
    w->txtURLBasePath->setText("http://saved/");
    w->txtDownloadBasePath->setText("/saved");
    gHTMLAutoDelete = "1";
    QTest::keyClick(w->txtURLBasePath, Qt::Key_Escape);
    EXPECT_TRUE(ws.shown().empty());
    EXPECT_TRUE(ws.Ending());
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(settingsValue("Path", "URL"), "http://saved/");
    EXPECT_EQ(settingsValue("Path", "Download"), "/saved");
    EXPECT_EQ(settingsValue("Option", "HTMLAutoDelete"), "1");
    EXPECT_EQ(settingsValue("Option", "PictAutoDeleteSize"), "2");
}

TEST_F(MainWindowTest, CloseDuringCrawlAsksAndOnlyYesEnds) {
    auto w = makeWindow();
    w->setCrawlControls(true);
    for (int answer : {IDNO, IDCANCEL}) {
        ws.answer(answer);
        w->close();  // the close box takes the same path
        EXPECT_FALSE(ws.Ending());
        EXPECT_TRUE(w->isVisible());
        EXPECT_FALSE(QFile::exists(dir.filePath("Init.dat")));
    }
    ASSERT_EQ(ws.shown().size(), 2u);
    EXPECT_EQ(ws.shown()[0].text, "現在巡回中です。終了してもよろしいですか？");
    EXPECT_EQ(ws.shown()[0].title, "終了の確認");
    EXPECT_EQ(ws.shown()[0].style, 0x123);
    ws.answer(IDYES);
    w->menFileClose->trigger();
    EXPECT_TRUE(ws.Ending());
    EXPECT_TRUE(QFile::exists(dir.filePath("Init.dat")));
}

TEST_F(MainWindowTest, EndingInsideAYieldUnwindsTheInterruptedWork) {
    auto w = makeWindow();
    w->setCrawlControls(true);
    int stepsAfterEnd = 0;
    bool unwound = false;
    ws.answer(IDYES);
    int yields = 0;
    ws.onYield = [&] {
        if (++yields == 3) QTest::keyClick(w->txtURLBasePath, Qt::Key_Escape);
    };
    try {
        for (int i = 0; i < 100; ++i) {
            ws.YieldNow();
            if (ws.Ending()) ++stepsAfterEnd;
        }
    } catch (const ProgramEnding&) {
        unwound = true;
    }
    EXPECT_TRUE(unwound);
    EXPECT_EQ(stepsAfterEnd, 0);
    EXPECT_EQ(ws.shown().size(), 1u);  // the question, nothing after it
    EXPECT_TRUE(QFile::exists(dir.filePath("Init.dat")));
}

TEST_F(MainWindowTest, UrlBoxSelectsAllOnFocus) {
    auto w = makeWindow();
    w->txtURLBasePath->setText("http://example/");
    w->txtDownloadBasePath->setFocus();
    w->txtURLBasePath->setFocus();
    EXPECT_EQ(w->txtURLBasePath->selectedText(), "http://example/");
    w->txtDownloadBasePath->setText("/data");
    QTest::mouseClick(w->txtDownloadBasePath, Qt::LeftButton);
    QTest::qWait(20);
    EXPECT_EQ(w->txtDownloadBasePath->selectedText(), "/data");
}

// Keys that reach a box before the window gets round to its queued events must all be kept:
// typing replaces the selected text, and nothing selects the typed letters afterwards.
TEST_F(MainWindowTest, KeysTypedRightAfterTheFocusChangeAreAllKept) {
    auto w = makeWindow();
    for (QLineEdit* box : {w->txtURLBasePath, w->txtDownloadBasePath}) {
        box->setText("old text");
        w->cmdStart->setFocus();
        box->setFocus();
        QTest::keyClicks(box, "http://ab");
        QCoreApplication::processEvents();
        QTest::keyClicks(box, "cdefgh");
        EXPECT_EQ(box->text(), "http://abcdefgh");

        box->setText("old text");
        w->cmdStart->setFocus();
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
        EXPECT_EQ(box->selectedText(), "old text");
        QTest::keyClicks(box, "http://ab");
        QCoreApplication::processEvents();
        QTest::keyClicks(box, "cdefgh");
        EXPECT_EQ(box->text(), "http://abcdefgh");
    }
}

TEST_F(MainWindowTest, ClickIntoTheFocusedBoxPlacesTheCursor) {
    auto w = makeWindow();
    QLineEdit* box = w->txtURLBasePath;
    box->setText("abcdef");
    w->cmdStart->setFocus();
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 3, box->height() / 2));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 3, box->height() / 2));
    EXPECT_FALSE(box->hasSelectedText());
    EXPECT_EQ(box->cursorPosition(), 6);
}

TEST_F(MainWindowTest, AnimationRunsThroughFiveFramesAndRestingIconComesBack) {
    auto w = makeWindow();
    std::vector<int> frames;
    for (int i = 0; i < 7; ++i) {
        w->AnimateIcon();
        frames.push_back(w->mIconFrame);
    }
    EXPECT_EQ(frames, (std::vector<int>{1, 2, 3, 4, 0, 1, 2}));
    w->showRestingIcon();
    EXPECT_EQ(w->shownIconIndex(), 5);
}

TEST(UrlQueue, DuplicateIndexFollowsEveryChange) {
    UrlQueue q;
    for (int i = 0; i < 50000; ++i) q.append(QString::number(i % 40000));
    EXPECT_TRUE(q.contains("39999"));
    EXPECT_TRUE(q.contains("5"));
    q.removeAt(5);  // one of two "5" entries
    EXPECT_TRUE(q.contains("5"));
    q.removeAt(q.entries().lastIndexOf("5"));
    EXPECT_FALSE(q.contains("5"));
    q.setEntry(39998, "zero");  // the single "39999", one place earlier after the removal
    EXPECT_FALSE(q.contains("39999"));
    EXPECT_TRUE(q.contains("zero"));
    EXPECT_EQ(q.count(), 49998);
    q.setSelectedIndex(3);
    EXPECT_EQ(q.selectedIndex(), 3);
    q.removeAt(3);
    EXPECT_EQ(q.selectedIndex(), -1);
    EXPECT_FALSE(q.setEntry(-1, "x"));
    EXPECT_FALSE(q.removeAt(q.count()));
    q.clear();
    EXPECT_FALSE(q.contains("zero"));
    EXPECT_EQ(q.count(), 0);
    EXPECT_EQ(q.entry(0), "");
}
