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

// The looks of the pictures kept by every run but exceptRun; none from an archive without the
// columns.
std::vector<KeptLook> ReadKeptLooks(SqliteDb& db, std::int64_t exceptRun);

// A look as stored: the hash's 64 bits as SQLite's signed integer.
std::int64_t StoredHash(std::uint64_t hash);
std::uint64_t HashOfStored(std::int64_t stored);
