#include "archive/ArchiveLooks.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <cstring>
#include <future>

#include "archive/RowPaths.h"
#include "archive/SqliteDb.h"
#include "core/Elsewhere.h"

namespace {

// Rows per commit while looks are stored: a few milliseconds of holding the lock, well within
// the wait of a crawl's writer.
constexpr std::size_t kLooksPerCommit = 256;

// The look workers' own pool: a grouping of thousands of pictures keeps its workers for seconds,
// and the short jobs of Qt's global pool (a crawl's picture look, a page's parse) must not wait
// behind them.
QThreadPool& LookPool() {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;  // lives as long as the program, like its idle threads
        p->setMaxThreadCount(std::clamp(QThread::idealThreadCount(), 1, 8));
        return p;
    }();
    return *pool;
}

}  // namespace

QString DownloadFolder(SqliteDb& db) {
    SqliteDb::Statement s = db.prepare("SELECT file FROM pragma_database_list WHERE name = 'main'");
    return s.next() ? QFileInfo(s.text(0)).path() : QString();
}

bool StillThere(const QString& downloads, const QString& file, std::int64_t bytes) {
    struct stat st {};
    const QByteArray path = QFile::encodeName(downloads + u'/' + file);
    return ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == bytes;
}

bool StoreLooks(SqliteDb& db, const std::vector<RowLook>& looks) {
    SqliteDb::Statement s =
        db.prepare("UPDATE attempts SET look = ?, pixels = ? WHERE id = ? AND pixels IS NULL");
    if (!s.valid()) return false;
    for (std::size_t i = 0; i < looks.size();) {
        if (!db.exec("BEGIN IMMEDIATE")) return false;
        for (const std::size_t end = std::min(looks.size(), i + kLooksPerCommit); i < end; ++i) {
            const PictureLook& look = looks[i].look;
            if (look.pixels > 0)
                s.bind(1, StoredHash(look.hash));
            else
                s.bind(1, QString());
            s.bind(2, look.pixels).bind(3, looks[i].row);
            const bool written = s.run();
            s.reset();
            if (!written) {
                db.exec("ROLLBACK");
                return false;
            }
        }
        if (!db.exec("COMMIT")) {
            db.exec("ROLLBACK");
            return false;
        }
    }
    return true;
}

std::vector<std::optional<PictureLook>> WorkOutLooks(const QStringList& paths,
                                                     const std::atomic<bool>* stop) {
    std::vector<std::optional<PictureLook>> looks(paths.size());
    std::atomic<qsizetype> next{0};
    const auto work = [&] {
        for (qsizetype i; (i = next++) < paths.size();) {
            if (stop && stop->load(std::memory_order_relaxed)) return;
            looks[i] = LookOfPicture(paths[i]);
            if (!looks[i] && QFileInfo::exists(paths[i])) looks[i] = PictureLook{};
        }
    };
    // The helpers use what lies here: they are waited for however this ends.
    struct Helpers {
        std::vector<std::future<void>> running;
        ~Helpers() {
            for (const std::future<void>& helper : running) helper.wait();
        }
    } helpers;
    for (qsizetype t = 1; t < LookPool().maxThreadCount() && t < paths.size(); ++t)
        helpers.running.push_back(RunElsewhere(work, &LookPool()));
    work();
    return looks;
}

// One pass over the earlier runs' kept pictures still on disk: the looks known, and the rows
// still without one.
EarlierLooks::EarlierLooks(SqliteDb& db, std::int64_t exceptRun) : mDownloads(DownloadFolder(db)) {
    SqliteDb::Statement s = db.prepare(
        "SELECT a.id, r.folder, a.file_name, a.look, a.pixels, a.bytes FROM attempts a JOIN runs r "
        "ON a.run = r.id WHERE a.kind = 'picture' AND a.outcome = 'kept' "
        "AND a.file_name IS NOT NULL AND a.run <> ?");
    s.bind(1, exceptRun);
    while (s.next()) {
        const QString picture = RunFilePath(s.text(1), s.text(2));
        if (picture.isEmpty() || !StillThere(mDownloads, picture, s.number(5))) continue;
        if (s.text(4).isNull()) {  // pixels not yet known
            mRows.push_back(s.number(0));
            mPictures << picture;
        } else if (!s.text(3).isNull()) {  // 0 pixels and no look: it cannot be decoded
            mKnown.push_back({picture, PictureLook{HashOfStored(s.number(3)), s.number(4)}});
        }
    }
}

void EarlierLooks::workOut() {
    const QDir downloads(mDownloads);
    QStringList paths;
    for (const QString& picture : mPictures) paths << downloads.filePath(picture);
    mLooks = WorkOutLooks(paths, &mStop);
}

std::vector<KeptLook> EarlierLooks::all() const {
    std::vector<KeptLook> looks = mKnown;
    for (std::size_t i = 0; i < mLooks.size(); ++i)
        if (mLooks[i] && mLooks[i]->pixels > 0)
            looks.push_back({mPictures[qsizetype(i)], *mLooks[i]});
    return looks;
}

bool EarlierLooks::store(SqliteDb& db) const {
    std::vector<RowLook> worked;
    for (std::size_t i = 0; i < mLooks.size(); ++i)
        if (mLooks[i]) worked.push_back({mRows[i], *mLooks[i]});
    return StoreLooks(db, worked);
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
