// The main window driving real crawls against a site on 127.0.0.1.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <thread>

#include "LoopbackSite.h"
#include "QtPrinters.h"
#include "ScriptedWindowSystem.h"
#include "StorageScenarios.h"
#include "archive/CrawlArchive.h"
#include "archive/EndedAside.h"
#include "core/AppPaths.h"
#include "core/CrawlOptions.h"
#include "core/CrawlSettingsFile.h"
#include "core/ProfileFile.h"
#include "core/UrlQueue.h"
#include "core/basGlobal.h"
#include "dialogs/frmFileOpen2.h"
#include "mainwindow/frmMainWindow.h"

namespace {

class MainWindowCrawlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGlobals();
        gHTMLAutoDelete = "1";
        gPictAutoDelete = "1";
        AppPaths p;
        p.executableFolder = dir.path();
        p.settingsFile = dir.filePath("Init.dat");
        p.aboutFile = p.settingsFile;
        p.defaultDownloadFolder = dir.path();
        SetAppPaths(p);
        QDir().mkpath(downloads());
        site.page("/a.html", "<a href=\"b.html\">b</a> <img src=\"1.jpg\"> <img src=\"2.jpg\">");
        site.page("/b.html", "<a href=\"a.html\">a</a> <img src=\"3.jpg\">");
        for (const char* img : {"/1.jpg", "/2.jpg", "/3.jpg"})
            site.page(img, std::string(4000, img[1]), "image/jpeg");
        w = std::make_unique<frmMainWindow>();
        w->txtURLBasePath->setText(site.url("/a.html"));
        w->txtDownloadBasePath->setText(downloads());
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        w->activateWindow();
        w->txtURLBasePath->setFocus();
    }
    void TearDown() override { ResetGlobals(); }
    QString downloads() const { return dir.filePath("dl"); }
    QStringList runFiles() const {
        return QDir(downloads() + "/SR0000").entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    QTemporaryDir dir;
    ScriptedWindowSystem ws;
    LoopbackSite site;
    std::unique_ptr<frmMainWindow> w;
};

class MainWindowStorageTest : public MainWindowCrawlTest,
                              public ::testing::WithParamInterface<StorageScenario> {};

}  // namespace

TEST_F(MainWindowCrawlTest, F1RunsACrawlThatF2CancelsWithTheQueueKept) {
    ws.answer(IDYES);
    int pagesSeen = 0;
    bool cancelled = false;
    ws.onYield = [&] {
        if (ws.yields() > 200000) gCancelRequested = -1;  // a failing test must still end
        // during the crawl the start controls are off and the viewer is on
        // (b.html may be fetched ahead: what counts is the page the crawl works on)
        if (!cancelled && w->lstLink().entry(0) == site.url("/b.html") && ++pagesSeen > 0) {
            EXPECT_FALSE(w->cmdStart->isEnabled());
            EXPECT_TRUE(w->cmdViewer->isEnabled());
            QTest::keyClick(w->txtURLBasePath, Qt::Key_F2);
            cancelled = true;
        }
    };
    QTest::keyClick(w->txtURLBasePath, Qt::Key_F1);
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(ws.shown().back().text, "巡回を中止しました。");
    EXPECT_EQ(ws.shown().back().style, 0x1040);
    EXPECT_EQ(w->windowTitle(), "Site Rambler");
    EXPECT_TRUE(w->cmdStart->isEnabled());
    EXPECT_FALSE(w->cmdCancel->isEnabled());
    EXPECT_TRUE(w->cmdViewer->isEnabled());
    EXPECT_EQ(w->shownIconIndex(), 5);
    // the page being worked on is still first in the queue
    ASSERT_GE(w->lstLink().count(), 1);
    EXPECT_EQ(w->lstLink().entry(0), site.url("/b.html"));
    EXPECT_EQ(gCancelRequested, 0);
}

