// How the main window opens the other windows: the five dialogs disable it first and enable it
// again however they close; the manual and the viewer leave it usable.
#include <QLineEdit>
#include <QPointer>
#include <utility>

#include "archive/CrawlArchive.h"
#include "archive/EndedAside.h"
#include "core/CrawlOptions.h"
#include "core/UrlQueue.h"
#include "core/WindowSystem.h"
#include "crawl/CrawlRun.h"
#include "dialogs/frmAbout.h"
#include "dialogs/frmFileOpen.h"
#include "dialogs/frmFileOpen2.h"
#include "dialogs/frmFileOpen3.h"
#include "dialogs/frmHelp.h"
#include "dialogs/frmOption.h"
#include "mainwindow/CrawlBoxes.h"
#include "mainwindow/frmMainWindow.h"
#include "net/CurlFetcher.h"
#include "sheet/frmSheet.h"
#include "viewer/frmViewer.h"

struct frmMainWindow::Dialogs {
    // The dialogs delete themselves when they close; the next opening starts afresh.
    QPointer<QWidget> modal;
    QPointer<frmHelp> help;
    QPointer<frmViewer> viewer;
    QPointer<frmSheet> sheet;
};

namespace {

template <class Dialog>
void OpenDisablingDialog(frmMainWindow& main, QPointer<QWidget>& slot) {
    // One dialog at a time: while one is open the main window is disabled and no menu of it
    // can open a second.
    if (slot) {
        slot->raise();
        slot->activateWindow();
        return;
    }
    main.setEnabled(false);
    auto* dialog = new Dialog(main.parts());
    slot = dialog;
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

}  // namespace

frmMainWindow::Dialogs& frmMainWindow::dialogs() {
    if (!mDialogs) mDialogs = new Dialogs;
    return *mDialogs;
}

void frmMainWindow::destroyDialogs() {
    if (!mDialogs) return;
    delete mDialogs->modal.data();
    delete mDialogs->help.data();
    delete mDialogs->viewer.data();
    delete mDialogs->sheet.data();
    delete mDialogs;
    mDialogs = nullptr;
}

void frmMainWindow::cmdOpen_Click() {
    OpenDisablingDialog<frmFileOpen>(*this, dialogs().modal);
}

void frmMainWindow::menFileOpen_Click() {
    OpenDisablingDialog<frmFileOpen2>(*this, dialogs().modal);
}

void frmMainWindow::menFileSave_Click() {
    OpenDisablingDialog<frmFileOpen3>(*this, dialogs().modal);
}

void frmMainWindow::menOption_Click() {
    OpenDisablingDialog<frmOption>(*this, dialogs().modal);
}

void frmMainWindow::menHelpAbout_Click() {
    OpenDisablingDialog<frmAbout>(*this, dialogs().modal);
}

void frmMainWindow::menHelpInstruct_Click() {
    QPointer<frmHelp>& help = dialogs().help;
    // The manual is read while the window is made, with the windows answering meanwhile: a
    // second request in that time would make a second window.
    static bool reading = false;
    if (reading) return;
    if (!help) {
        reading = true;
        help = new frmHelp();
        reading = false;
    }
    help->show();
    help->raise();
    help->activateWindow();
}

void frmMainWindow::cmdViewer_Click() {
    QPointer<frmViewer>& viewer = dialogs().viewer;
    if (!viewer) {
        viewer = new frmViewer();
        viewer->setMainWindow(this);
        viewer->setOriginLookup([](const QString& file) {
            const std::optional<StoredFileOrigin> origin = LookUpOrigin(file);
            return origin ? OriginTooltip(*origin) : QString();
        });
        viewer->setSheetOpener(
            [this](const QString& folder, const QString& file) { menSheet_Click(folder, file); });
    }
    viewer->showNormal();
    viewer->raise();
    viewer->activateWindow();
    viewer->Open();
}

void frmMainWindow::menSheet_Click(const QString& runFolder, const QString& file) {
    QPointer<frmSheet>& sheet = dialogs().sheet;
    if (!sheet) sheet = new frmSheet();
    sheet->Open(txtDownloadBasePath->text(), runFolder, file);
}

void frmMainWindow::cmdStart_Click() {
    CurlFetcher fetcher(CrawlFetcherOptions(gCrawlOptions));
    // NoRevisit: a crawl from a crawl settings file just read goes on with its queue and
    // remembers what the run that saved it fetched; otherwise it starts from the start URL alone.
    const QString loaded = std::exchange(mLoadedQueue, {});
    if (!gCrawlOptions.noRevisit || loaded.isEmpty()) {
        ShowCrawlEnd(RunCrawl(*this, fetcher), *this);
        return;
    }
    ShowCrawlEnd(RunCrawl(*this, fetcher, mLinks->entries(), loaded), *this);
}

bool frmMainWindow::confirmStart(const QString& folder, const QString& runFolder) {
    return AskCrawlStart(folder, runFolder);
}

std::unique_ptr<CrawlJournal> frmMainWindow::openJournal(const QString& folder, bool record) {
    // A message box would hold the crawl until answered: the warning goes to the log. The
    // archive's end is not waited for: the window stays with the user.
    return EndedAside(std::make_unique<CrawlArchive>(folder, record, [](const QString& message) {
        qWarning("Site Rambler: %s", qUtf8Printable(message));
    }));
}
