#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <random>

#include "../crawlfile/DialogTestParts.h"
#include "dialogs/frmFileOpen.h"

namespace {

class FolderChooserTest : public FileDialogTest {
protected:
    void SetUp() override {
        FileDialogTest::SetUp();
        main.download->setText("/before");
    }
    // The row of the folder list that opens this folder.
    static QTreeWidgetItem* rowOf(FolderList* list, const QString& path) {
        QTreeWidgetItemIterator it(list);
        for (; *it; ++it)
            if ((*it)->data(0, Qt::UserRole).toString() == path) return *it;
        return nullptr;
    }
    static QStringList rowTexts(FolderList* list) {
        QStringList texts;
        for (QTreeWidgetItemIterator it(list); *it; ++it) texts.append((*it)->text(0));
        return texts;
    }
    static void doubleClick(FolderList* list, QTreeWidgetItem* row) {
        ASSERT_NE(row, nullptr);
        DoubleClick(list->viewport(), list->visualItemRect(row).center());
    }
    static void click(FolderList* list, QTreeWidgetItem* row) {
        ASSERT_NE(row, nullptr);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(row).center());
    }
};

}  // namespace

TEST_F(FolderChooserTest, OpensAsDesigned) {
    auto* d = open<frmFileOpen>();
    EXPECT_EQ(d->windowTitle(), "Site Rambler - ダウンロード先指定");
    EXPECT_EQ(d->size(), QSize(385, 256));
    EXPECT_EQ(d->lblDir->geometry(), QRect(8, 8, 369, 17));
    EXPECT_EQ(d->drvDrive->geometry(), QRect(8, 32, 369, 20));
    EXPECT_EQ(d->dirDirectry->geometry(), QRect(8, 56, 369, 160));
    EXPECT_EQ(d->cmdOK->geometry(), QRect(144, 224, 113, 25));
    EXPECT_EQ(d->cmdClose->geometry(), QRect(264, 224, 113, 25));
    EXPECT_EQ(d->cmdOK->text(), "ＯＫ");
    EXPECT_EQ(d->cmdClose->text(), "閉じる");
    const std::vector<QWidget*> order{d->drvDrive, d->dirDirectry, d->cmdClose, d->cmdOK};
    EXPECT_EQ(TabOrderOf(order), order);
    EXPECT_EQ(d->focusWidget(), d->drvDrive);
    EXPECT_FALSE(main.window.isEnabled());
}

TEST_F(FolderChooserTest, WorkingFolderOnTheRootVolumeOpensThereUnderTheRootLabel) {
    QDir::setCurrent(folder("work/here"));
    auto* d = open<frmFileOpen>();
    EXPECT_EQ(d->drvDrive->drive(), "/");
    EXPECT_EQ(d->dirDirectry->path(), tmp.filePath("work/here"));
    EXPECT_EQ(d->lblDir->text(), "[ / ]");
    QTest::mouseClick(d->cmdOK, Qt::LeftButton);  // takes the list's folder, not the label's
    EXPECT_EQ(main.download->text(), tmp.filePath("work/here"));
    EXPECT_TRUE(gone(d));
    EXPECT_TRUE(main.window.isEnabled());
}

TEST_F(FolderChooserTest, WorkingFolderOnAnotherVolumeMovesToTheRoot) {
    const QString volume = folder("vol");
    useVolumes({"/", volume});
    QDir::setCurrent(folder("vol/inside"));
    auto* d = open<frmFileOpen>();
    EXPECT_EQ(d->drvDrive->drive(), "/");
    EXPECT_EQ(d->dirDirectry->path(), "/");
    EXPECT_EQ(d->lblDir->text(), "[ / ]");
    QTest::mouseClick(d->cmdOK, Qt::LeftButton);
    EXPECT_EQ(main.download->text(), "/");  // the root keeps its slash
}

TEST_F(FolderChooserTest, DriveChangeMovesTheListUnlessTheDriveIsNotReady) {
    const QString volume = folder("vol");
    const QString notReady = tmp.filePath("unplugged");
    useVolumes({"/", notReady, volume});
    auto* d = open<frmFileOpen>();
    EXPECT_EQ(d->drvDrive->itemData(0).toString(), "/");
    d->drvDrive->setCurrentIndex(d->drvDrive->findData(volume));
    EXPECT_EQ(d->dirDirectry->path(), volume);
    EXPECT_EQ(d->lblDir->text(), "[ " + volume + " ]");
    d->drvDrive->setCurrentIndex(d->drvDrive->findData(notReady));
    EXPECT_EQ(d->drvDrive->drive(), notReady);
    EXPECT_EQ(d->dirDirectry->path(), volume);
    EXPECT_EQ(d->lblDir->text(), "[ " + volume + " ]");
    EXPECT_TRUE(script.shown().empty());
    QTest::mouseClick(d->cmdOK, Qt::LeftButton);
    EXPECT_EQ(main.download->text(), volume);
}

