#pragma once
// The crawl's renderer: one headless browser for the whole run, started at the first page that
// needs it with a fresh profile in a temporary folder, and ended with the run (or when this
// object goes, whatever ended the run). A browser that ended is started again at the next page.

#include <QTemporaryDir>
#include <memory>

#include "crawl/PageRenderer.h"
#include "render/BrowserProcess.h"
#include "render/BrowserSetup.h"
#include "render/DevTools.h"

class BrowserRenderer final : public PageRenderer {
public:
    explicit BrowserRenderer(BrowserSetup setup) : mSetup(std::move(setup)) {}
    ~BrowserRenderer() override;
    Page render(const QString& url, const QByteArray& body, const QString& contentType,
                const Turn& turn) override;
    // The running browser's process, for tests; -1 when none runs.
    pid_t browserPid() const { return mProcess.pid(); }

private:
    bool start(const Turn& turn, QString* problem);
    void dropProfile();

    BrowserSetup mSetup;
    std::unique_ptr<QTemporaryDir> mProfile;
    BrowserProcess mProcess;
    DevTools mDevTools{mProcess};
};

// The renderer of a crawl with these options; none when no browser is there, and then *problem
// names the package to install.
std::unique_ptr<PageRenderer> OpenCrawlRenderer(const CrawlOptions& options, QString* problem);
