#include "crawl/RunStart.h"

#include <QFileInfo>

#include "core/CrawlOptions.h"
#include "core/RunFolderName.h"
#include "core/basGlobal.h"
#include "crawl/CrawlHost.h"
#include "crawl/Download.h"

RunRefusal CheckInputs(CrawlHost& host) {
    if (host.urlText().isEmpty()) return RunRefusal::NoStartUrl;
    if (host.downloadText().isEmpty()) return RunRefusal::NoDownloadFolder;
    if (!EntryExists(host.downloadText())) return RunRefusal::NoSuchFolder;
    // the transfers would go on without the cookies and say nothing: a login page is no gallery
    const QString& cookies = gCrawlOptions.cookieFile;
    if (!cookies.isEmpty() && !QFileInfo(cookies).isReadable())
        return RunRefusal::CookiesUnreadable;
    return RunRefusal::None;
}

// The first free SRnnnn from number first on under folder, stored in gRunFolder; -1 when all
// are taken.
int ChooseRunFolder(const QString& folder, int first) {
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    for (int n = first; n < kRunFolderNames; ++n) {
        const QString candidate = prefix + RunFolderName(n);
        if (!EntryExists(candidate)) {
            gRunFolder = candidate;
            return n;
        }
    }
    return -1;
}

// Creates gRunFolder. Another program may have taken that name since it was chosen: two crawls
// never share a run folder, so the next free name is taken (gRunFolder follows). 0 or errno.
int CreateRunFolder(const QString& folder, int n) {
    for (;;) {
        const int error = CurrentRunStorage().makeFolder(gRunFolder);
        if (error != EEXIST) return error;
        n = ChooseRunFolder(folder, n + 1);
        if (n < 0) return EEXIST;
    }
}
