#pragma once
// The crawl run: the whole work of the main window's start button.
//
// RunCrawl(host, fetcher) checks the start URL and the download folder, picks the first free
// run folder SR0000..SR9999 under the download folder, asks for confirmation, creates the
// folder and then works through the link queue: every page is stored and scanned, every image
// found on it is stored, stored pages and small images are deleted as the settings say, and the
// caption counts the images kept. It returns when the queue is empty, when the user cancelled
// (gCancelRequested), after an input error or a declined confirmation. A local storage failure
// (disk full, run folder gone, no longer writable) stops it like a cancel, after a warning that
// names the folder and the cause; a failed fetch is passed over, except that of the start page,
// which ends the run with a warning that names the URL and the cause. It yields through ws()
// all along (during transfers too), so every other handler may run inside it; when the program
// ends inside one of those yields, RunCrawl returns at once and touches nothing more.
//
// cmdStart_Click only has to do:
//     CurlFetcher fetcher(CrawlFetcherOptions(gCrawlOptions));
//     RunCrawl(*this, fetcher);
// One fetcher per run keeps its connections alive for the whole run. With more than one
// connection the run fetches the next queued entries ahead while it works, and lets them go
// before its closing message.

#include <QString>
#include <QStringList>
#include <optional>

#include "core/UrlText.h"
#include "crawl/FetchCauseText.h"
#include "crawl/Fetcher.h"
#include "crawl/RunStorage.h"

class CrawlHost;
class Transfers;

// Why a run did not start (the window's box said it in its own words).
enum class RunRefusal {
    None,
    NoStartUrl,
    NoDownloadFolder,
    NoSuchFolder,
    CookiesUnreadable,
    AllRunFoldersTaken,
    RunFolderNotMade,
};

// How a run ended, beyond what the window shows: for the headless command's summary.
struct CrawlEnd {
    // As the archive records it ("completed", "cancelled", "stopped by limit", "start page
    // failed", "storage failure"); empty when the run did not start.
    QString how;
    RunRefusal refused = RunRefusal::None;
    QString refusedPath;        // the folder or file a refusal is about
    StorageFault storageFault;  // set when a storage failure stopped the run
    int failedDeletions = 0;    // stored pages and small images that could not be deleted
    QString firstFailedDeletion;
    int firstDeletionError = 0;
    // Set when the start page could not be fetched: there was nothing to crawl, the run folder
    // made for it is gone again when still empty, and the window said why.
    std::optional<FetchResult> startFailure;
    FetchFailures failures;  // the fetches that failed, by cause
};

// followingLinks are queued after the start URL: the headless command resumes a saved queue
// with them, read from resumeFile. With NoRevisit, what the earlier runs of that queue fetched
// (as their archive tells) is not fetched again, and the page they stopped on is scanned again
// from their stored copy. The start button always starts from the start URL alone.
CrawlEnd RunCrawl(CrawlHost& host, Transfers& transfers, const QStringList& followingLinks = {},
                  const QString& resumeFile = {});
