#include "dialogs/frmFileOpen.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmFileOpen::frmFileOpen(const MainWindowParts& parts, QWidget* parent)
    : QWidget(parent), mParts(parts), mEnabler(parts.window) {
    SetUpFixedDialog(this, 5775, 3840);
    lblDir = new QLabel(QStringLiteral("[ / ]"), this);
    lblDir->setGeometry(TwipsRect(120, 120, 5535, 255));
    drvDrive = new DriveList(this);
    drvDrive->setGeometry(TwipsRect(120, 480, 5535, 300));
    dirDirectry = new FolderList(this);
    dirDirectry->setGeometry(TwipsRect(120, 840, 5535, 2400));
    cmdOK = new QPushButton(QStringLiteral("ＯＫ"), this);
    cmdOK->setGeometry(TwipsRect(2160, 3360, 1695, 375));
    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdClose->setGeometry(TwipsRect(3960, 3360, 1695, 375));
    // No default button: Enter belongs to the folder list, where it opens a folder.
    cmdOK->setAutoDefault(false);
    cmdClose->setAutoDefault(false);

    setTabOrder(drvDrive, dirDirectry);
    setTabOrder(dirDirectry, cmdClose);
    setTabOrder(cmdClose, cmdOK);

    connect(drvDrive, &DriveList::Change, this, &frmFileOpen::drvDrive_Change);
    connect(dirDirectry, &FolderList::Change, this, &frmFileOpen::dirDirectry_Change);
    connect(cmdOK, &QPushButton::clicked, this, &frmFileOpen::cmdOK_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmFileOpen::cmdClose_Click);
    Form_Load();
    drvDrive->setFocus();
}

void frmFileOpen::Form_Load() {
    drvDrive->setDrive(QStringLiteral("/"));
    setWindowTitle(QStringLiteral("Site Rambler - ダウンロード先指定"));
}

// A drive that cannot be listed leaves the folder list and the label where they were.
void frmFileOpen::drvDrive_Change() {
    dirDirectry->setPath(drvDrive->drive());
}

void frmFileOpen::dirDirectry_Change() {
    lblDir->setText(QStringLiteral("[ ") + dirDirectry->path() + QStringLiteral(" ]"));
}

void frmFileOpen::cmdOK_Click() {
    if (mParts.txtDownloadBasePath) mParts.txtDownloadBasePath->setText(dirDirectry->path());
    cmdClose_Click();
}

void frmFileOpen::cmdClose_Click() {
    mEnabler.enable();
    close();
}

void frmFileOpen::closeEvent(QCloseEvent* event) {
    mEnabler.enable();
    event->accept();
}

// (moc's code is compiled with this file: see sr_library)
#include "moc_frmFileOpen.cpp"
