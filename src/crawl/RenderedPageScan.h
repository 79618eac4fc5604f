#pragma once
// The scan of a stored page when pages are rendered: the browser shows the page as a visitor
// sees it, and its document as rendered and the pictures it asked for go through the HTML
// reading. When the browser cannot render it, the stored page is read as HTML instead.

#include <QString>

#include "crawl/PageRenderer.h"
#include "crawl/PageScanner.h"

class UrlQueue;

struct RenderedScan {
    bool read = false;  // false: the stored page cannot be read (passed over as a failed fetch)
    QString problem;    // why the page was read without its scripts; empty when it was not
};

// Yields through ws(), so it may throw ProgramEnding. A stop in turn queues nothing.
RenderedScan ScanRenderedPage(PageRenderer& renderer, const QString& path, const QString& pageUrl,
                              const QString& contentType, UrlQueue& links, UrlQueue& images,
                              const PageScanner::Filter& filter, const PageRenderer::Turn& turn);
