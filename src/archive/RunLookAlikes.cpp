#include "archive/RunLookAlikes.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <optional>

#include "archive/ArchiveLooks.h"
#include "archive/ArchiveSchema.h"
#include "archive/CrawlArchive.h"
#include "archive/SqliteDb.h"
#include "look/LookAlikes.h"

namespace {

// A crawl writing the archive meanwhile holds its lock for a commit at a time: that is waited
// for, a lock held longer is not.
constexpr int kBusyTimeoutMs = 200;

// What the archive knows of a picture of the run: its row, and its look once worked out.
struct ArchivedPicture {
    std::int64_t row = 0;
    std::optional<PictureLook> look;  // 0 pixels: it cannot be decoded
};

QString ArchiveOf(const QDir& run) {
    return CrawlArchive::PathIn(QFileInfo(run.absolutePath()).path());
}

// The run's kept pictures as the archive knows them, by file name. Never writes nor waits.
QHash<QString, ArchivedPicture> ArchivedPictures(const QDir& run) {
    QHash<QString, ArchivedPicture> pictures;
    SqliteDb db;
    if (!db.openReadOnly(ArchiveOf(run))) return pictures;
    // the latest row of a name wins: a run folder deleted by hand may be used again
    SqliteDb::Statement s = db.prepare(
        "SELECT a.id, a.file_name, a.look, a.pixels IS NOT NULL, a.pixels FROM attempts a "
        "JOIN runs r ON a.run = r.id WHERE r.folder = ? AND a.kind = 'picture' "
        "AND a.outcome = 'kept' ORDER BY a.id");
    s.bind(1, run.dirName());
    while (s.next()) {
        ArchivedPicture& picture = pictures[s.text(1)];
        picture.row = s.number(0);
        picture.look.reset();
        if (s.number(3)) picture.look = PictureLook{HashOfStored(s.number(2)), s.number(4)};
    }
    return pictures;
}

// The looks worked out go into an archive that is there and can take them; else they are
// simply not stored.
void StoreRunLooks(const QDir& run, const std::vector<RowLook>& looks) {
    if (looks.empty()) return;
    SqliteDb db;
    if (!db.open(ArchiveOf(run), false, kBusyTimeoutMs)) return;   // never made for this
    if (ArchiveSchemaVersion(db) > kArchiveSchemaVersion) return;  // a newer program's: left alone
    db.exec("PRAGMA synchronous=NORMAL");  // WAL: a commit needs no flush of the disk
    StoreLooks(db, looks);
}

}  // namespace

std::vector<std::vector<QString>> GroupRunLookAlikes(const QString& runFolder,
                                                     const std::atomic<bool>* stop) {
    const QDir run(runFolder);
    const QHash<QString, ArchivedPicture> archived = ArchivedPictures(run);
    std::vector<LookedPicture> pictures;
    QStringList missing;
    std::vector<std::int64_t> rows;  // by missing picture; 0 where the archive has none
    for (const QString& name : run.entryList(QDir::Files, QDir::Name)) {
        const auto known = archived.constFind(name);
        if (known != archived.cend() && known->look) {
            if (known->look->pixels > 0) pictures.push_back({run.filePath(name), *known->look});
            continue;
        }
        missing << run.filePath(name);
        rows.push_back(known != archived.cend() ? known->row : 0);
    }
    const std::vector<std::optional<PictureLook>> worked = WorkOutLooks(missing, stop);
    std::vector<RowLook> toStore;
    for (qsizetype i = 0; i < missing.size(); ++i) {
        if (!worked[i]) continue;
        if (rows[i] > 0) toStore.push_back({rows[i], *worked[i]});
        if (worked[i]->pixels > 0) pictures.push_back({missing[i], *worked[i]});
    }
    StoreRunLooks(run, toStore);  // what was worked out before a stop too
    if (stop && stop->load()) return {};
    return GroupLookAlikes(std::move(pictures));
}
