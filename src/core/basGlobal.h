#pragma once
// Settings and run state shared by every window. Everything runs on the one user-interface
// thread, so nothing here is guarded.

#include <QString>
#include <cstdint>

extern QString gURLBasePath;        // start URL read at start, fills the URL box once
extern QString gDownloadBasePath;   // download folder read at start, fills its box once
extern QString gHTMLAutoDelete;     // "0": stored pages are deleted after the scan
extern QString gPictAutoDelete;     // "0": images below the size limit are deleted
extern std::int32_t gPictAutoDeleteSize;  // size limit in kilobytes of 1000 bytes
extern QString gVersion;            // About texts, never written back
extern QString gAboutMail;
extern QString gAboutURL;

extern QString gRunFolder;          // run folder of the current or last crawl
extern std::int32_t gFileCounter;   // download sequence; never reset while the program runs
extern std::int32_t gImageCount;    // images kept in the current crawl
extern std::int16_t gCancelRequested;  // 0, or -1 once the user asked to stop the crawl

// Puts every global back to its value at process start (used between tests).
void ResetGlobals();
