#include "archive/ArchiveSchema.h"

#include <iterator>

namespace {

// Version 1: the first tables.
bool FirstTables(SqliteDb& db) {
    // IF NOT EXISTS: a first creation that failed halfway left some tables at version 0
    return db.exec(R"sql(
CREATE TABLE IF NOT EXISTS runs(
    id INTEGER PRIMARY KEY,
    folder TEXT NOT NULL,
    start_url TEXT NOT NULL,
    settings TEXT NOT NULL,
    started TEXT NOT NULL,
    ended TEXT,
    outcome TEXT);
CREATE TABLE IF NOT EXISTS attempts(
    id INTEGER PRIMARY KEY,
    run INTEGER NOT NULL REFERENCES runs(id),
    number INTEGER NOT NULL,
    file_name TEXT,
    url TEXT NOT NULL,
    url_key TEXT NOT NULL,
    found_on TEXT,
    kind TEXT NOT NULL,
    http_status INTEGER,
    bytes INTEGER,
    sha256 TEXT,
    outcome TEXT NOT NULL,
    why TEXT);
CREATE INDEX IF NOT EXISTS attempts_by_url ON attempts(url_key);
CREATE INDEX IF NOT EXISTS attempts_by_hash ON attempts(sha256);
)sql");
}

// Version 2: what earlier versions of the program added while still numbering every archive 1,
// so a version 1 archive has any part of it. Each column is probed, once. Those versions also
// set 1 again at each open, even over a higher number: this step stays safe to repeat.
bool UnnumberedAdditions(SqliteDb& db) {
    static const char* const kColumns[][3] = {
        {"attempts", "retries", "INTEGER NOT NULL DEFAULT 0"},
        {"attempts", "waited_ms", "INTEGER NOT NULL DEFAULT 0"},
        {"runs", "resumes", "TEXT"},
        {"attempts", "look", "INTEGER"},
        {"attempts", "pixels", "INTEGER"},
        {"attempts", "resembles", "TEXT"},
        {"attempts", "resends", "INTEGER NOT NULL DEFAULT 0"},
    };
    for (const auto& [table, column, type] : kColumns) {
        SqliteDb::Statement has = db.prepare("SELECT 1 FROM pragma_table_info(?) WHERE name = ?");
        has.bind(1, QString::fromLatin1(table)).bind(2, QString::fromLatin1(column));
        if (has.next()) continue;
        const QByteArray alter =
            QByteArray("ALTER TABLE ") + table + " ADD COLUMN " + column + ' ' + type;
        if (!db.exec(alter.constData())) return false;
    }
    return db.exec(R"sql(
CREATE INDEX IF NOT EXISTS attempts_by_file ON attempts(run, file_name);
CREATE TABLE IF NOT EXISTS ahead(
    id INTEGER PRIMARY KEY,
    run INTEGER NOT NULL REFERENCES runs(id),
    url_key TEXT NOT NULL,
    ok INTEGER NOT NULL,
    http_status INTEGER,
    cause INTEGER,
    why TEXT,
    content_type TEXT,
    body BLOB);
)sql");
}

// Step n brings an archive from version n - 1 to n. A new step goes at the end, with a higher
// kArchiveSchemaVersion; a step once released never changes.
bool (*const kSteps[])(SqliteDb&) = {FirstTables, UnnumberedAdditions};
static_assert(std::size(kSteps) == kArchiveSchemaVersion);

bool SetVersion(SqliteDb& db, int version) {
    return db.exec(QByteArray("PRAGMA user_version = " + QByteArray::number(version)).constData());
}

// Inside the write lock: the steps the archive lacks, or nothing when another program was first.
SchemaUpdate Migrate(SqliteDb& db) {
    const int version = ArchiveSchemaVersion(db);
    if (version < 0) return SchemaUpdate::Failed;
    if (version > kArchiveSchemaVersion) return SchemaUpdate::Newer;
    for (int step = version + 1; step <= kArchiveSchemaVersion; ++step)
        if (!kSteps[step - 1](db)) return SchemaUpdate::Failed;
    if (version < kArchiveSchemaVersion && !SetVersion(db, kArchiveSchemaVersion))
        return SchemaUpdate::Failed;
    return SchemaUpdate::Ready;
}

}  // namespace

int ArchiveSchemaVersion(SqliteDb& db) {
    SqliteDb::Statement s = db.prepare("PRAGMA user_version");
    return s.next() ? int(s.number(0)) : -1;
}

SchemaUpdate UpdateArchiveSchema(SqliteDb& db) {
    // The common case, an archive at the latest version, takes no write lock.
    const int version = ArchiveSchemaVersion(db);
    if (version < 0) return SchemaUpdate::Failed;
    if (version > kArchiveSchemaVersion) return SchemaUpdate::Newer;
    if (version == kArchiveSchemaVersion) return SchemaUpdate::Ready;
    if (!db.exec("BEGIN IMMEDIATE")) return SchemaUpdate::Failed;
    const SchemaUpdate update = Migrate(db);
    if (update == SchemaUpdate::Ready && db.exec("COMMIT")) return update;
    db.exec("ROLLBACK");
    return update == SchemaUpdate::Ready ? SchemaUpdate::Failed : update;
}
