#pragma once
// The crawl settings file ("*.srs"): the start URL, the download folder and the queued links of
// a crawl, as a profile file with the sections [BaseSetting] and [Link]. The save dialog writes
// it, the open dialog reads it back; neither needs a window for the format itself.

#include <QString>
#include <QStringList>
#include <functional>

#include "core/ProfileFile.h"

inline const QString kCrawlFileExtension = QStringLiteral("srs");

enum class CrawlFileLayout {
    NewCrawl,  // start URL from the URL box, every link from URL0 on
    Resume,    // the first link becomes the start URL, the others follow from URL1 on
};

using KeepGoing = std::function<bool()>;

// Folder and file name joined with exactly one "/" between them. The name is taken as typed:
// no extension is added and wildcard characters mean themselves.
QString CrawlFileTargetPath(const QString& folder, const QString& name);

// The whole file as a save writes it, keys in their fixed order: DownloadPath, URL, Count and
// the numbered links. Resume falls back to the new-crawl layout when the list is empty or its
// first entry is empty, since there is then no page to resume from.
// keepGoing, here and below, runs between links when given (a yield keeps the window answering
// on a list of 300,000); false from it abandons the work: nothing is written, nothing is read.
ProfileFile BuildCrawlSettingsFile(const QString& downloadPath, const QString& startUrl,
                                   const QStringList& links, CrawlFileLayout layout,
                                   const KeepGoing& keepGoing = {});

// Builds the file and writes it in one go through a temporary file renamed over the target, so
// an existing file is replaced whole (no key of it survives) or, on failure, left untouched.
bool SaveCrawlSettingsFile(const QString& path, const QString& downloadPath,
                           const QString& startUrl, const QStringList& links,
                           CrawlFileLayout layout, const KeepGoing& keepGoing = {});

struct CrawlSettingsRead {
    QString startUrl;      // empty when missing: the URL box is then left as it is
    QString downloadPath;  // likewise for the download box
    QStringList links;     // the non-empty link values, in number order
    // Count is a number that does not fit a 32-bit integer: loading fails after the boxes and
    // the lists have been dealt with.
    bool countOutOfRange = false;
    bool abandoned = false;  // keepGoing said stop: nothing was read
};

// Reads either layout without knowing which one was written: every key URL0 up to and
// including "URL" + Count that exists and is not empty, in number order. A missing, empty or
// non-numeric Count, or a negative one, gives no links. Only the keys present in the file are
// visited, so a Count of two billion costs no more than a small one.
CrawlSettingsRead ReadCrawlSettings(const ProfileFile& file, const KeepGoing& keepGoing = {});
// The same from a path; a missing or unreadable file reads as an empty one.
CrawlSettingsRead ReadCrawlSettingsFile(const QString& path, const KeepGoing& keepGoing = {});
