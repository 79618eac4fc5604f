#pragma once
// The pieces that let the crawl run without a window: a host that keeps the queues in memory and
// answers the start question, a window-system layer that shows the progress and stops the run at
// its limits, and a fetcher that counts bytes.

#include <QElapsedTimer>
#include <QString>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <functional>
#include <memory>

#include "cli/ProgressLine.h"
#include "core/UrlQueue.h"
#include "core/WindowSystem.h"
#include "crawl/CrawlHost.h"
#include "crawl/Transfers.h"

class ConsoleHost final : public CrawlHost {
public:
    ConsoleHost(QString startUrl, QString downloadFolder);

    QString urlText() const override { return mUrl; }
    QString downloadText() const override { return mFolder; }
    void focusUrlBox() override {}
    void focusDownloadBox() override {}
    UrlQueue& lstLink() override { return mLinks; }
    UrlQueue& lstImage() override { return mImages; }
    const UrlQueue& links() const { return mLinks; }
    const UrlQueue& images() const { return mImages; }
    void setCaption(const QString&) override {}
    void AnimateIcon() override {}
    void showRestingIcon() override {}
    void setCrawlControls(bool) override {}
    bool confirmStart(const QString&, const QString&) override { return true; }
    bool stoppedByLimit() const override { return limitReached; }
    // Set by the console when --max-pages or --max-seconds stopped the run.
    bool limitReached = false;

    // Pages finished so far: every page's entry leaves the link queue when it is done.
    std::int64_t pagesDone() const { return mPagesDone; }
    // Called as soon as a page is done (limits are checked there, not at the next yield).
    std::function<void()> onPageDone;
    // Opens the download folder's crawl archive; none when unset.
    std::function<std::unique_ptr<CrawlJournal>(const QString&, bool)> openArchive;
    std::unique_ptr<CrawlJournal> openJournal(const QString& folder, bool record) override {
        return openArchive ? openArchive(folder, record) : nullptr;
    }
    // Makes the browser of a run that renders pages; the host's default when unset.
    std::function<std::unique_ptr<PageRenderer>(QString*)> makeRenderer;
    std::unique_ptr<PageRenderer> openRenderer(QString* problem) override {
        return makeRenderer ? makeRenderer(problem) : CrawlHost::openRenderer(problem);
    }
    // The window's notes are in its own words: the command keeps to its summary.
    void note(const QString&) override {}

private:
    QString mUrl;
    QString mFolder;
    UrlQueue mLinks;
    UrlQueue mImages;
    std::int64_t mPagesDone = 0;
};

// The transfers of another pool, with the bytes of every body counted as they arrive.
class CountingTransfers final : public Transfers {
public:
    explicit CountingTransfers(Transfers& inner) : mInner(inner) {}
    int start(const QString& url, std::int64_t maxBytes, Write write) override;
    State state(int id) const override { return mInner.state(id); }
    Wait wait(int id, const Turn& turn) override { return mInner.wait(id, turn); }
    void resume(int id) override { mInner.resume(id); }
    void hurry(int id) override { mInner.hurry(id); }
    FetchResult release(int id) override { return mInner.release(id); }
    int connections() const override { return mInner.connections(); }
    Waits waits() const override { return mInner.waits(); }
    void setFilePolicy(const FileUrlPolicy& p) override { mInner.setFilePolicy(p); }
    void setRedirectsFollowed(bool follow) override { mInner.setRedirectsFollowed(follow); }
    std::int64_t bytes() const { return mBytes.load(std::memory_order_relaxed); }

private:
    Transfers& mInner;
    std::atomic<std::int64_t> mBytes{0};
};

class ConsoleWindowSystem final : public WindowSystem {
public:
    ConsoleWindowSystem(ConsoleHost& host, bool quiet, bool terminal);

    void setLimits(std::int64_t maxPages, double maxSeconds);
    void setSignalFlag(volatile std::sig_atomic_t* flag) { mSignal = flag; }
    void setByteCounter(const CountingTransfers* counter) { mCounter = counter; }

    // The run asks its questions of the host and returns how it ended: no box is shown.
    int MsgBox(const QString&, const QString&, int) override { return IDOK; }
    QString InputBox(const QString&, const QString&, const QString&) override { return {}; }

    void finishProgress();
    // Stops the crawl at its next check, as the cancel button does; limit: a limit was reached.
    void stop(const char* why, bool limit = false);
    void checkLimits();
    // The last progress figures, once the crawl is over.
    void finalReport(bool stats = false);

protected:
    void ProcessEvents() override;

private:
    ProgressFigures figures() const;

    ConsoleHost& mHost;
    const CountingTransfers* mCounter = nullptr;
    volatile std::sig_atomic_t* mSignal = nullptr;
    bool mQuiet;
    std::int64_t mMaxPages = 0;
    double mMaxSeconds = 0;
    bool mStopped = false;
    ProgressDisplay mProgress;
    QElapsedTimer mClock;
};
