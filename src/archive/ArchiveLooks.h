#pragma once
// The looks of pictures in the crawl archive: three columns of attempts (look, pixels,
// resembles) that an archive written before them gets when it is next written. Private to
// this library.

#include <QString>
#include <chrono>
#include <cstdint>
#include <vector>

#include "crawl/CrawlJournal.h"

class SqliteDb;

// Adds the columns an older archive lacks. Another program may add them meanwhile: what
// counts is that they are there afterwards.
bool AddLookColumns(SqliteDb& db);

// The looks of the pictures kept by every run but exceptRun; none from an archive without the
// columns.
std::vector<KeptLook> ReadKeptLooks(SqliteDb& db, std::int64_t exceptRun);

// Works out the look of each kept picture of rows that has none, from its file in runFolder,
// until the deadline passes: the rows left then are written without it (the look-alike groups
// work it out from the file). Reads and decodes files: never on the crawl's thread.
void AddMissingLooks(std::vector<CrawlAttempt>& rows, const QString& runFolder,
                     std::chrono::steady_clock::time_point deadline);

// A look as stored: the hash's 64 bits as SQLite's signed integer.
std::int64_t StoredHash(std::uint64_t hash);
std::uint64_t HashOfStored(std::int64_t stored);
