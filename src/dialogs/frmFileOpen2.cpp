#include "dialogs/frmFileOpen2.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>

#include "core/CrawlSettingsFile.h"
#include "core/UrlQueue.h"
#include "core/WindowSystem.h"

frmFileOpen2::frmFileOpen2(const MainWindowParts& parts, QWidget* parent)
    : QWidget(parent), mParts(parts), mEnabler(parts.window) {
    SetUpFixedDialog(this, 6855, 3480);
    drvDrive = new DriveList(this);
    drvDrive->setGeometry(TwipsRect(120, 120, 3255, 300));
    dirDirectry = new FolderList(this);
    dirDirectry->setGeometry(TwipsRect(120, 480, 3255, 2400));
    filFile = new FileList(this);
    filFile->setGeometry(TwipsRect(3480, 120, 3255, 2790));
    filFile->setPath(dirDirectry->path());
    cmdOK = new QPushButton(QStringLiteral("ＯＫ"), this);
    cmdOK->setGeometry(TwipsRect(3240, 3000, 1695, 375));
    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdClose->setGeometry(TwipsRect(5040, 3000, 1695, 375));

    setTabOrder(cmdOK, cmdClose);
    setTabOrder(cmdClose, dirDirectry);
    setTabOrder(dirDirectry, drvDrive);
    setTabOrder(drvDrive, filFile);

    connect(drvDrive, &DriveList::Change, this, &frmFileOpen2::drvDrive_Change);
    connect(dirDirectry, &FolderList::Change, this, &frmFileOpen2::dirDirectry_Change);
    connect(filFile, &FileList::DblClick, this, &frmFileOpen2::filFile_DblClick);
    connect(cmdOK, &QPushButton::clicked, this, &frmFileOpen2::cmdOK_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmFileOpen2::cmdClose_Click);
    Form_Load();
    cmdOK->setFocus();
}

void frmFileOpen2::Form_Load() {
    drvDrive->setDrive(QStringLiteral("/"));
    setWindowTitle(QStringLiteral("Site Rambler - 巡回設定ファイル (*.srs) を開く"));
    filFile->setPattern(QStringLiteral("*.") + kCrawlFileExtension);
}

// A drive that cannot be listed leaves the folder list where it was.
void frmFileOpen2::drvDrive_Change() {
    dirDirectry->setPath(drvDrive->drive());
}

void frmFileOpen2::dirDirectry_Change() {
    filFile->setPath(dirDirectry->path());
}

void frmFileOpen2::filFile_DblClick() {
    cmdOK_Click();
}

void frmFileOpen2::cmdOK_Click() {
    // With no file selected this is the folder itself, which reads as an empty file.
    const QString source = CrawlFileTargetPath(dirDirectry->path(), filFile->fileName());
    if (mBusy) return;
    mBusy = true;
    const CrawlSettingsRead read =
        ReadCrawlSettingsFile(source, [] { return ws().YieldNoThrow(); });
    mBusy = false;
    if (read.abandoned) return;  // the program is ending
    if (!read.startUrl.isEmpty() && mParts.txtURLBasePath)
        mParts.txtURLBasePath->setText(read.startUrl);
    if (!read.downloadPath.isEmpty() && mParts.txtDownloadBasePath)
        mParts.txtDownloadBasePath->setText(read.downloadPath);
    if (mParts.lstLink) mParts.lstLink->clear();
    if (mParts.lstImage) mParts.lstImage->clear();
    if (read.countOutOfRange) {
        // What was already taken over stays; the dialog stays open for another choice.
        ws().MsgBox(QStringLiteral("ファイルの読み込みに失敗しました。"),
                    QStringLiteral("読み込みの失敗"), MB_ICONERROR);
        return;
    }
    if (mParts.lstLink) {
        // One by one, answering the windows between them (the list view hears of them once
        // per pass): 300,000 links at once held the window for half a second.
        mBusy = true;
        for (const QString& link : read.links) {
            mParts.lstLink->append(link);
            if (!ws().YieldNoThrow()) return;  // the program is ending
        }
        mParts.lstLink->showPending();
        mBusy = false;
    }
    if (mParts.loadedQueue) *mParts.loadedQueue = source;
    cmdClose_Click();
}

void frmFileOpen2::cmdClose_Click() {
    if (mBusy) return;
    mEnabler.enable();
    close();
}

void frmFileOpen2::closeEvent(QCloseEvent* event) {
    if (mBusy) {
        event->ignore();
        return;
    }
    mEnabler.enable();
    event->accept();
}

// (moc's code is compiled with this file: see sr_library)
#include "moc_frmFileOpen2.cpp"
