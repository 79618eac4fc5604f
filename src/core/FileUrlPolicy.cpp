#include "core/FileUrlPolicy.h"

#include "core/UrlText.h"

FileUrlPolicy FileUrlPolicy::ForCrawlFrom(const QString& startUrl) {
    return FileUrlPolicy(IsFileUrl(startUrl));
}

bool FileUrlPolicy::mayFetch(const QString& url) const {
    return mFiles || !IsFileUrl(url);
}
