#pragma once
// The tables and indexes of the crawl archive, numbered: the file's user_version is the last of
// the steps below it has had, and an open brings it up to the latest, step by step.

#include "archive/SqliteDb.h"

// The schema this program writes; an archive numbered higher comes from a newer program.
constexpr int kArchiveSchemaVersion = 2;

enum class SchemaUpdate {
    Ready,   // at the latest version
    Failed,  // a statement failed (locked, read-only, full disk): it may be tried again
    Newer,   // written by a newer program: left exactly as it is
};

// The file's version: 0 for a new file, -1 when it cannot be read.
int ArchiveSchemaVersion(SqliteDb& db);
// Brings the archive to kArchiveSchemaVersion in one transaction, under the write lock: of two
// programs opening it at once, the second finds it done.
SchemaUpdate UpdateArchiveSchema(SqliteDb& db);
