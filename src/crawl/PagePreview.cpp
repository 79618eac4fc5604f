#include "crawl/PagePreview.h"

PagePreview::PagePreview() : mScanner(mLinks, mImages, {}) {
    mScanner.setSideScan(true);
    // What lies beyond the first few would not be fetched yet.
    mScanner.setFilter([this](const QString&, bool page) {
        return (page ? mLinks.count() : mImages.count()) < mMost;
    });
}

PagePreview::Told PagePreview::tell(QByteArrayView body, const QString& pageUrl, int most) {
    mMost = most;
    mLinks.clear();
    mImages.clear();
    const auto room = [&] { return mImages.count() < most || mLinks.count() < most; };
    qsizetype start = 0;
    while (start < body.size() && room()) {
        qsizetype end = body.indexOf('\r', start);
        if (end < 0) end = body.size();
        mScanner.ScanLine(body.sliced(start, end - start), pageUrl);
        start = end + 1;
        if (start < body.size() && body[start] == '\n') ++start;
    }
    Told found;
    found.pictures = mImages.entries();
    found.pages = mLinks.entries();
    // Whether more would have come is not known once a limit is reached: not whole then.
    found.whole = mImages.count() < most && mLinks.count() < most;
    mLinks.clear();
    mImages.clear();
    return found;
}
