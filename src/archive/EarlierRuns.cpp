#include "archive/EarlierRuns.h"

#include <QDir>
#include <QFileInfo>

#include "archive/AheadFetches.h"
#include "archive/RowPaths.h"
#include "core/RunFolderName.h"
#include "crawl/CrawlRules.h"

namespace {

constexpr int kRunsResumed = 1000;  // a chain of resumed runs is followed this far back

// The run that saved the queue: the run folder it lies in or is named after, else the latest
// run that did not complete and fetched the queue's first page (a saved queue starts with the
// page its run stopped on); -1 when none.
std::int64_t EarlierRunId(SqliteDb& db, const QString& firstPage, const QString& queueFile) {
    const QFileInfo file(queueFile);
    const QString named = QStringLiteral("siterambler-queue-");
    QString folder = file.absoluteDir().dirName();
    if (RunFolderNumberOf(folder) < 0 && file.fileName().startsWith(named))
        folder = file.fileName().mid(named.size(), 6);
    if (RunFolderNumberOf(folder) >= 0) {
        SqliteDb::Statement s =
            db.prepare("SELECT id FROM runs WHERE folder = ? ORDER BY id DESC LIMIT 1");
        s.bind(1, folder);
        if (s.next()) return s.number(0);
    }
    SqliteDb::Statement s = db.prepare(
        "SELECT r.id FROM runs r WHERE (r.outcome IS NULL OR r.outcome <> 'completed') AND "
        "EXISTS (SELECT 1 FROM attempts a WHERE a.run = r.id AND a.url_key = ?) "
        "ORDER BY r.id DESC LIMIT 1");
    s.bind(1, UrlKey(firstPage));
    return s.next() ? s.number(0) : -1;
}

}  // namespace

// What that run and the runs it resumed in turn fetched.
EarlierRun FindEarlierRun(SqliteDb& db, const QString& firstPage, const QString& queueFile) {
    EarlierRun earlier;
    std::int64_t id = EarlierRunId(db, firstPage, queueFile);
    for (int runs = 0; id >= 0 && runs < kRunsResumed; ++runs) {
        SqliteDb::Statement run = db.prepare("SELECT folder FROM runs WHERE id = ?");
        run.bind(1, id);
        if (!run.next()) break;
        const QString folder = run.text(0);
        if (earlier.folder.isEmpty()) earlier.folder = folder;
        // a transfer the stop cut was not fetched: it comes again
        SqliteDb::Statement s = db.prepare(
            "SELECT url_key, kind, file_name FROM attempts WHERE run = ? AND "
            "why IS NOT 'aborted'");
        s.bind(1, id);
        while (s.next()) {
            earlier.keys.insert(s.text(0));
            const QString copy = RunFilePath(folder, s.text(2));
            if (s.text(1) == QLatin1String("page") && !copy.isEmpty() &&
                !earlier.pages.contains(s.text(0)))  // the latest copy
                earlier.pages.insert(s.text(0), copy);
        }
        ReadAheadFetches(db, id, &earlier.ahead);
        // the run it resumed, in turn (an archive of an older version does not know)
        SqliteDb::Statement before = db.prepare(
            "SELECT b.id FROM runs r JOIN runs b ON b.folder = r.resumes AND b.id < r.id "
            "WHERE r.id = ? ORDER BY b.id DESC LIMIT 1");
        before.bind(1, id);
        id = before.next() ? before.number(0) : -1;
    }
    return earlier;
}