// NoRevisit: a crawl from a queue read from a file goes on with it and remembers what the run
// that saved it fetched.
TEST_F(MainWindowCrawlTest, ACrawlFromALoadedQueueGoesOnWhereTheStoppedOneEnded) {
    gCrawlOptions.noRevisit = true;
    ws.answer(IDYES);
    bool cancelled = false;
    ws.onYield = [&] {
        if (ws.yields() > 200000) gCancelRequested = -1;  // a failing test must still end
        if (!cancelled && w->lstLink().entry(0) == site.url("/b.html")) {
            QTest::keyClick(w->txtURLBasePath, Qt::Key_F2);
            cancelled = true;
        }
    };
    QTest::keyClick(w->txtURLBasePath, Qt::Key_F1);
    ASSERT_TRUE(cancelled);
    WaitForArchivesEndingAside();
    ASSERT_TRUE(SaveCrawlSettingsFile(downloads() + "/SR0000/queue.srs", downloads(),
                                      w->txtURLBasePath->text(), w->lstLink().entries(),
                                      CrawlFileLayout::Resume));
    w->txtURLBasePath->setText("http://elsewhere/");
    auto* open = new frmFileOpen2(w->parts());
    ASSERT_TRUE(open->dirDirectry->setPath(downloads() + "/SR0000"));
    open->filFile->findItems("queue.srs", Qt::MatchExactly).value(0)->setSelected(true);
    QTest::mouseClick(open->cmdOK, Qt::LeftButton);
    ws.onYield = {};
    ws.answer(IDYES);
    QTest::keyClick(w->txtURLBasePath, Qt::Key_F1);
    for (const std::string path : {"/a.html", "/1.jpg", "/2.jpg"})
        EXPECT_EQ(site.count(path), 1) << path;
    // 3.jpg may have been under way at the stop, and asked for once more
    EXPECT_EQ(QDir(downloads() + "/SR0001").entryList({"*.jpg"}, QDir::Files).size(), 1);
}

// The window goes only once the record of its crawl is written, even past a lock held elsewhere.
TEST_F(MainWindowCrawlTest, TheWindowGoesOnceItsCrawlRecordIsWritten) {
    gCrawlOptions.noRevisit = true;
    { CrawlArchive create(downloads(), true, {}); }
    SqliteDb other;
    ASSERT_TRUE(other.open(CrawlArchive::PathIn(downloads()), true, 0));
    ASSERT_TRUE(other.exec("BEGIN IMMEDIATE"));
    ws.answer(IDYES);
    QTest::keyClick(w->txtURLBasePath, Qt::Key_F1);
    std::thread release([&other] {
        QThread::msleep(300);
        other.exec("COMMIT");
    });
    w.reset();
    release.join();
    EXPECT_TRUE(LookUpOrigin(downloads() + "/SR0000/000002.jpg"));
}

TEST_F(MainWindowCrawlTest, EscapeInsideACrawlSavesAndEndsWithoutAnotherStep) {
    gCrawlOptions.connections = 1;  // the requests counted are those of one transfer at a time
    ws.answer(IDYES);               // start
    ws.answer(IDYES);               // quit during the crawl
    int requestsAtEnd = -1;
    ws.onYield = [&] {
        if (requestsAtEnd < 0 && site.count("/1.jpg") > 0) {
            QTest::keyClick(w->txtURLBasePath, Qt::Key_Escape);
            requestsAtEnd = int(site.requests().size());
        }
    };
    w->cmdStart_Click();
    ASSERT_GE(requestsAtEnd, 0);
    EXPECT_TRUE(ws.Ending());
    // the question was the last box: no closing message of the crawl after it
    ASSERT_EQ(ws.shown().size(), 2u);
    EXPECT_EQ(ws.shown().back().text, "現在巡回中です。終了してもよろしいですか？");
    EXPECT_EQ(int(site.requests().size()), requestsAtEnd);  // no further fetch
    for (const QString& f : runFiles()) EXPECT_FALSE(f.startsWith('.')) << f.toStdString();
    ProfileFile saved;
    ASSERT_TRUE(saved.load(dir.filePath("Init.dat")));
    EXPECT_EQ(saved.value("Path", "URL"), site.url("/a.html"));
    EXPECT_EQ(saved.value("Path", "Download"), downloads());
}

