#include "dialogs/frmFileOpen3.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "core/CrawlSettingsFile.h"
#include "core/UrlQueue.h"
#include "core/WindowSystem.h"

frmFileOpen3::frmFileOpen3(const MainWindowParts& parts, QWidget* parent)
    : QWidget(parent), mParts(parts), mEnabler(parts.window) {
    SetUpFixedDialog(this, 5760, 4545);
    buildControls();
    connect(drvDrive, &DriveList::Change, this, &frmFileOpen3::drvDrive_Change);
    connect(dirDirectry, &FolderList::Change, this, &frmFileOpen3::dirDirectry_Change);
    connect(cmdOK, &QPushButton::clicked, this, &frmFileOpen3::cmdOK_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmFileOpen3::cmdClose_Click);
    Form_Load();
    cmdOK->setFocus();
}

void frmFileOpen3::buildControls() {
    optType[0] = new QRadioButton(QStringLiteral("新規巡回用保存"), this);
    optType[0]->setGeometry(TwipsRect(120, 120, 1815, 255));
    optType[1] = new QRadioButton(QStringLiteral("巡回再開用保存"), this);
    optType[1]->setGeometry(TwipsRect(2160, 120, 1815, 255));
    optType[1]->setChecked(true);
    lblDir = new QLabel(QStringLiteral("[ / ]"), this);
    lblDir->setGeometry(TwipsRect(120, 480, 5535, 255));
    drvDrive = new DriveList(this);
    drvDrive->setGeometry(TwipsRect(120, 840, 5535, 300));
    dirDirectry = new FolderList(this);
    dirDirectry->setGeometry(TwipsRect(120, 1200, 5535, 2400));
    txtFile = new QLineEdit(this);
    txtFile->setGeometry(TwipsRect(120, 3720, 5535, 270));
    cmdOK = new QPushButton(QStringLiteral("ＯＫ"), this);
    cmdOK->setGeometry(TwipsRect(2160, 4080, 1695, 375));
    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdClose->setGeometry(TwipsRect(3960, 4080, 1695, 375));

    setTabOrder(cmdOK, cmdClose);
    setTabOrder(cmdClose, dirDirectry);
    setTabOrder(dirDirectry, drvDrive);
    setTabOrder(drvDrive, txtFile);
    setTabOrder(txtFile, optType[0]);
    setTabOrder(optType[0], optType[1]);
}

void frmFileOpen3::Form_Load() {
    drvDrive->setDrive(QStringLiteral("/"));
    setWindowTitle(QStringLiteral("Site Rambler - 巡回設定ファイルを保存する"));
    // The label starts on the root whatever the folder list shows; a save uses the list's path.
    lblDir->setText(QStringLiteral("[ / ]"));
    txtFile->setText(QStringLiteral("無題.") + kCrawlFileExtension);
}

// A drive that cannot be listed leaves the folder list where it was.
void frmFileOpen3::drvDrive_Change() {
    dirDirectry->setPath(drvDrive->drive());
}

void frmFileOpen3::dirDirectry_Change() {
    lblDir->setText(QStringLiteral("[ ") + dirDirectry->path() + QStringLiteral(" ]"));
}

void frmFileOpen3::cmdOK_Click() {
    const QString name = txtFile->text();
    if (name.isEmpty()) {
        // The bare folder path is no file: nothing to write, nothing to replace.
        ws().MsgBox(QStringLiteral("ファイル名が入力されていません。保存するファイルの名前を入力"
                                   "してください。"),
                    QStringLiteral("ファイル名の入力"), MB_ICONWARNING);
        return;
    }
    const QString target = CrawlFileTargetPath(dirDirectry->path(), name);
    if (QFileInfo(target).isFile()) {
        const int answer = ws().MsgBox(
            QStringLiteral("指定されたファイルはすでに存在します。上書きしてもよろしいですか？"),
            QStringLiteral("上書きの確認"), MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2);
        if (answer != IDYES) return;
    }
    const QStringList links = mParts.lstLink ? mParts.lstLink->entries() : QStringList();
    const QString download =
        mParts.txtDownloadBasePath ? mParts.txtDownloadBasePath->text() : QString();
    const QString startUrl = mParts.txtURLBasePath ? mParts.txtURLBasePath->text() : QString();
    const CrawlFileLayout layout =
        optType[0]->isChecked() ? CrawlFileLayout::NewCrawl : CrawlFileLayout::Resume;
    if (mBusy) return;
    mBusy = true;
    const bool saved = SaveCrawlSettingsFile(target, download, startUrl, links, layout,
                                             [] { return ws().YieldNoThrow(); });
    mBusy = false;
    if (ws().Ending()) return;
    if (!saved) {
        // The old file, if any, is still whole: the new one replaces it only once complete.
        ws().MsgBox(QStringLiteral("ファイルの保存に失敗しました。保存先のフォルダに書き込めるか、"
                                   "ファイル名が正しいかを確認してください。"),
                    QStringLiteral("保存の失敗"), MB_ICONERROR);
        return;
    }
    cmdClose_Click();
}

void frmFileOpen3::cmdClose_Click() {
    if (mBusy) return;
    mEnabler.enable();
    close();
}

void frmFileOpen3::closeEvent(QCloseEvent* event) {
    if (mBusy) {
        event->ignore();
        return;
    }
    mEnabler.enable();
    event->accept();
}

// (moc's code is compiled with this file: see sr_library)
#include "moc_frmFileOpen3.cpp"
