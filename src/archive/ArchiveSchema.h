#pragma once
// The tables and indexes of the crawl archive, made or brought up to date on an open database.

#include "archive/SqliteDb.h"

// False when a statement failed (locked, read-only, full disk): it may be tried again.
bool CreateArchiveSchema(SqliteDb& db);
