#include "archive/ArchiveLooks.h"

#include <QDir>
#include <cstring>

#include "archive/SqliteDb.h"

std::vector<KeptLook> ReadKeptLooks(SqliteDb& db, std::int64_t exceptRun) {
    std::vector<KeptLook> looks;
    SqliteDb::Statement s = db.prepare(
        "SELECT r.folder, a.file_name, a.look, a.pixels FROM attempts a JOIN runs r "
        "ON a.run = r.id WHERE a.kind = 'picture' AND a.outcome = 'kept' AND a.look IS NOT NULL "
        "AND a.run <> ?");
    s.bind(1, exceptRun);
    while (s.next()) {
        looks.push_back(
            {s.text(0) + u'/' + s.text(1), PictureLook{HashOfStored(s.number(2)), s.number(3)}});
    }
    return looks;
}

std::int64_t StoredHash(std::uint64_t hash) {
    std::int64_t stored;
    std::memcpy(&stored, &hash, sizeof stored);
    return stored;
}

std::uint64_t HashOfStored(std::int64_t stored) {
    std::uint64_t hash;
    std::memcpy(&hash, &stored, sizeof hash);
    return hash;
}
