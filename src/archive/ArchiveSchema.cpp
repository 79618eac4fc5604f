#include "archive/ArchiveSchema.h"

namespace {

const char* const kSchema = R"sql(
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
PRAGMA user_version = 1;
)sql";

// Columns an archive written by an older version lacks; each is added once.
bool AddColumns(SqliteDb& db) {
    static const char* const kColumns[][3] = {
        {"attempts", "retries", "INTEGER NOT NULL DEFAULT 0"},
        {"attempts", "waited_ms", "INTEGER NOT NULL DEFAULT 0"},
        {"runs", "resumes", "TEXT"},
        {"attempts", "look", "INTEGER"},
        {"attempts", "pixels", "INTEGER"},
        {"attempts", "resembles", "TEXT"},
        {"attempts", "resends", "INTEGER NOT NULL DEFAULT 0"},
    };
    const auto has = [&db](const char* table, const char* column) {
        SqliteDb::Statement s = db.prepare("SELECT 1 FROM pragma_table_info(?) WHERE name = ?");
        s.bind(1, QString::fromLatin1(table)).bind(2, QString::fromLatin1(column));
        return s.next();
    };
    for (const auto& [table, column, type] : kColumns) {
        if (has(table, column)) continue;
        const QByteArray alter =
            QByteArray("ALTER TABLE ") + table + " ADD COLUMN " + column + ' ' + type;
        // another program may have added it meanwhile
        if (!db.exec(alter.constData()) && !has(table, column)) return false;
    }
    return true;
}

}  // namespace

bool CreateArchiveSchema(SqliteDb& db) {
    // Every statement of it may run again at any time: a second program creating it meanwhile
    // changes nothing.
    return db.exec(kSchema) && AddColumns(db);
}
