#include "sheetlogic/RunList.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <algorithm>

#include "archive/CrawlArchive.h"
#include "archive/SqliteDb.h"
#include "core/RunFolderName.h"

namespace {

// The latest run recorded for each folder name.
QHash<QString, RunSummary> ArchivedRuns(const QString& downloadFolder) {
    QHash<QString, RunSummary> runs;
    SqliteDb db;  // read-only: a crawl writing meanwhile is never held up
    if (!db.openReadOnly(CrawlArchive::PathIn(downloadFolder))) return runs;
    SqliteDb::Statement s = db.prepare(
        "SELECT r.folder, r.start_url, r.started, "
        "(SELECT count(*) FROM attempts a WHERE a.run = r.id AND a.kind = 'picture' "
        "AND a.outcome = 'kept'), (SELECT count(*) FROM attempts a WHERE a.run = r.id) "
        "FROM runs r ORDER BY r.id");
    while (s.next()) {
        RunSummary run;
        run.folder = s.text(0);
        run.startUrl = s.text(1);
        run.started = QDateTime::fromString(s.text(2), Qt::ISODateWithMs);
        run.kept = s.number(3);
        run.fetched = s.number(4);
        runs.insert(run.folder, run);
    }
    return runs;
}

}  // namespace

std::vector<RunSummary> ListRuns(const QString& downloadFolder) {
    const QHash<QString, RunSummary> archived = ArchivedRuns(downloadFolder);
    std::vector<RunSummary> runs;
    const QDir dir(downloadFolder);
    for (const QFileInfo& info : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (RunFolderNumberOf(info.fileName()) < 0) continue;
        RunSummary run = archived.value(info.fileName());
        run.folder = info.fileName();
        run.path = info.absoluteFilePath();
        // A folder made well after its archived run (the number freed and taken by a run that
        // was not recorded) is not that run. Without a birth time the folder's modification
        // time stands in, which a long crawl moves on: it never overrides the archive.
        const QDateTime born = info.birthTime();
        if (!run.started.isValid() || (born.isValid() && born > run.started.addSecs(60)))
            run = RunSummary{run.folder, run.path, {}, born.isValid() ? born : info.lastModified(),
                             -1,         -1};
        runs.push_back(run);
    }
    std::sort(runs.begin(), runs.end(), [](const RunSummary& a, const RunSummary& b) {
        return a.started != b.started ? a.started > b.started : a.folder > b.folder;
    });
    return runs;
}

QString RunLabel(const RunSummary& run) {
    QString label = run.folder + QStringLiteral("  ") +
                    run.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    if (run.kept >= 0) label += QStringLiteral("  ") + QLocale::c().toString(run.kept) + u'枚';
    if (!run.startUrl.isEmpty()) label += QStringLiteral("  ") + run.startUrl;
    return label;
}
