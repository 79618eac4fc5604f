#pragma once
// The crawl run: the whole work of the main window's start button.
//
// RunCrawl(host, transfers) checks the start URL and the download folder, picks the first free
// run folder SR0000..SR9999 under the download folder, asks the host to confirm, creates the
// folder and then works through the link queue: every page is stored and scanned, every image
// found on it is stored, stored pages and small images are deleted as the settings say, and the
// caption counts the images kept. It returns when the queue is empty, when the user cancelled
// (gCancelRequested), after an input error or a declined confirmation. A local storage failure
// (disk full, run folder gone, no longer writable) stops it like a cancel; a failed fetch is
// passed over, except that of the start page, which ends the run. It yields through ws() all
// along (during transfers too), so every other handler may run inside it; when the program
// ends inside one of those yields, RunCrawl returns at once and touches nothing more.
//
// The run shows nothing itself: it returns how it ended (CrawlEnd), and the window tells the
// user from that (ShowCrawlEnd), the headless command its summary and exit code. The start
// button only has to do:
//     CurlFetcher fetcher(CrawlFetcherOptions(gCrawlOptions));
//     ShowCrawlEnd(RunCrawl(*this, fetcher), *this);
// One fetcher per run keeps its connections alive for the whole run. With more than one
// connection the run fetches the next queued entries ahead while it works, and lets them go
// before it returns.

#include <QString>
#include <QStringList>
#include <optional>

#include "core/UrlText.h"
#include "crawl/FetchCauseText.h"
#include "crawl/Fetcher.h"
#include "crawl/RunStorage.h"

class CrawlHost;
class Transfers;

// Why a run did not start.
enum class RunRefusal {
    None,
    NoStartUrl,
    NoDownloadFolder,
    NoSuchFolder,
    CookiesUnreadable,
    AllRunFoldersTaken,
    RunFolderNotMade,
    NoBrowser,  // pages are to be rendered and the host has no browser
};

// How a run ended, as the window and the headless command tell it. All empty when the run did
// not start for another reason than a refusal (a declined confirmation, the program ending).
struct CrawlEnd {
    // As the archive records it ("completed", "cancelled", "stopped by limit", "start page
    // failed", "storage failure"); empty when the run did not start.
    QString how;
    RunRefusal refused = RunRefusal::None;
    QString refusedPath;        // the folder or file a refusal is about
    QString refusedText;        // NoBrowser: why there is none, in the host's words
    StorageFault storageFault;  // set when a storage failure stopped the run
    int failedDeletions = 0;    // stored pages and small images that could not be deleted
    QString firstFailedDeletion;
    int firstDeletionError = 0;
    // Set when the start page could not be fetched: there was nothing to crawl, and the run
    // folder made for it is gone again when still empty.
    std::optional<FetchResult> startFailure;
    QString startUrl;        // the page the run started from
    FetchFailures failures;  // the fetches that failed, by cause
};

// followingLinks are queued after the start URL: the headless command resumes a saved queue
// with them, read from resumeFile. With NoRevisit, what the earlier runs of that queue fetched
// (as their archive tells) is not fetched again, and the page they stopped on is scanned again
// from their stored copy. The start button always starts from the start URL alone.
CrawlEnd RunCrawl(CrawlHost& host, Transfers& transfers, const QStringList& followingLinks = {},
                  const QString& resumeFile = {});
