#include "core/basGlobal.h"

#include "core/CrawlOptions.h"

QString gURLBasePath;
QString gDownloadBasePath;
QString gHTMLAutoDelete;
QString gPictAutoDelete;
std::int32_t gPictAutoDeleteSize = 2;
QString gVersion;
QString gAboutMail;
QString gAboutURL;

QString gRunFolder;
std::int32_t gFileCounter = 0;
std::int32_t gImageCount = 0;
std::int16_t gCancelRequested = 0;

void ResetGlobals() {
    gURLBasePath.clear();
    gDownloadBasePath.clear();
    gHTMLAutoDelete.clear();
    gPictAutoDelete.clear();
    gPictAutoDeleteSize = 2;
    gVersion.clear();
    gAboutMail.clear();
    gAboutURL.clear();
    gRunFolder.clear();
    gFileCounter = 0;
    gImageCount = 0;
    gCancelRequested = 0;
    gCrawlOptions = CrawlOptions{};
}
