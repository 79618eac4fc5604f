#pragma once
// The crawl run: the whole work of the main window's start button.
//
// RunCrawl(host, fetcher) checks the start URL and the download folder, picks the first free
// run folder SR0000..SR9999 under the download folder, asks for confirmation, creates the
// folder and then works through the link queue: every page is stored and scanned, every image
// found on it is stored, stored pages and small images are deleted as the settings say, and the
// caption counts the images kept. It returns when the queue is empty, when the user cancelled
// (gCancelRequested), after an input error or a declined confirmation. It yields through ws()
// all along (during transfers too), so every other handler may run inside it; when the program
// ends inside one of those yields, RunCrawl returns at once and touches nothing more.
//
// cmdStart_Click only has to do:
//     CurlFetcher fetcher(CrawlFetcherOptions(gCrawlOptions));
//     fetcher.setFileAllowed(IsFileUrl(txtURLBasePath->text()));
//     RunCrawl(*this, fetcher);
// One fetcher per run keeps its connections alive for the whole run. The run gives the fetcher
// a lookahead of the queued entries while it works, and takes it back before its closing message.

#include <QString>
#include <QStringList>

class CrawlHost;
class Fetcher;

// followingLinks are queued after the start URL: the headless command resumes a saved queue
// with them. The start button always starts from the start URL alone.
void RunCrawl(CrawlHost& host, Fetcher& fetcher, const QStringList& followingLinks = {});

// True for a file: URL. Local files are fetched only in a crawl that started from one, so that
// a web page can never make the crawler copy local files.
bool IsFileUrl(const QString& url);
