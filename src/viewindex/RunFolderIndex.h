#pragma once
// The viewer's view of a run folder: which file a sequence number names, the nearest numbered
// file in either direction, and the list of all entries for the refresh count. The listing is
// kept as a snapshot, sorted by number, and read again as soon as the folder's modification
// time has moved. That time is looked at whenever something else
// may have run since the last probe (the event loop ran, or the caller paused between probes)
// and at least every millisecond for other programs.

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/SequenceName.h"

// Size in kilobytes of 1000 bytes for the caption: below 1000 bytes (or unreadable, negative)
// it is 1; otherwise bytes / 1000 rounded to the nearest, halves to the even neighbour.
qint64 KilobytesOf(qint64 bytes);

// One reading of a folder: the listed entries (regular files and links to them, hidden names
// left out) in byte order of their names, and for every sequence number the first of them.
struct FolderListing {
    QStringList names;
    struct Numbered {
        std::int32_t number;
        int index;  // into names
    };
    std::vector<Numbered> numbered;  // ascending by number, one per number

    // Index into names of the first entry of that number, or -1.
    int Find(std::int32_t number) const;
};

// Reads a folder once: the listing that every look-up and refresh works from. A large folder
// takes a while: pause (when given) is called after every small step (an entry listed, a few
// hundred names put in order), so that it can keep a window live by its own clock.
std::shared_ptr<const FolderListing> ReadFolder(const QString& folder,
                                                const std::function<void()>& pause = {});

class RunFolderIndex {
public:
    RunFolderIndex();
    ~RunFolderIndex();
    RunFolderIndex(const RunFolderIndex&) = delete;
    RunFolderIndex& operator=(const RunFolderIndex&) = delete;

    struct Found {
        std::int32_t number;
        QString name;  // bare
    };
    // The numbered file nearest to from among the numbers from `from` to `to`, both included;
    // `to` may lie below `from`. Nothing when that stretch has none.
    std::optional<Found> Nearest(const QString& folder, qint64 from, qint64 to);
    // Bare name of the file of that number in the folder, or empty when it has none.
    QString Lookup(const QString& folder, std::int32_t number);
    // Every listed entry of the folder, as it is now. The listing stays valid for the caller
    // even if the folder is read again meanwhile.
    std::shared_ptr<const FolderListing> Entries(const QString& folder);
    // Forgets the snapshot: the next question reads the folder again (after our own deletion).
    void Invalidate() { mListing.reset(); }
    // The next question looks at the folder's time first (an operation of the user begins).
    void Recheck() { mLookAgain = true; }

    // Called after every small step while a folder is read (the viewer lets the window
    // system run there). It may throw; the snapshot is then left as it was.
    void setPause(std::function<void()> pause) { mPause = std::move(pause); }

    // How many times the folder was actually read (for tests and the benchmark).
    int Reads() const { return mReads; }
    // How many searches were made, and how often the folder's time was looked at.
    qint64 Lookups() const { return mLookups; }
    qint64 Checks() const { return mChecks; }

private:
    const FolderListing& Current(const QString& folder);
    bool FolderChanged(const QString& folder) const;
    void Reread(const QString& folder);
    void WatchEventProcessing();

    std::function<void()> mPause;
    QString mFolder;
    std::shared_ptr<const FolderListing> mListing;
    qint64 mFolderTime = -1;  // modification time (ns) of the folder when it was read
    bool mUnsure = false;     // the folder changed so recently that one tick may hide another
    QElapsedTimer mClock;
    qint64 mLastQuestionNs = 0;
    qint64 mLastCheckNs = 0;
    // Set whenever the event loop ran: any handler may have changed the folder meanwhile.
    bool mLookAgain = true;
    bool mWatching = false;
    QMetaObject::Connection mWatch;
    int mReads = 0;
    qint64 mLookups = 0;
    mutable qint64 mChecks = 0;
};