TEST_F(FolderChooserTest, WalksInAndOutWithTheMouse) {
    folder("top/child/grand");
    folder("top/.secret");
    writeFile(tmp.filePath("top/file.txt"), "x");
    auto* d = open<frmFileOpen>();
    ASSERT_TRUE(d->dirDirectry->setPath(tmp.filePath("top")));
    // the chain down to the open folder, then its visible subfolders only
    const QStringList rows = rowTexts(d->dirDirectry);
    EXPECT_EQ(rows.first(), "/");
    EXPECT_EQ(rows.mid(rows.size() - 2), (QStringList{"top", "child"}));
    const QString child = tmp.filePath("top/child");
    click(d->dirDirectry, rowOf(d->dirDirectry, child));  // highlighting chooses nothing
    EXPECT_EQ(d->dirDirectry->highlightedPath(), child);
    EXPECT_EQ(d->dirDirectry->path(), tmp.filePath("top"));
    doubleClick(d->dirDirectry, rowOf(d->dirDirectry, child));
    EXPECT_EQ(d->dirDirectry->path(), child);
    EXPECT_EQ(d->lblDir->text(), "[ " + child + " ]");
    doubleClick(d->dirDirectry, rowOf(d->dirDirectry, tmp.path()));  // up the chain
    EXPECT_EQ(d->dirDirectry->path(), tmp.path());
    QTest::mouseClick(d->cmdOK, Qt::LeftButton);
    EXPECT_EQ(main.download->text(), tmp.path());
}

TEST_F(FolderChooserTest, WalksInAndOutWithTheKeyboard) {
    folder("top/a");
    folder("top/b");
    auto* d = open<frmFileOpen>();
    ASSERT_TRUE(d->dirDirectry->setPath(tmp.filePath("top")));
    d->dirDirectry->setFocus();
    QTest::keyClick(d->dirDirectry, Qt::Key_Down);
    QTest::keyClick(d->dirDirectry, Qt::Key_Down);
    EXPECT_EQ(d->dirDirectry->highlightedPath(), tmp.filePath("top/b"));
    QTest::keyClick(d->dirDirectry, Qt::Key_Return);
    EXPECT_EQ(d->dirDirectry->path(), tmp.filePath("top/b"));
    EXPECT_EQ(d->lblDir->text(), "[ " + tmp.filePath("top/b") + " ]");
    QTest::keyClick(d->dirDirectry, Qt::Key_Backspace);
    QTest::keyClick(d->dirDirectry, Qt::Key_Backspace);
    EXPECT_EQ(d->dirDirectry->path(), tmp.path());
    EXPECT_EQ(main.download->text(), "/before");
}

TEST_F(FolderChooserTest, PathsAreNormalAndUnlistableFoldersRefused) {
    auto* d = open<frmFileOpen>();
    EXPECT_TRUE(d->dirDirectry->setPath(tmp.path() + "//x/../"));
    EXPECT_EQ(d->dirDirectry->path(), tmp.path());
    writeFile(tmp.filePath("plain"), "x");
    EXPECT_FALSE(d->dirDirectry->setPath(tmp.filePath("plain")));
    EXPECT_FALSE(d->dirDirectry->setPath(tmp.filePath("none")));
    EXPECT_FALSE(d->dirDirectry->setPath(""));
    EXPECT_EQ(d->dirDirectry->path(), tmp.path());
    EXPECT_TRUE(d->dirDirectry->setPath("/"));
    EXPECT_EQ(d->lblDir->text(), "[ / ]");
    EXPECT_EQ(d->dirDirectry->topLevelItemCount(), 1);  // "/" alone at the top
}

TEST_F(FolderChooserTest, CloseLeavesTheDownloadBoxAndEnablesTheMainWindow) {
    auto* d = open<frmFileOpen>();
    d->dirDirectry->setPath(folder("x"));
    QTest::mouseClick(d->cmdClose, Qt::LeftButton);
    EXPECT_TRUE(gone(d));
    EXPECT_TRUE(main.window.isEnabled());
    EXPECT_EQ(main.download->text(), "/before");
    d = open<frmFileOpen>();
    d->dirDirectry->setPath(folder("x"));
    d->close();
    EXPECT_TRUE(gone(d));
    EXPECT_TRUE(main.window.isEnabled());
    EXPECT_EQ(main.download->text(), "/before");
}

TEST_F(FolderChooserTest, RealVolumesPutTheRootFirst) {
    DriveList::SetVolumeLister({});
    const QStringList roots = DriveList::MountedRoots();
    ASSERT_FALSE(roots.isEmpty());
    EXPECT_EQ(roots.first(), "/");
    EXPECT_EQ(roots.count("/"), 1);
    for (const QString& root : roots) EXPECT_TRUE(QFileInfo(root).isDir()) << root.toStdString();
}

// The rows after the open folder are its subfolders, every one once, in byte order (a
// character above U+FFFF after U+FF61, unlike UTF-16 order), whatever order the folder keeps.
TEST_F(FolderChooserTest, SubfoldersAreListedWholeInByteOrder) {
    const QString top = tmp.filePath("many");
    ASSERT_TRUE(QDir().mkpath(top));
    const QStringList heads{"Z", "a", "\u00E9", "\uFF61", "\U0001F600", "_", "A b", "0"};
    QStringList names;
    for (int i = 0; i < 400; ++i)
        names.append(heads[i % heads.size()] + QString::number((i * 7919) % 997) + "-" +
                     QString::number(i));
    QStringList made = names;
    std::mt19937 random(11);
    std::shuffle(made.begin(), made.end(), random);
    QDir dir(top);
    for (const QString& name : made) ASSERT_TRUE(dir.mkdir(name));
    ASSERT_TRUE(dir.mkdir(".hidden"));

    FolderList list;
    ASSERT_TRUE(list.setPath(top));
    QStringList rows = rowTexts(&list);
    const qsizetype chain = top.count('/') + 1;  // "/" and each folder down to the open one
    ASSERT_GE(rows.size(), chain);
    rows.remove(0, chain);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.toStdString() < b.toStdString();  // std::string compares unsigned bytes
    });
    EXPECT_EQ(rows, names);
}
