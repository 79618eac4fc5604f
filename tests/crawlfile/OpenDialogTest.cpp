#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "DialogTestParts.h"
#include "dialogs/frmFileOpen2.h"
#include "dialogs/frmFileOpen3.h"

namespace {

class OpenDialogTest : public FileDialogTest {
protected:
    void SetUp() override {
        FileDialogTest::SetUp();
        main.url->setText("http://before/");
        main.download->setText("/before");
        main.links.appendAll({"old1", "old2"});
        main.images.appendAll({"img1"});
    }
    // Opens the dialog on the folder and selects the file (none for an empty name).
    frmFileOpen2* openOn(const QString& dir, const QString& name) {
        auto* d = open<frmFileOpen2>();
        EXPECT_TRUE(d->dirDirectry->setPath(dir));
        if (!name.isEmpty()) {
            const auto found = d->filFile->findItems(name, Qt::MatchExactly);
            EXPECT_EQ(found.size(), 1) << name.toStdString();
            if (!found.isEmpty()) found.first()->setSelected(true);
        }
        return d;
    }
    // Writes a file into "in", opens it and presses OK.
    frmFileOpen2* load(const QByteArray& bytes) {
        writeFile(folder("in") + "/f.srs", bytes);
        auto* d = openOn(folder("in"), "f.srs");
        QTest::mouseClick(d->cmdOK, Qt::LeftButton);
        return d;
    }
    QStringList fileListed(frmFileOpen2* d) {
        QStringList names;
        for (int i = 0; i < d->filFile->count(); ++i) names.append(d->filFile->item(i)->text());
        return names;
    }
};

}  // namespace

TEST_F(OpenDialogTest, OpensAsDesigned) {
    auto* d = open<frmFileOpen2>();
    EXPECT_EQ(d->windowTitle(), "Site Rambler - 巡回設定ファイル (*.srs) を開く");
    EXPECT_EQ(d->size(), QSize(457, 232));
    EXPECT_EQ(d->drvDrive->geometry(), QRect(8, 8, 217, 20));
    EXPECT_EQ(d->dirDirectry->geometry(), QRect(8, 32, 217, 160));
    EXPECT_EQ(d->filFile->geometry(), QRect(232, 8, 217, 186));
    EXPECT_EQ(d->cmdOK->geometry(), QRect(216, 200, 113, 25));
    EXPECT_EQ(d->cmdClose->geometry(), QRect(336, 200, 113, 25));
    EXPECT_EQ(d->cmdOK->text(), "ＯＫ");
    EXPECT_EQ(d->cmdClose->text(), "閉じる");
    EXPECT_EQ(d->filFile->pattern(), "*.srs");
    EXPECT_EQ(d->filFile->path(), tmp.path());
    const std::vector<QWidget*> order{d->cmdOK, d->cmdClose, d->dirDirectry, d->drvDrive,
                                      d->filFile};
    EXPECT_EQ(TabOrderOf(order), order);
}

TEST_F(OpenDialogTest, FileListShowsOnlySrsRegularFilesOfTheOpenFolder) {
    const QString in = folder("in");
    for (const char* name : {"b.srs", "Z.srs", "a.SRS", "c.txt", ".hidden.srs", "d.srs.bak"})
        writeFile(in + "/" + name, "x");
    QDir(in).mkdir("dir.srs");
    QFile::link(in + "/b.srs", in + "/link.srs");
    QFile::link(in + "/nothing", in + "/broken.srs");
    auto* d = openOn(in, "");
    EXPECT_EQ(fileListed(d), (QStringList{"Z.srs", "b.srs", "link.srs"}));
    d->dirDirectry->setPath(tmp.path());  // the folder change moves the file list along
    EXPECT_TRUE(fileListed(d).isEmpty());
    EXPECT_EQ(d->filFile->path(), tmp.path());
}

