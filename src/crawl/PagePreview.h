#pragma once
// A look at a page fetched ahead: which pictures and pages its scan will queue once the run gets
// there, so that they can be fetched before the run needs them. Only a guess for fetching ahead:
// the run scans the stored page as always, and nothing the guess says is stored or recorded.

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include "core/UrlQueue.h"
#include "crawl/PageScanner.h"

class PagePreview {
public:
    PagePreview();
    PagePreview(const PagePreview&) = delete;
    PagePreview& operator=(const PagePreview&) = delete;

    struct Told {
        QStringList pictures;
        QStringList pages;
        bool whole = true;  // false: the page holds more than these
    };
    // The first `most` pictures and the first `most` pages the scan of body, fetched from
    // pageUrl, queues into empty queues, in order. The lines are cut as in the stored page (a CR,
    // or a CR LF pair, ends a line).
    Told tell(QByteArrayView body, const QString& pageUrl, int most);

private:
    UrlQueue mLinks;
    UrlQueue mImages;
    PageScanner mScanner;
    int mMost = 0;
};
