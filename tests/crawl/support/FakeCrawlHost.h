#pragma once
// The main window as the crawl sees it, without any window: two queues, the two input texts,
// and a record of captions, focus requests, icon changes and control states.

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "core/UrlQueue.h"
#include "crawl/CrawlHost.h"
#include "crawl/CrawlRun.h"
#include "mainwindow/CrawlBoxes.h"

class FakeCrawlHost final : public CrawlHost {
public:
    QString url;
    QString folder;
    UrlQueue links;
    UrlQueue images;
    std::vector<QString> captions;
    std::vector<bool> controlStates;  // every setCrawlControls call
    int urlFocus = 0;
    int downloadFocus = 0;
    int animations = 0;
    int restingIcons = 0;
    // Runs at every AnimateIcon: the crawl calls it after every token, line and image, so a
    // test can act there as a user would inside the yield that follows.
    std::function<void()> onAnimate;
    // Opens the download folder's crawl archive; none when unset.
    std::function<std::unique_ptr<CrawlJournal>(const QString&, bool)> openArchive;

    // Makes the renderer of a run with RenderPages; the host's default when unset.
    std::function<std::unique_ptr<PageRenderer>(QString*)> makeRenderer;
    std::vector<QString> notes;

    QString caption() const { return captions.empty() ? QString() : captions.back(); }

    QString urlText() const override { return url; }
    QString downloadText() const override { return folder; }
    void focusUrlBox() override { ++urlFocus; }
    void focusDownloadBox() override { ++downloadFocus; }
    UrlQueue& lstLink() override { return links; }
    UrlQueue& lstImage() override { return images; }
    void setCaption(const QString& text) override { captions.push_back(text); }
    void AnimateIcon() override {
        ++animations;
        if (onAnimate) onAnimate();
    }
    void showRestingIcon() override { ++restingIcons; }
    void setCrawlControls(bool running) override { controlStates.push_back(running); }
    bool confirmStart(const QString& downloadFolder, const QString& runFolder) override {
        return AskCrawlStart(downloadFolder, runFolder);
    }
    std::unique_ptr<CrawlJournal> openJournal(const QString& folder, bool record) override {
        return openArchive ? openArchive(folder, record) : nullptr;
    }
    std::unique_ptr<PageRenderer> openRenderer(QString* problem) override {
        return makeRenderer ? makeRenderer(problem) : CrawlHost::openRenderer(problem);
    }
    void note(const QString& text) override { notes.push_back(text); }
};

// A run as the start button makes it: its end told in the window's boxes.
inline CrawlEnd RunShown(FakeCrawlHost& host, Transfers& transfers,
                         const QStringList& followingLinks = {}, const QString& resumeFile = {}) {
    CrawlEnd end = RunCrawl(host, transfers, followingLinks, resumeFile);
    ShowCrawlEnd(end, host);
    return end;
}
