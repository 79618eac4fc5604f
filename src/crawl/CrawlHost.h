#pragma once
// What the crawl needs of the main window, so that the crawl itself needs no widget and runs
// in tests without any window.

#include <QString>
#include <memory>

#include "crawl/CrawlJournal.h"
#include "crawl/PageRenderer.h"

class UrlQueue;

class CrawlHost {
public:
    virtual ~CrawlHost() = default;

    virtual QString urlText() const = 0;       // the start-URL box
    virtual QString downloadText() const = 0;  // the download-folder box
    virtual void focusUrlBox() = 0;
    virtual void focusDownloadBox() = 0;

    virtual UrlQueue& lstLink() = 0;
    virtual UrlQueue& lstImage() = 0;

    virtual void setCaption(const QString& caption) = 0;
    // Shows the next frame of the busy animation as the window icon.
    virtual void AnimateIcon() = 0;
    // Puts the resting icon back.
    virtual void showRestingIcon() = 0;
    // Start, folder button and the two file menu items off, cancel and viewer on while running;
    // the reverse afterwards, except that the viewer button stays on.
    virtual void setCrawlControls(bool running) = 0;
    // Asked once the run folder is chosen, before it is made: the run goes on only on true.
    // runFolder is its name (SR0000..SR9999) under downloadFolder.
    virtual bool confirmStart(const QString& downloadFolder, const QString& runFolder) = 0;
    // True when the host stopped the run by itself, at a limit it was given; a cancel then
    // goes on record as that.
    virtual bool stoppedByLimit() const { return false; }
    // The record of the runs kept in the download folder, or none. With record false it is
    // only consulted (SkipKnown), never written.
    virtual std::unique_ptr<CrawlJournal> openJournal(const QString& downloadFolder, bool record) {
        Q_UNUSED(downloadFolder);
        Q_UNUSED(record);
        return nullptr;
    }
    // The browser that shows the run's pages with their scripts run (RenderPages), made as the
    // run starts; its process starts at the first page. None when the program has no browser:
    // *problem then says why, and the run does not start.
    virtual std::unique_ptr<PageRenderer> openRenderer(QString* problem) {
        *problem = QStringLiteral("ページのスクリプトを実行するブラウザがありません。");
        return nullptr;
    }
    // Something the user should know that stops nothing (a page read without its scripts).
    virtual void note(const QString& text) { Q_UNUSED(text); }
};
