#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "DialogTestParts.h"
#include "dialogs/frmFileOpen3.h"

namespace {

const QString kOverwriteText =
    QStringLiteral("指定されたファイルはすでに存在します。上書きしてもよろしいですか？");

class SaveDialogTest : public FileDialogTest {
protected:
    void SetUp() override {
        FileDialogTest::SetUp();
        main.url->setText("S");
        main.download->setText("/images");
        main.links.appendAll({"A", "B", "C"});
    }
    // Opens the dialog on the given folder with the given file name.
    frmFileOpen3* openAt(const QString& dir, const QString& name) {
        auto* dialog = open<frmFileOpen3>();
        EXPECT_TRUE(dialog->dirDirectry->setPath(dir));
        dialog->txtFile->setText(name);
        return dialog;
    }
};

}  // namespace

TEST_F(SaveDialogTest, OpensAsDesigned) {
    auto* d = open<frmFileOpen3>();
    EXPECT_EQ(d->windowTitle(), "Site Rambler - 巡回設定ファイルを保存する");
    EXPECT_EQ(d->size(), QSize(384, 303));
    EXPECT_EQ(d->minimumSize(), d->maximumSize());
    EXPECT_FALSE(d->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(d->optType[0]->text(), "新規巡回用保存");
    EXPECT_EQ(d->optType[1]->text(), "巡回再開用保存");
    EXPECT_TRUE(d->optType[1]->isChecked());
    EXPECT_EQ(d->lblDir->text(), "[ / ]");
    EXPECT_EQ(d->txtFile->text(), "無題.srs");
    EXPECT_EQ(d->cmdOK->text(), "ＯＫ");
    EXPECT_EQ(d->cmdClose->text(), "閉じる");
    EXPECT_EQ(d->optType[1]->geometry(), QRect(144, 8, 121, 17));
    EXPECT_EQ(d->lblDir->geometry(), QRect(8, 32, 369, 17));
    EXPECT_EQ(d->drvDrive->geometry(), QRect(8, 56, 369, 20));
    EXPECT_EQ(d->dirDirectry->geometry(), QRect(8, 80, 369, 160));
    EXPECT_EQ(d->txtFile->geometry(), QRect(8, 248, 369, 18));
    EXPECT_EQ(d->cmdOK->geometry(), QRect(144, 272, 113, 25));
    EXPECT_EQ(d->cmdClose->geometry(), QRect(264, 272, 113, 25));
    const std::vector<QWidget*> order{d->cmdOK,   d->cmdClose,   d->dirDirectry, d->drvDrive,
                                      d->txtFile, d->optType[0], d->optType[1]};
    EXPECT_EQ(TabOrderOf(order), order);
    EXPECT_TRUE(d->testAttribute(Qt::WA_DeleteOnClose));
}

TEST_F(SaveDialogTest, LabelStartsOnTheRootButTheSaveGoesToTheListsFolder) {
    // working folder on the root volume: the list stays there, the label says "/"
    auto* d = open<frmFileOpen3>();
    EXPECT_EQ(d->dirDirectry->path(), tmp.path());
    EXPECT_EQ(d->lblDir->text(), "[ / ]");
    QTest::mouseClick(d->cmdOK, Qt::LeftButton);
    EXPECT_TRUE(QFileInfo(tmp.filePath("無題.srs")).isFile());
    EXPECT_TRUE(gone(d));
    EXPECT_TRUE(main.window.isEnabled());
}

TEST_F(SaveDialogTest, FolderChangesShowInTheLabel) {
    const QString sub = folder("sub");
    auto* d = open<frmFileOpen3>();
    d->dirDirectry->setPath(sub + "/");
    EXPECT_EQ(d->lblDir->text(), "[ " + sub + " ]");
}

TEST_F(SaveDialogTest, WritesTheChosenLayoutAndCloses) {
    auto* d = openAt(folder("out"), "new.srs");
    QTest::mouseClick(d->optType[0], Qt::LeftButton);
    ASSERT_TRUE(d->optType[0]->isChecked());
    QTest::mouseClick(d->cmdOK, Qt::LeftButton);
    EXPECT_EQ(readFile(tmp.filePath("out/new.srs")),
              "[BaseSetting]\nDownloadPath=/images\nURL=S\n[Link]\nCount=3\n"
              "URL0=A\nURL1=B\nURL2=C\n");
    EXPECT_TRUE(gone(d));
    EXPECT_TRUE(main.window.isEnabled());

    d = openAt(folder("out"), "resume.srs");
    QTest::mouseClick(d->cmdOK, Qt::LeftButton);
    EXPECT_EQ(readFile(tmp.filePath("out/resume.srs")),
              "[BaseSetting]\nDownloadPath=/images\nURL=A\n[Link]\nCount=2\nURL1=B\nURL2=C\n");
    EXPECT_TRUE(script.shown().empty());
    // the main window is only read
    EXPECT_EQ(main.links.entries(), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(main.url->text(), "S");
}

TEST_F(SaveDialogTest, OverwriteYesReplacesTheOldFileWhole) {
    const QString path = folder("out") + "/a.srs";
    writeFile(path, "[Link]\nCount=7\nURL7=old\n[Extra]\nKey=old\n");
    script.answer(IDYES);
    auto* d = openAt(folder("out"), "a.srs");
    QTest::mouseClick(d->cmdOK, Qt::LeftButton);
    ASSERT_EQ(script.shown().size(), 1u);
    EXPECT_EQ(script.shown()[0].text, kOverwriteText);
    EXPECT_EQ(script.shown()[0].title, "上書きの確認");
    EXPECT_EQ(script.shown()[0].style, 0x123);
    EXPECT_EQ(readFile(path),
              "[BaseSetting]\nDownloadPath=/images\nURL=A\n[Link]\nCount=2\n"
              "URL1=B\nURL2=C\n");
    EXPECT_EQ(entries(folder("out")), QStringList{"a.srs"});  // no temporary file left
    EXPECT_TRUE(gone(d));
    EXPECT_TRUE(main.window.isEnabled());
}

TEST_F(SaveDialogTest, OverwriteNoOrCancelWritesNothingAndStaysOpen) {
    const QString path = folder("out") + "/a.srs";
    const QByteArray old = "[Link]\nCount=7\nURL7=old\n";
    writeFile(path, old);
    for (const int answer : {IDNO, IDCANCEL}) {
        script.answer(answer);
        auto* d = openAt(folder("out"), "a.srs");
        d->optType[0]->setChecked(true);
        QTest::mouseClick(d->cmdOK, Qt::LeftButton);
        EXPECT_EQ(readFile(path), old);
        EXPECT_FALSE(gone(d));
        EXPECT_FALSE(main.window.isEnabled());
        EXPECT_EQ(d->txtFile->text(), "a.srs");
        EXPECT_TRUE(d->optType[0]->isChecked());
        QTest::mouseClick(d->cmdClose, Qt::LeftButton);
        EXPECT_TRUE(gone(d));
        EXPECT_TRUE(main.window.isEnabled());
    }
    EXPECT_EQ(script.shown().size(), 2u);
}

TEST_F(SaveDialogTest, EmptyNameIsRefusedWithAMessage) {
    const QString out = folder("out");
    writeFile(out + "/keep.srs", "x");
    auto* d = openAt(out, "");
    QTest::mouseClick(d->cmdOK, Qt::LeftButton);
    ASSERT_EQ(script.shown().size(), 1u);
    EXPECT_EQ(script.shown()[0].style, MB_ICONWARNING);
    EXPECT_FALSE(script.shown()[0].text.isEmpty());
    EXPECT_EQ(entries(out), QStringList{"keep.srs"});
    EXPECT_EQ(readFile(out + "/keep.srs"), "x");
    EXPECT_FALSE(gone(d));
    EXPECT_FALSE(main.window.isEnabled());
}

TEST_F(SaveDialogTest, FailedSaveIsReportedAndTheDialogStaysOpen) {
    const QString out = folder("out");
    QDir(out).mkdir("taken.srs");
    for (const QString& name :
         {QString("taken.srs"), QString("missing/a.srs"), QString(300, 'n') + ".srs"}) {
        script.clearShown();
        auto* d = openAt(out, name);
        QTest::mouseClick(d->cmdOK, Qt::LeftButton);
        ASSERT_EQ(script.shown().size(), 1u) << name.toStdString();
        EXPECT_EQ(script.shown()[0].style, MB_ICONERROR);
        EXPECT_EQ(script.shown()[0].title, "保存の失敗");
        EXPECT_FALSE(gone(d));
        EXPECT_FALSE(main.window.isEnabled());
        d->close();
    }
    EXPECT_EQ(entries(out), QStringList{"taken.srs"});
    EXPECT_TRUE(entries(out + "/taken.srs").isEmpty());
}

TEST_F(SaveDialogTest, WildcardNamesAreTakenLiterally) {
    const QString out = folder("out");
    writeFile(out + "/a.srs", "a");
    writeFile(out + "/b.srs", "b");
    auto* d = openAt(out, "*.srs");
    QTest::mouseClick(d->cmdOK, Qt::LeftButton);  // no question: no file has that very name
    EXPECT_TRUE(script.shown().empty());
    EXPECT_EQ(entries(out), (QStringList{"*.srs", "a.srs", "b.srs"}));
    EXPECT_EQ(readFile(out + "/a.srs"), "a");
    EXPECT_EQ(readFile(out + "/b.srs"), "b");
    EXPECT_TRUE(gone(d));
}

TEST_F(SaveDialogTest, NameWithoutExtensionIsSavedWithout) {
    auto* d = openAt(folder("out"), "plain");
    QTest::mouseClick(d->cmdOK, Qt::LeftButton);
    EXPECT_EQ(entries(folder("out")), QStringList{"plain"});
}

TEST_F(SaveDialogTest, EveryWayOutEnablesTheMainWindowAndWritesNothing) {
    auto* d = open<frmFileOpen3>();
    QTest::mouseClick(d->cmdClose, Qt::LeftButton);
    EXPECT_TRUE(gone(d));
    EXPECT_TRUE(main.window.isEnabled());

    d = open<frmFileOpen3>();
    EXPECT_FALSE(main.window.isEnabled());
    d->close();  // the window's own close box
    EXPECT_TRUE(gone(d));
    EXPECT_TRUE(main.window.isEnabled());
    EXPECT_TRUE(entries(tmp.path()).isEmpty());
}

TEST_F(SaveDialogTest, ThirtyThousandLinksSaveInOneFile) {
    QStringList many;
    for (int i = 0; i < 30000; ++i) many.append("http://h/" + QString::number(i) + ".html");
    main.links.clear();
    main.links.appendAll(many);
    auto* d = openAt(folder("out"), "big.srs");
    d->optType[0]->setChecked(true);
    QTest::mouseClick(d->cmdOK, Qt::LeftButton);
    const QByteArray bytes = readFile(tmp.filePath("out/big.srs"));
    EXPECT_TRUE(bytes.contains("\nCount=30000\nURL0=http://h/0.html\n"));
    EXPECT_TRUE(bytes.endsWith("\nURL29999=http://h/29999.html\n"));
}
