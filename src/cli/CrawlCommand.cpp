#include "cli/CrawlCommand.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "archive/CrawlArchive.h"
#include "cli/ConsoleCrawl.h"
#include "core/AppPaths.h"
#include "core/CrawlOptions.h"
#include "core/CrawlSettingsFile.h"
#include "core/Settings.h"
#include "core/TerminalText.h"
#include "core/basGlobal.h"
#include "crawl/CrawlRun.h"
#include "crawl/Download.h"
#include "crawl/FetchCauseText.h"
#include "net/CurlFetcher.h"
#include "render/BrowserRenderer.h"
#include "render/BrowserSetup.h"

namespace {

volatile std::sig_atomic_t gSignals = 0;

void OnSignal(int) {
    // the second signal ends at once; the first stops the crawl at its next check
    if (gSignals > 0) _exit(kExitSignal);
    gSignals = 1;
}

void InstallSignalHandlers() {
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

void ApplyOverrides(const CrawlCommandOptions& o) {
    if (o.htmlAutoDelete) gHTMLAutoDelete = *o.htmlAutoDelete;
    if (o.pictAutoDelete) gPictAutoDelete = *o.pictAutoDelete;
    if (o.minImageKb) gPictAutoDeleteSize = *o.minImageKb;
    CrawlOptions& c = gCrawlOptions;
    c.noRevisit = o.noRevisit.value_or(c.noRevisit);
    if (o.scope) ParseScope(*o.scope, &c.scope);
    c.skipKnown = o.skipKnown.value_or(c.skipKnown);
    c.delayMs = o.delayMs.value_or(c.delayMs);
    c.robots = o.robots.value_or(c.robots);
    c.archive = o.archive.value_or(c.archive);
    c.parseHtml = o.parseHtml.value_or(c.parseHtml);
    c.skipSimilar = o.skipSimilar.value_or(c.skipSimilar);
    c.connections = o.connections.value_or(c.connections);
    c.userAgent = o.userAgent.value_or(c.userAgent);
    c.cookieFile = o.cookieFile.value_or(c.cookieFile);
    c.renderPages = o.renderPages.value_or(c.renderPages);
    c.retries = o.retries.value_or(c.retries);
    c.minWidth = o.minWidth.value_or(c.minWidth);
    c.minHeight = o.minHeight.value_or(c.minHeight);
    c.limitRate = o.limitRate.value_or(c.limitRate);
    c.proxy = o.proxy.value_or(c.proxy);
}

int PrintOrigin(const QString& file) {
    const std::optional<StoredFileOrigin> origin = LookUpOrigin(file);
    if (!origin) {
        std::fprintf(stderr, "siterambler-crawl: the crawl archive knows nothing of %s\n",
                     TerminalBytes(file).constData());
        return kExitBadInput;
    }
    std::fputs(OriginReport(file, *origin).toLocal8Bit().constData(), stdout);
    return kExitDone;
}

std::unique_ptr<CrawlJournal> OpenArchive(const QString& folder, bool record) {
    return std::make_unique<CrawlArchive>(folder, record, [](const QString& message) {
        std::fprintf(stderr, "siterambler-crawl: warning: %s\n",
                     TerminalBytes(message).constData());
    });
}

// The places a queue may go, in order: where --save-queue says, else the run folder, then the
// download folder, then the temporary folder (a vanished or full run folder must not lose it).
QStringList QueuePlaces(const CrawlCommandOptions& o, const QString& downloadFolder) {
    if (!o.saveQueue.isEmpty()) return {o.saveQueue};
    const QString run = QFileInfo(gRunFolder).fileName();
    QStringList places{gRunFolder + QStringLiteral("/queue.srs")};
    for (const QString& folder : {downloadFolder, QDir::tempPath()}) {
        // never over another run's saved queue
        const QString base = QDir(folder).filePath(QStringLiteral("siterambler-queue-") + run);
        QString place = base + QStringLiteral(".srs");
        for (int n = 1; EntryExists(place) && n < 100; ++n)
            place = base + QStringLiteral("-%1.srs").arg(n);
        places << place;
    }
    return places;
}

// Saves the queue for --resume; says where it went, or where it could not go and why. False
// when it went nowhere.
bool SaveQueue(const CrawlCommandOptions& o, const ConsoleHost& host) {
    const QByteArray bytes = BuildCrawlSettingsFile(host.downloadText(), host.urlText(),
                                                    host.links().entries(), CrawlFileLayout::Resume)
                                 .bytes();
    const QStringList places = QueuePlaces(o, host.downloadText());
    for (const QString& where : places) {
        const int error = SaveWholeFile(CurrentRunStorage(), where, bytes);
        if (error == 0) {
            if (!o.quiet || where != places.first())  // a place of its own is always told
                std::fprintf(stderr, "siterambler-crawl: queue saved to %s\n",
                             TerminalBytes(where).constData());
            return true;
        }
        std::fprintf(stderr, "siterambler-crawl: could not save the queue to %s: %s\n",
                     TerminalBytes(where).constData(), std::strerror(error));
    }
    return false;
}

// The exit code of a start page that could not be fetched.
int StartFailureExit(const FetchResult& failure) {
    if (failure.cause == FetchCause::BadUrl) return kExitBadInput;
    if (failure.cause == FetchCause::Certificate) return kExitTls;
    if (failure.httpStatus >= 400) return kExitServerError;
    return kExitNetwork;
}

// Why the run did not start, in the command's words.
QString RefusalText(const CrawlEnd& end) {
    const QString& path = end.refusedPath;
    switch (end.refused) {
        case RunRefusal::NoStartUrl:
            return QStringLiteral("no start URL was given");
        case RunRefusal::NoDownloadFolder:
            return QStringLiteral("no download folder was given");
        case RunRefusal::NoSuchFolder:
            return QStringLiteral("the download folder %1 does not exist").arg(path);
        case RunRefusal::CookiesUnreadable:
            return QStringLiteral("cannot read the cookies file %1").arg(path);
        case RunRefusal::AllRunFoldersTaken:
            return QStringLiteral("the run folders SR0000 to SR9999 in %1 are all taken").arg(path);
        case RunRefusal::RunFolderNotMade:
            return QStringLiteral("cannot create the run folder %1").arg(path);
        case RunRefusal::NoBrowser:
            return QStringLiteral(
                       "no browser to run the pages' scripts: install the package %1"
                       " (or name one in SITERAMBLER_BROWSER)")
                .arg(QString::fromLatin1(kBrowserPackage));
        case RunRefusal::None:
            break;
    }
    return {};
}

void ReportEnd(const CrawlEnd& end, const QString& startUrl, bool quiet) {
    if (const QString refusal = RefusalText(end); !refusal.isEmpty())
        std::fprintf(stderr, "siterambler-crawl: %s\n", TerminalBytes(refusal).constData());
    else if (!quiet &&
             (end.how == QStringLiteral("completed") || end.how == QStringLiteral("cancelled")))
        std::fprintf(stderr, "siterambler-crawl: crawl %s\n", TerminalBytes(end.how).constData());
    if (end.startFailure)
        std::fprintf(stderr, "siterambler-crawl: cannot fetch the start page %s: %s\n",
                     TerminalBytes(startUrl).constData(),
                     TerminalBytes(FetchCauseEnglish(*end.startFailure)).constData());
    if (!end.startFailure && end.failures.count() > 0)
        std::fprintf(stderr, "siterambler-crawl: %s\n",
                     TerminalBytes(FailuresSummary(end.failures)).constData());
    if (end.failedDeletions > 0)
        std::fprintf(stderr,
                     "siterambler-crawl: %d stored files could not be deleted (first: %s: %s)\n",
                     end.failedDeletions, TerminalBytes(end.firstFailedDeletion).constData(),
                     std::strerror(end.firstDeletionError));
    if (end.storageFault)
        std::fprintf(stderr, "siterambler-crawl: cannot store files in %s: %s; crawl stopped\n",
                     TerminalBytes(end.storageFault.folder).constData(),
                     std::strerror(end.storageFault.error));
}

}  // namespace

int RunCrawlCommand(const CrawlCommandOptions& options) {
    if (options.help) {
        std::fputs(CrawlUsage().toLocal8Bit().constData(), stdout);
        return kExitDone;
    }
    if (options.version) {
        std::printf("siterambler-crawl %s\n", SR_VERSION_TEXT);
        return kExitDone;
    }
    if (!options.origin.isEmpty()) return PrintOrigin(options.origin);
    SetAppPaths(DetectAppPaths());
    gPictAutoDeleteSize = 2;
    LoadSettings();
    ApplyOverrides(options);
    // libcurl would crawl on without the cookies and say nothing: a login page is no gallery.
    if (!gCrawlOptions.cookieFile.isEmpty() && !QFileInfo(gCrawlOptions.cookieFile).isReadable()) {
        std::fprintf(stderr, "siterambler-crawl: cannot read the cookies file %s\n",
                     TerminalBytes(gCrawlOptions.cookieFile).constData());
        return kExitBadInput;
    }

    QString startUrl = options.startUrl;
    QString folder = options.downloadFolder;
    QStringList resumeLinks;
    if (!options.resume.isEmpty()) {
        if (!QFileInfo(options.resume).isFile()) {
            std::fprintf(stderr, "siterambler-crawl: cannot read %s\n",
                         TerminalBytes(options.resume).constData());
            return kExitBadInput;
        }
        const CrawlSettingsRead saved = ReadCrawlSettingsFile(options.resume);
        if (startUrl.isEmpty()) startUrl = saved.startUrl;
        if (folder.isEmpty()) folder = saved.downloadPath;
        resumeLinks = saved.links;
    }

    ConsoleHost host(startUrl, folder);
    ConsoleWindowSystem console(host, options.quiet, isatty(STDERR_FILENO) != 0);
    console.setLimits(options.maxPages, options.maxSeconds);
    console.setSignalFlag(&gSignals);
    host.onPageDone = [&console] { console.checkLimits(); };
    host.openArchive = OpenArchive;
    host.makeRenderer = [](QString* problem) { return OpenCrawlRenderer(gCrawlOptions, problem); };
    SetWindowSystem(&console);
    InstallSignalHandlers();

    CurlFetcher curl(CrawlFetcherOptions(gCrawlOptions));
    CountingTransfers fetcher(curl);
    console.setByteCounter(&fetcher);
    const CrawlEnd end = RunCrawl(host, fetcher, resumeLinks, options.resume);
    console.finalReport(options.stats);
    SetWindowSystem(nullptr);
    ReportEnd(end, startUrl, options.quiet);

    if (end.storageFault) {
        SaveQueue(options, host);
        return kExitStorage;
    }
    if (end.startFailure) return StartFailureExit(*end.startFailure);
    if (end.refused != RunRefusal::None) return kExitBadInput;
    // a signal or a limit stopped it: the queue left is kept for --resume
    if (end.how != QStringLiteral("cancelled") && end.how != QStringLiteral("stopped by limit"))
        return kExitDone;
    const bool saved = SaveQueue(options, host);
    if (gSignals) return kExitSignal;
    return saved ? kExitDone : kExitStorage;
}
