#include "archive/AheadFetches.h"

bool InsertAheadFetch(SqliteDb& db, std::int64_t run, const AheadFetch& fetch,
                      const QByteArray& body) {
    const FetchResult& r = fetch.result;
    SqliteDb::Statement s = db.prepare(
        "INSERT INTO ahead(run, url_key, ok, http_status, cause, why, content_type, body) "
        "VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
    s.bind(1, run).bind(2, fetch.urlKey).bind(3, r.outcome == FetchOutcome::Ok ? 1 : 0);
    s.bind(4, std::int64_t{r.httpStatus}).bind(5, std::int64_t(r.cause)).bind(6, r.error);
    s.bind(7, r.contentType).bindBlob(8, body);
    return s.run();
}

void PruneAheadFetches(SqliteDb& db, std::int64_t most) {
    SqliteDb::Statement s = db.prepare(
        "DELETE FROM ahead WHERE id IN (SELECT id FROM (SELECT id, SUM(length(body)) OVER "
        "(ORDER BY id DESC) AS held FROM ahead) WHERE held > ?)");
    s.bind(1, most).run();
}

void ReadAheadFetches(SqliteDb& db, std::int64_t run, QHash<QString, std::int64_t>* keys) {
    SqliteDb::Statement s = db.prepare("SELECT id, url_key FROM ahead WHERE run = ?");
    s.bind(1, run);
    while (s.next())
        if (!keys->contains(s.text(1))) keys->insert(s.text(1), s.number(0));
}

std::optional<KeptFetch> TakeAheadFetch(SqliteDb& db, std::int64_t id, bool remove) {
    SqliteDb::Statement s = db.prepare(
        "SELECT ok, http_status, cause, why, content_type, body FROM ahead WHERE id = ?");
    s.bind(1, id);
    if (!s.next()) return std::nullopt;
    KeptFetch kept;
    kept.result.outcome = s.number(0) ? FetchOutcome::Ok : FetchOutcome::Failed;
    kept.result.httpStatus = long(s.number(1));
    kept.result.cause = FetchCause(s.number(2));
    kept.result.error = s.text(3);
    kept.result.contentType = s.text(4);
    kept.body = s.blob(5);
    if (remove) {
        SqliteDb::Statement gone = db.prepare("DELETE FROM ahead WHERE id = ?");
        gone.bind(1, id).run();
    }
    return kept;
}