TEST_F(MainWindowCrawlTest, UserRemovalDuringACrawlIsSeenByTheNextStep) {
    ws.answer(IDYES);
    bool removed = false;
    ws.onYield = [&] {
        if (ws.yields() > 200000) gCancelRequested = -1;  // a failing test must still end
        // while page a is scanned, b gets queued; the user deletes it by hovering and Delete
        if (!removed && w->lstLink().count() == 2) {
            w->lstLink().setSelectedIndex(1);
            w->mHoverList = 1;
            w->lstLinkView->setFocus();
            QTest::keyClick(w->lstLinkView, Qt::Key_Delete);
            removed = true;
        }
    };
    w->cmdStart_Click();
    EXPECT_TRUE(removed);
    // the server may have seen b asked for ahead; the run itself never takes it
    EXPECT_LE(site.count("/b.html"), 1);
    EXPECT_EQ(ws.shown().back().text, "巡回が完了しました。");
    EXPECT_EQ(runFiles(), QStringList({"000001.html", "000002.jpg", "000003.jpg"}));
}

TEST_F(MainWindowCrawlTest, OneF1StartsOneCrawlEvenWhenTheFocusMovedMeanwhile) {
    site.page("/b.html", "<img src=\"3.jpg\">");  // no way back: the crawl completes
    ws.answer(IDYES);
    ws.onBox = [&](const ShownBox&) { w->txtURLBasePath->clearFocus(); };
    QTest::keyClick(w->txtURLBasePath, Qt::Key_F1);
    QCoreApplication::processEvents();
    int confirmations = 0;
    for (const ShownBox& box : ws.shown()) confirmations += box.title == "巡回の開始の確認";
    EXPECT_EQ(confirmations, 1);
    EXPECT_FALSE(QDir(downloads() + "/SR0001").exists());
    ASSERT_FALSE(ws.shown().empty());  // a failure, not a crash, when F1 started nothing
    EXPECT_EQ(ws.shown().back().text, "巡回が完了しました。");
}

TEST_P(MainWindowStorageTest, StopsLikeACancelAfterAWarningAndKeepsTheQueue) {
    const StorageScenario& s = GetParam();
    FaultyStorage storage;
    s.arrange(storage, downloads());
    ws.answer(IDYES);
    w->cmdStart_Click();
    ASSERT_EQ(ws.shown().size(), 3u);
    EXPECT_EQ(ws.shown()[1].title, "保存エラー");
    EXPECT_EQ(ws.shown()[1].style, 0x1030);
    EXPECT_EQ(ws.shown()[1].text, StorageWarningText(downloads() + "/SR0000", s));
    EXPECT_EQ(ws.shown()[2].title, "巡回の中止");
    EXPECT_EQ(ws.shown()[2].text, "巡回を中止しました。");
    EXPECT_TRUE(w->cmdStart->isEnabled());
    EXPECT_EQ(w->windowTitle(), "Site Rambler");
    EXPECT_EQ(gCancelRequested, 0);
    // the entries being worked on stay first, ready to be saved and resumed
    ASSERT_GE(w->lstLink().count(), 1);
    EXPECT_EQ(w->lstLink().entry(0), site.url("/a.html"));
    EXPECT_EQ(w->lstImage().count() ? w->lstImage().entry(0) : QString(),
              *s.imageLeft ? site.url(s.imageLeft) : QString());
    EXPECT_EQ(runFiles(), s.stored);  // hidden temporaries included: none
    EXPECT_TRUE(LeftoverTemporaries(dir.path()).isEmpty());
    EXPECT_EQ(gFileCounter, s.counter);
}

INSTANTIATE_TEST_SUITE_P(Storage, MainWindowStorageTest, ::testing::ValuesIn(StorageScenarios()),
                         [](const auto& info) { return std::string(info.param.name); });
