#pragma once
// The download folder chooser: a drive list and a folder list; OK puts the open folder into the
// main window's download box.

#include <QWidget>

#include "dialogs/FolderLists.h"
#include "widgets/MainWindowParts.h"

class QLabel;
class QPushButton;

class frmFileOpen : public QWidget {
    Q_OBJECT
public:
    explicit frmFileOpen(const MainWindowParts& parts, QWidget* parent = nullptr);

    QLabel* lblDir = nullptr;
    DriveList* drvDrive = nullptr;
    FolderList* dirDirectry = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdClose = nullptr;

    void Form_Load();
    void drvDrive_Change();
    void dirDirectry_Change();
    void cmdOK_Click();
    void cmdClose_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    MainWindowParts mParts;
    MainWindowEnabler mEnabler;
};
