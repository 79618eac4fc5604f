// How the main window opens the other windows (the windows themselves come separately).
#include "ui/frmMainWindow.h"

struct frmMainWindow::Dialogs {};

frmMainWindow::Dialogs& frmMainWindow::dialogs() {
    if (!mDialogs) mDialogs = new Dialogs;
    return *mDialogs;
}
void frmMainWindow::destroyDialogs() {
    delete mDialogs;
    mDialogs = nullptr;
}
void frmMainWindow::cmdOpen_Click() {}
void frmMainWindow::cmdViewer_Click() {}
void frmMainWindow::menFileOpen_Click() {}
void frmMainWindow::menFileSave_Click() {}
void frmMainWindow::menOption_Click() {}
void frmMainWindow::menHelpInstruct_Click() {}
void frmMainWindow::menHelpAbout_Click() {}
void frmMainWindow::cmdStart_Click() {}
