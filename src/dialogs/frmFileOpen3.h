#pragma once
// The save dialog for crawl settings files: layout choice, folder, file name.

#include <QWidget>
#include <array>

#include "dialogs/FolderLists.h"
#include "widgets/MainWindowParts.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class frmFileOpen3 : public QWidget {
    Q_OBJECT
public:
    explicit frmFileOpen3(const MainWindowParts& parts, QWidget* parent = nullptr);

    std::array<QRadioButton*, 2> optType{};  // 0 new crawl, 1 resume
    QLabel* lblDir = nullptr;
    DriveList* drvDrive = nullptr;
    FolderList* dirDirectry = nullptr;
    QLineEdit* txtFile = nullptr;
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
    void buildControls();

    MainWindowParts mParts;
    MainWindowEnabler mEnabler;
    // A long file is read or written with the windows answering; meanwhile the dialog neither
    // starts a second one nor closes.
    bool mBusy = false;
};
