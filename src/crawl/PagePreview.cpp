#include "crawl/PagePreview.h"

PagePreview::PagePreview() : mScanner(mLinks, mImages, {}) {
    mScanner.setSideScan(true);
    // Pages found are of no use here; pictures beyond the first few would not be fetched yet.
    mScanner.setFilter(
        [this](const QString&, bool page) { return !page && mImages.count() < mMost; });
}

PagePreview::Pictures PagePreview::pictures(QByteArrayView body, const QString& pageUrl, int most) {
    mMost = most;
    mImages.clear();
    qsizetype start = 0;
    while (start < body.size() && mImages.count() < most) {
        qsizetype end = body.indexOf('\r', start);
        if (end < 0) end = body.size();
        mScanner.ScanLine(body.sliced(start, end - start), pageUrl);
        start = end + 1;
        if (start < body.size() && body[start] == '\n') ++start;
    }
    Pictures found;
    found.urls = mImages.entries();
    // Whether more would have come is not known once the limit is reached: not whole then.
    found.whole = mImages.count() < most;
    mImages.clear();
    return found;
}