TEST_F(OpenDialogTest, LoadsANewCrawlFileAndCloses) {
    auto* d = load(
        "[BaseSetting]\nDownloadPath=/images\nURL=S\n[Link]\nCount=3\n"
        "URL0=A\nURL1=B\nURL2=C\n");
    EXPECT_EQ(main.url->text(), "S");
    EXPECT_EQ(main.download->text(), "/images");
    EXPECT_EQ(main.links.entries(), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(main.images.count(), 0);
    EXPECT_TRUE(script.shown().empty());
    EXPECT_TRUE(gone(d));
    EXPECT_TRUE(main.window.isEnabled());
}

TEST_F(OpenDialogTest, LoadsAResumeFileWithGaps) {
    load(
        "[BaseSetting]\nDownloadPath=/images\nURL=A\n[Link]\nCount=4\nURL1=B\nURL2=\n"
        "URL4=D\nURL5=beyond\n");
    EXPECT_EQ(main.url->text(), "A");
    EXPECT_EQ(main.links.entries(), (QStringList{"B", "D"}));
}

TEST_F(OpenDialogTest, MissingValuesLeaveTheBoxesButTheListsAreEmptied) {
    auto* d = load("[Link]\nCount=x\nURL0=a\n");
    EXPECT_EQ(main.url->text(), "http://before/");
    EXPECT_EQ(main.download->text(), "/before");
    EXPECT_EQ(main.links.count(), 0);
    EXPECT_EQ(main.images.count(), 0);
    EXPECT_TRUE(gone(d));
}

TEST_F(OpenDialogTest, CountZeroNegativeAndHuge) {
    load("[Link]\nCount=0\nURL0=zero\nURL1=one\n");
    EXPECT_EQ(main.links.entries(), QStringList{"zero"});
    load("[Link]\nCount=-5\nURL0=zero\n");
    EXPECT_EQ(main.links.count(), 0);
    load("[Link]\nCount=2000000000\nURL0=zero\nURL1999999999=far\n");
    EXPECT_EQ(main.links.entries(), (QStringList{"zero", "far"}));
    EXPECT_TRUE(script.shown().empty());
}

TEST_F(OpenDialogTest, CountTooLargeIsReportedKeepingThePartialResult) {
    auto* d = load("[BaseSetting]\nURL=S\n[Link]\nCount=99999999999\nURL0=a\n");
    ASSERT_EQ(script.shown().size(), 1u);
    EXPECT_EQ(script.shown()[0].text, "ファイルの読み込みに失敗しました。");
    EXPECT_EQ(script.shown()[0].title, "読み込みの失敗");
    EXPECT_EQ(script.shown()[0].style, MB_ICONERROR);
    EXPECT_EQ(main.url->text(), "S");
    EXPECT_EQ(main.links.count(), 0);
    EXPECT_EQ(main.images.count(), 0);
    EXPECT_FALSE(gone(d));
    EXPECT_FALSE(main.window.isEnabled());
}

TEST_F(OpenDialogTest, NoFileSelectedEmptiesTheListsAndCloses) {
    writeFile(folder("in") + "/f.srs", "[BaseSetting]\nURL=S\n[Link]\nCount=0\nURL0=a\n");
    auto* d = openOn(folder("in"), "");
    QTest::mouseClick(d->cmdOK, Qt::LeftButton);
    EXPECT_EQ(main.url->text(), "http://before/");
    EXPECT_EQ(main.download->text(), "/before");
    EXPECT_EQ(main.links.count(), 0);
    EXPECT_EQ(main.images.count(), 0);
    EXPECT_TRUE(gone(d));
    EXPECT_TRUE(main.window.isEnabled());
}

TEST_F(OpenDialogTest, DoubleClickOrEnterOnAFileLoadsIt) {
    writeFile(folder("in") + "/f.srs", "[BaseSetting]\nURL=S\n");
    auto* d = openOn(folder("in"), "f.srs");
    const QRect row = d->filFile->visualItemRect(d->filFile->item(0));
    DoubleClick(d->filFile->viewport(), row.center());
    EXPECT_EQ(main.url->text(), "S");
    EXPECT_TRUE(gone(d));

    main.url->setText("other");
    d = openOn(folder("in"), "f.srs");
    d->filFile->setFocus();
    QTest::keyClick(d->filFile, Qt::Key_Return);
    EXPECT_EQ(main.url->text(), "S");
    EXPECT_TRUE(gone(d));
}

TEST_F(OpenDialogTest, EveryWayOutEnablesTheMainWindowAndChangesNothing) {
    auto* d = open<frmFileOpen2>();
    QTest::mouseClick(d->cmdClose, Qt::LeftButton);
    EXPECT_TRUE(gone(d));
    EXPECT_TRUE(main.window.isEnabled());
    d = open<frmFileOpen2>();
    d->close();
    EXPECT_TRUE(gone(d));
    EXPECT_TRUE(main.window.isEnabled());
    EXPECT_EQ(main.links.entries(), (QStringList{"old1", "old2"}));
    EXPECT_EQ(main.images.count(), 1);
}

TEST_F(OpenDialogTest, SaveThenOpenReproducesTheQueue) {
    const QStringList links{"http://a/1.html", "http://a/日本語.html", " spaced ", "'quoted'",
                            "http://a/" + QString(400, 'x') + ".html"};
    for (const bool resume : {false, true}) {
        main.url->setText("http://start/");
        main.download->setText("/data/images");
        main.links.clear();
        main.links.appendAll(links);
        auto* save = open<frmFileOpen3>();
        save->dirDirectry->setPath(folder("trip"));
        save->txtFile->setText("trip.srs");
        save->optType[resume ? 1 : 0]->setChecked(true);
        if (QFileInfo::exists(folder("trip") + "/trip.srs")) script.answer(IDYES);
        QTest::mouseClick(save->cmdOK, Qt::LeftButton);
        ASSERT_TRUE(gone(save));

        main.url->setText("x");
        main.download->setText("y");
        main.links.clear();
        auto* d = openOn(folder("trip"), "trip.srs");
        QTest::mouseClick(d->cmdOK, Qt::LeftButton);
        EXPECT_EQ(main.download->text(), "/data/images");
        EXPECT_EQ(main.url->text(), resume ? links[0] : QString("http://start/"));
        EXPECT_EQ(main.links.entries(), resume ? links.mid(1) : links);
    }
}
