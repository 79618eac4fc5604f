#pragma once
// The looks of pictures in the crawl archive: three columns of attempts (look, pixels,
// resembles) that an archive written before them gets when it is next written. A kept
// picture's pixels are NULL until its look is worked out, and 0 (with no look) when its file
// could not be decoded, so that it is not decoded again. Private to this library.

#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <optional>
#include <vector>

#include "crawl/CrawlJournal.h"

class SqliteDb;

// The looks of the pictures kept by every run but exceptRun; none from an archive without the
// columns.
std::vector<KeptLook> ReadKeptLooks(SqliteDb& db, std::int64_t exceptRun);

// A row of the archive and the look worked out for its picture (0 pixels: it cannot be decoded).
struct RowLook {
    std::int64_t row = 0;
    PictureLook look;
};

// Writes each look into its row where that row has none yet, a few hundred rows per commit so
// that a crawl writing meanwhile waits little for the lock. False at the first failure (locked
// by another program, read-only, no look columns): what was committed before it stays.
bool StoreLooks(SqliteDb& db, const std::vector<RowLook>& looks);

// The looks of paths, worked out on as many threads as there are cores (up to 8). A file that
// cannot be decoded gets a look of 0 pixels; one that is gone, or left out by stop, nothing.
std::vector<std::optional<PictureLook>> WorkOutLooks(const QStringList& paths,
                                                     const std::atomic<bool>* stop);

// The kept pictures of the earlier runs (every run but exceptRun) whose look the archive lacks,
// worked out on threads of their own from the moment this is made.
class EarlierLooks {
public:
    EarlierLooks(SqliteDb& db, std::int64_t exceptRun);
    // Stops what is still under way and waits for the pictures being decoded.
    ~EarlierLooks();
    EarlierLooks(const EarlierLooks&) = delete;
    EarlierLooks& operator=(const EarlierLooks&) = delete;

    // Calls turn every few milliseconds until every look is worked out, then adds them to
    // looks. When turn returns false the work stops at once and looks stay as they are.
    void waitAndAdd(const std::function<bool()>& turn, std::vector<KeptLook>& looks);
    // What was worked out, after the pictures still being decoded: it waits for them.
    bool store(SqliteDb& db);

private:
    std::vector<std::int64_t> mRows;
    QStringList mPictures;  // "SR0002/000014.jpg", by row
    std::vector<std::optional<PictureLook>> mLooks;
    std::atomic<bool> mStop{false};
    std::future<void> mDone;  // invalid when there was nothing to work out
};

// A look as stored: the hash's 64 bits as SQLite's signed integer.
std::int64_t StoredHash(std::uint64_t hash);
std::uint64_t HashOfStored(std::int64_t stored);
