#pragma once
// siterambler-crawl: the crawl engine without windows, for servers, scripts and benchmarks.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

struct CrawlCommandOptions {
    QString startUrl;
    QString downloadFolder;
    std::optional<QString> htmlAutoDelete;  // "0" delete pages, "1" keep them
    std::optional<QString> pictAutoDelete;  // "0" delete small images, "1" keep all
    std::optional<std::int32_t> minImageKb;
    std::optional<int> connections;  // transfers in flight, 1 to 16
    QString saveQueue;               // empty: queue.srs in the run folder
    QString resume;                  // crawl settings file to start from
    QString origin;                  // --origin: the stored file to tell about; no crawl
    // The crawl rules of section [Crawl], when given on the command line.
    std::optional<bool> noRevisit;
    std::optional<QString> scope;  // "all", "host" or "folder", checked
    std::optional<bool> skipKnown;
    std::optional<int> delayMs;
    std::optional<bool> robots;
    std::optional<bool> archive;
    std::optional<bool> parseHtml;
    std::optional<QString> userAgent;
    std::optional<QString> cookieFile;
    std::optional<int> retries;
    std::optional<bool> skipSimilar;
    std::optional<bool> renderPages;
    std::int64_t maxPages = 0;  // 0: no limit
    double maxSeconds = 0;      // 0: no limit
    bool quiet = false;
    bool help = false;
    bool version = false;
};

// Exit codes.
// kExitNetwork, kExitTls, kExitServerError: the start page could not be fetched (no connection,
// a certificate not trusted, an error status), with Wget's values for them.
// kExitStorage: a local storage failure (disk full, run folder gone, not writable) stopped the
// crawl, or its queue could not be saved anywhere; the same value as EX_IOERR of sysexits.h.
enum CrawlExit : int {
    kExitDone = 0,
    kExitBadInput = 1,
    kExitNetwork = 4,
    kExitTls = 5,
    kExitServerError = 8,
    kExitStorage = 74,
    kExitSignal = 130
};

// Parses the arguments (without the program name). On error returns nothing and sets error.
std::optional<CrawlCommandOptions> ParseCrawlArguments(const QStringList& args, QString* error);

QString CrawlUsage();

// Runs the whole command: settings, the crawl, the saved queue. Returns the exit code.
int RunCrawlCommand(const CrawlCommandOptions& options);
