#include "core/FileUrlPolicy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

QString FileUrlPolicy::Refusal(const QByteArray& localPath) {
    const int handle = ::open(localPath.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (handle < 0) return {};
    struct stat info {};
    const bool regular = ::fstat(handle, &info) == 0 && S_ISREG(info.st_mode);
    ::close(handle);
    if (regular) return {};
    return S_ISDIR(info.st_mode) ? QStringLiteral("file: a folder, not a file")
                                 : QStringLiteral("file: not a regular file");
}
