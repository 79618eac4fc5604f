#pragma once
// What the runs before a resumed crawl fetched, as the download folder's archive tells it.

#include <QString>

#include "archive/SqliteDb.h"
#include "crawl/CrawlJournal.h"

// The run that saved queueFile, whose first page is firstPage, and the runs it resumed in turn:
// found by the run folder the file lies in or is named after, else as the latest run that did
// not complete and fetched firstPage. Empty when the archive knows none.
EarlierRun FindEarlierRun(SqliteDb& db, const QString& firstPage, const QString& queueFile);
