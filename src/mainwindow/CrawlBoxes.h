#pragma once
// The window's boxes about a crawl run: the question before it starts, and why it did not
// start or how it ended, told from what the run returned.

#include <QString>

#include "crawl/CrawlRun.h"

class CrawlHost;

// The start question; true when answered Yes.
bool AskCrawlStart(const QString& downloadFolder, const QString& runFolder);
// The boxes of a run's end, in order, and the focus moved to the box at fault. Nothing for a run
// that did not start for another reason (declined, the program ending).
void ShowCrawlEnd(const CrawlEnd& end, CrawlHost& host);
