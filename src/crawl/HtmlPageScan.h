#pragma once
// The scan of a stored page when pages are read as HTML: the page is parsed off the caller's
// thread (the window stays serviced meanwhile) and what it references goes into the same
// queues, through the same filter and duplicate test, as the designed scan's finds. A page
// the parser gives up on is scanned the designed way instead.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "crawl/PageScanner.h"

class UrlQueue;

// False when the stored page cannot be read. Yields through ws(), so it may throw
// ProgramEnding; the cancel flag stops the parse at once. note, when given, is set to what of
// the page was left and why (empty when it was read whole).
bool ScanHtmlPage(const QString& path, const QString& pageUrl, UrlQueue& links, UrlQueue& images,
                  const PageScanner::Filter& filter, QString* note = nullptr);

// The same for a page given as bytes (a document as a browser rendered it), with pictures found
// besides its markup queued after its own.
void ScanHtml(const QByteArray& html, const QString& pageUrl, const QStringList& morePictures,
              UrlQueue& links, UrlQueue& images, const PageScanner::Filter& filter,
              QString* note = nullptr);
