#pragma once
// The fetches a stopped run made ahead and never got to, kept in the crawl archive's table
// ahead: the run that resumes its queue with NoRevisit takes them there instead of asking the
// server again. Each is taken once.

#include <QHash>
#include <QString>
#include <cstdint>
#include <optional>

#include "archive/SqliteDb.h"
#include "crawl/CrawlJournal.h"

// False when it could not be written.
bool InsertAheadFetch(SqliteDb& db, std::int64_t run, const AheadFetch& fetch,
                      const QByteArray& body);
// Lets the oldest fetches go while all of them together hold more than most bytes: a stopped
// run that is never resumed leaves its own behind.
void PruneAheadFetches(SqliteDb& db, std::int64_t most);
// The fetches run kept, by URL key, into keys where they are not there yet.
void ReadAheadFetches(SqliteDb& db, std::int64_t run, QHash<QString, std::int64_t>* keys);
// The fetch of row id, removed from the table when the archive is writable.
std::optional<KeptFetch> TakeAheadFetch(SqliteDb& db, std::int64_t id, bool remove);
