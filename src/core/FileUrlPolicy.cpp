#include "core/FileUrlPolicy.h"

#include "core/UrlText.h"

FileUrlPolicy FileUrlPolicy::ForCrawlFrom(const QString& startUrl) {
    return FileUrlPolicy(IsFileUrl(startUrl));
}

bool FileUrlPolicy::mayFetch(const QString& url) const {
    return mFiles || !IsFileUrl(url);
}

bool FileUrlPolicy::mayFetch(const QString& url, const QString& namedOn) const {
    return mayFetch(url) && (!IsFileUrl(url) || namedOn.isEmpty() || IsFileUrl(namedOn));
}
