#include "archive/RunLookAlikes.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <optional>
#include <thread>

#include "archive/ArchiveLooks.h"
#include "archive/CrawlArchive.h"
#include "archive/SqliteDb.h"
#include "look/LookAlikes.h"

namespace {

// What the archive knows of the run's pictures, by file name. Never writes nor waits.
QHash<QString, PictureLook> ArchivedLooks(const QDir& run) {
    QHash<QString, PictureLook> looks;
    SqliteDb db;
    if (!db.openReadOnly(CrawlArchive::PathIn(QFileInfo(run.absolutePath()).path()))) return looks;
    SqliteDb::Statement s = db.prepare(
        "SELECT a.file_name, a.look, a.pixels FROM attempts a JOIN runs r ON a.run = r.id "
        "WHERE r.folder = ? AND a.kind = 'picture' AND a.look IS NOT NULL");
    s.bind(1, run.dirName());
    while (s.next()) looks.insert(s.text(0), PictureLook{HashOfStored(s.number(1)), s.number(2)});
    return looks;
}

// The looks of paths, worked out on as many threads as there are cores.
std::vector<std::optional<PictureLook>> WorkOutLooks(const QStringList& paths,
                                                     const std::atomic<bool>* stop) {
    std::vector<std::optional<PictureLook>> looks(paths.size());
    std::atomic<qsizetype> next{0};
    const auto work = [&] {
        for (qsizetype i; (i = next++) < paths.size();) {
            if (stop && stop->load(std::memory_order_relaxed)) return;
            looks[i] = LookOfPicture(paths[i]);
        }
    };
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    std::vector<std::jthread> workers;
    for (unsigned t = 1; t < threads && t < paths.size(); ++t) workers.emplace_back(work);
    work();
    return looks;
}

}  // namespace

std::vector<std::vector<QString>> GroupRunLookAlikes(const QString& runFolder,
                                                     const std::atomic<bool>* stop) {
    const QDir run(runFolder);
    const QHash<QString, PictureLook> archived = ArchivedLooks(run);
    std::vector<LookedPicture> pictures;
    QStringList missing;
    for (const QString& name : run.entryList(QDir::Files, QDir::Name)) {
        const auto known = archived.constFind(name);
        if (known != archived.cend())
            pictures.push_back({run.filePath(name), *known});
        else
            missing << run.filePath(name);
    }
    const std::vector<std::optional<PictureLook>> worked = WorkOutLooks(missing, stop);
    if (stop && stop->load()) return {};
    for (qsizetype i = 0; i < missing.size(); ++i)
        if (worked[i]) pictures.push_back({missing[i], *worked[i]});
    return GroupLookAlikes(std::move(pictures));
}
