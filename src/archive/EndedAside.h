#pragma once
// A crawl archive for the window: its end (the last rows, a lock's patience, the close and its
// flushes) goes on on a thread of its own after the run, so the window never waits for it. The
// program waits for what is still ending only as it ends (after main).

#include <memory>

#include "archive/CrawlArchive.h"

// The archive, passed through; when the crawl lets it go, it ends aside.
std::unique_ptr<CrawlJournal> EndedAside(std::unique_ptr<CrawlArchive> archive);

// Waits until every archive let go so far has ended.
void WaitForArchivesEndingAside();
