#pragma once
// The looks of pictures in the crawl archive: three columns of attempts (look, pixels,
// resembles) that an archive written before them gets when it is next written. A kept
// picture's pixels are NULL until its look is worked out, and 0 (with no look) when its file
// could not be decoded, so that it is not decoded again. Private to this library.

#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

#include "crawl/CrawlJournal.h"

class SqliteDb;

// A row of the archive and the look worked out for its picture (0 pixels: it cannot be decoded).
struct RowLook {
    std::int64_t row = 0;
    PictureLook look;
};

// Writes each look into its row where that row has none yet, a few hundred rows per commit so
// that a crawl writing meanwhile waits little for the lock. False at the first failure (locked
// by another program, read-only, no look columns): what was committed before it stays.
bool StoreLooks(SqliteDb& db, const std::vector<RowLook>& looks);

// The looks of paths, worked out on the calling thread and a pool of look workers, on as many
// threads as there are cores (up to 8). A file that cannot be decoded gets a look of 0 pixels;
// one that is gone, or left out by stop, nothing.
std::vector<std::optional<PictureLook>> WorkOutLooks(const QStringList& paths,
                                                     const std::atomic<bool>* stop);

// The pictures the earlier runs kept (every run but exceptRun), read in one pass: the looks the
// archive knows, and those it lacks (of files still there) worked out by workOut. None from an
// archive without the look columns.
class EarlierLooks {
public:
    EarlierLooks(SqliteDb& db, std::int64_t exceptRun);

    const std::vector<KeptLook>& known() const { return mKnown; }
    bool lacksLooks() const { return !mRows.empty(); }
    // On the calling thread and the look workers, until done or stopped.
    void workOut();
    // From any thread: workOut ends after the pictures being decoded.
    void stop() { mStop = true; }
    // After workOut: the known looks and those worked out.
    std::vector<KeptLook> all() const;
    bool store(SqliteDb& db) const;

private:
    std::vector<KeptLook> mKnown;
    std::vector<std::int64_t> mRows;                 // without a look
    QStringList mPictures;                           // "SR0002/000014.jpg", by row
    QString mDownloads;                              // the folder they are in
    std::vector<std::optional<PictureLook>> mLooks;  // by row, once worked out
    std::atomic<bool> mStop{false};
};

// Whether the stored file "SR0002/000014.jpg" of the download folder downloads is still the one
// its row recorded: there, a plain file, and of the recorded size. A picture the user deleted
// or replaced is known no more.
bool StillThere(const QString& downloads, const QString& file, std::int64_t bytes);

// The folder the archive's file lies in: the download folder.
QString DownloadFolder(SqliteDb& db);

// A look as stored: the hash's 64 bits as SQLite's signed integer.
std::int64_t StoredHash(std::uint64_t hash);
std::uint64_t HashOfStored(std::int64_t stored);
