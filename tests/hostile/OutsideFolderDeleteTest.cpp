// The viewer's delete and the save dialog's overwrite touch exactly the one file they name:
// a snapshot of the whole sandbox before and after differs in that file alone, links are
// removed or followed but never lead to anything else, and a refusal changes nothing.

#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "../crawlfile/DialogTestParts.h"
#include "HostileFilesSupport.h"
#include "core/basGlobal.h"
#include "dialogs/frmFileOpen3.h"
#include "viewer/frmViewer.h"

using namespace hostile;

namespace {

void WritePicture(const QString& path, QColor colour) {
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(colour);
    ASSERT_TRUE(image.save(path, "PNG"));
}

class ViewerDelete : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGlobals();
        ASSERT_TRUE(sandbox.isValid());
        QDir root(sandbox.path());
        ASSERT_TRUE(root.mkpath("downloads/SR0000"));
        ASSERT_TRUE(root.mkpath("outside"));
        WritePicture(path("outside/target.png"), Qt::blue);
        WritePicture(run("000001.png"), Qt::red);
        ASSERT_TRUE(QFile::link(path("outside/target.png"), run("000002.png")));
        WritePicture(run("000003.png"), Qt::green);
        WritePicture(run("000003.png.bak"), Qt::green);
        WritePicture(path("downloads/000003.png"), Qt::green);  // beside the run folder
        gRunFolder = path("downloads/SR0000");
    }
    void TearDown() override {
        viewer.reset();
        ResetGlobals();
    }
    QString path(const QString& relative) const { return sandbox.filePath(relative); }
    QString run(const QString& name) const { return path("downloads/SR0000/" + name); }
    // Deletes the file shown with the given answer; returns what changed in the sandbox.
    QStringList deleteShown(int answer) {
        const Snapshot before = TakeSnapshot(sandbox.path());
        windows.answer(answer);
        viewer->cmdDelete_Click();
        return Changes(before, TakeSnapshot(sandbox.path()));
    }

    QTemporaryDir sandbox;
    ScriptedWindowSystem windows;
    std::unique_ptr<frmViewer> viewer = std::make_unique<frmViewer>();
};

}  // namespace

TEST_F(ViewerDelete, DeletesOnlyTheFileNamedInTheQuestion) {
    viewer->showNormal();
    viewer->Open();
    ASSERT_EQ(viewer->mCurrentFile, "000001.png");
    viewer->cmdControll_Click(2);
    ASSERT_EQ(viewer->mCurrentFile, "000002.png");

    // No and Cancel change nothing at all
    EXPECT_EQ(deleteShown(IDNO), QStringList());
    EXPECT_EQ(deleteShown(IDCANCEL), QStringList());

    // a link is removed; the picture it led to stays
    EXPECT_EQ(deleteShown(IDYES), QStringList({"downloads/SR0000/000002.png"}));
    EXPECT_EQ(windows.shown().back().text,
              "イメージファイル 000002.png を削除します。よろしいですか？");
    EXPECT_TRUE(QImage(path("outside/target.png")).size() == QSize(8, 6));
    EXPECT_EQ(viewer->mCurrentFile, "000001.png");

    // of two files of one number only the one shown goes, and nothing beside the run folder
    viewer->cmdControll_Click(2);
    ASSERT_EQ(viewer->mCurrentFile, "000003.png");
    EXPECT_EQ(deleteShown(IDYES), QStringList({"downloads/SR0000/000003.png"}));
    EXPECT_TRUE(QFile::exists(run("000003.png.bak")));
    EXPECT_TRUE(QFile::exists(path("downloads/000003.png")));
}

TEST_F(ViewerDelete, AFileSwappedForALinkWhileTheQuestionIsUpTakesOnlyTheLink) {
    viewer->showNormal();
    viewer->Open();
    ASSERT_EQ(viewer->mCurrentFile, "000001.png");
    // while the box is up, the file is replaced by a link to a file outside
    windows.onBox = [&](const ShownBox&) {
        QFile::remove(run("000001.png"));
        QFile::link(path("outside/target.png"), run("000001.png"));
    };
    const Snapshot before = TakeSnapshot(sandbox.path());
    windows.answer(IDYES);
    viewer->cmdDelete_Click();
    windows.onBox = nullptr;
    EXPECT_EQ(Changes(before, TakeSnapshot(sandbox.path())),
              QStringList({"downloads/SR0000/000001.png"}));
    EXPECT_FALSE(QFileInfo(run("000001.png")).isSymLink());
    EXPECT_TRUE(QFile::exists(path("outside/target.png")));
}

namespace {

class SaveOverwrite : public FileDialogTest {
protected:
    void SetUp() override {
        FileDialogTest::SetUp();
        main.url->setText("http://start/");
        main.download->setText("/images");
        main.links.appendAll({"http://a/", "http://b/"});
        save = folder("save");
        folder("outside");
        writeFile(save + "/target.srs", "[Link]\nCount=0\nURL0=old\n");
        writeFile(save + "/target.srs~", "backup");
        writeFile(save + "/target", "no extension");
        writeFile(save + "/other.srs", "other");
        writeFile(tmp.filePath("outside/linked.srs"), "linked");
        ASSERT_TRUE(QFile::link(tmp.filePath("outside/linked.srs"), save + "/link.srs"));
    }
    // Saves under the name with the given answer to the overwrite question (if one comes);
    // returns what changed in the sandbox.
    QStringList saveAs(const QString& name, int answer = 0) {
        const Snapshot before = TakeSnapshot(tmp.path());
        auto* d = open<frmFileOpen3>();
        EXPECT_TRUE(d->dirDirectry->setPath(save));
        d->txtFile->setText(name);
        if (answer) script.answer(answer);
        QTest::mouseClick(d->cmdOK, Qt::LeftButton);
        EXPECT_EQ(script.pendingAnswers(), 0);
        return Changes(before, TakeSnapshot(tmp.path()));
    }
    QString save;
};

}  // namespace

TEST_F(SaveOverwrite, OverwriteReplacesOnlyTheNamedFile) {
    EXPECT_EQ(saveAs("target.srs", IDNO), QStringList());
    EXPECT_EQ(saveAs("target.srs", IDCANCEL), QStringList());
    EXPECT_EQ(saveAs("target.srs", IDYES), QStringList({"save/target.srs"}));
    EXPECT_TRUE(readFile(save + "/target.srs").contains("http://b/"));
    EXPECT_EQ(readFile(save + "/target.srs~"), "backup");
    EXPECT_EQ(readFile(save + "/target"), "no extension");
}

TEST_F(SaveOverwrite, ANewNameAddsOneFileAndAFailedSaveNone) {
    EXPECT_EQ(saveAs("new.srs"), QStringList({"save/new.srs"}));
    // into a folder that does not exist: refused, nothing made anywhere
    EXPECT_EQ(saveAs("missing/x.srs"), QStringList());
    ASSERT_FALSE(script.shown().empty());
    EXPECT_EQ(script.shown().back().title, "保存の失敗");
}

TEST_F(SaveOverwrite, OverwritingThroughALinkChangesTheLinkedFileAndKeepsTheLink) {
    // The link names the file it leads to, as in any editor: that one file is replaced.
    EXPECT_EQ(saveAs("link.srs", IDYES), QStringList({"outside/linked.srs"}));
    EXPECT_TRUE(QFileInfo(save + "/link.srs").isSymLink());
    EXPECT_TRUE(readFile(tmp.filePath("outside/linked.srs")).contains("http://b/"));
}
