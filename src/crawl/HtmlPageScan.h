#pragma once
// The scan of a stored page when pages are read as HTML: the page is parsed off the caller's
// thread (the window stays serviced meanwhile) and what it references goes into the same
// queues, through the same filter and duplicate test, as the designed scan's finds.

#include <QString>

#include "crawl/PageScanner.h"

class UrlQueue;

// False when the stored page cannot be read. Yields through ws(), so it may throw
// ProgramEnding.
bool ScanHtmlPage(const QString& path, const QString& pageUrl, UrlQueue& links, UrlQueue& images,
                  const PageScanner::Filter& filter);
