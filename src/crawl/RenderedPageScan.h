#pragma once
// The scan of a stored page when pages are rendered: the browser shows the page as a visitor
// sees it, and its document as rendered and the pictures it asked for go through the HTML
// reading. When the browser cannot render it, the stored page is read as HTML instead, and the
// host is told.

#include <QString>
#include <memory>

#include "crawl/PageRenderer.h"
#include "crawl/PageScanner.h"

class CrawlHost;

// False when the stored page cannot be read (it is passed over as a failed fetch). A stop in
// turn queues nothing. Yields through ws(), so it may throw ProgramEnding.
bool ScanRenderedPage(PageRenderer& renderer, CrawlHost& host, const QString& path,
                      const QString& pageUrl, const QString& contentType,
                      const PageScanner::Filter& filter, const PageRenderer::Turn& turn);
