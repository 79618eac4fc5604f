#pragma once
// The open dialog for crawl settings files: drive, folder and "*.srs" file lists; loading fills
// the main window's boxes and link list.

#include <QWidget>

#include "dialogs/FolderLists.h"
#include "widgets/MainWindowParts.h"

class QPushButton;

class frmFileOpen2 : public QWidget {
    Q_OBJECT
public:
    explicit frmFileOpen2(const MainWindowParts& parts, QWidget* parent = nullptr);

    DriveList* drvDrive = nullptr;
    FolderList* dirDirectry = nullptr;
    FileList* filFile = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdClose = nullptr;

    void Form_Load();
    void drvDrive_Change();
    void dirDirectry_Change();
    void filFile_DblClick();
    void cmdOK_Click();
    void cmdClose_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    MainWindowParts mParts;
    MainWindowEnabler mEnabler;
    // A long file is read or written with the windows answering; meanwhile the dialog neither
    // starts a second one nor closes.
    bool mBusy = false;
};
