#include "viewindex/RunFolderIndex.h"

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <numeric>

namespace {

// Two probes further apart than this had something else run between them (a file written by
// our own program between two calls), so the folder is looked at again before answering.
constexpr qint64 kQuietGapNs = 2'000;
// Even in a tight loop the folder is looked at this often, for other programs' changes.
constexpr qint64 kCheckEveryNs = 1'000'000;
// A folder time this close to the moment of reading may share its clock tick with a change
// made just after the reading; such a snapshot is not trusted. File systems that keep whole
// seconds only (FAT keeps two) get a wider margin.
constexpr qint64 kFineTickMarginNs = 50'000'000;
constexpr qint64 kCoarseTickMarginNs = 2'100'000'000;

// Modification time of the folder in nanoseconds of the file system's clock; -1 when there is
// no such folder. (Read without a calendar conversion: it is compared, never shown.)
qint64 FolderTime(const QString& folder) {
    std::error_code error;
    const auto time = std::filesystem::last_write_time(
        std::filesystem::path(QFile::encodeName(folder).toStdString()), error);
    if (error) return -1;
    return std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
}

qint64 FileSystemNow() {
    const auto now = std::filesystem::file_time_type::clock::now();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count();
}

}  // namespace

qint64 KilobytesOf(qint64 bytes) {
    if (bytes < 1000) return 1;
    qint64 kb = bytes / 1000;
    const qint64 rest = bytes % 1000;
    if (rest > 500 || (rest == 500 && (kb % 2) == 1)) ++kb;
    return kb;
}

int FolderListing::Find(std::int32_t number) const {
    const auto it =
        std::lower_bound(numbered.begin(), numbered.end(), number,
                         [](const Numbered& e, std::int32_t n) { return e.number < n; });
    return (it != numbered.end() && it->number == number) ? it->index : -1;
}

namespace {

// Work between two pauses is cut this small (well under a millisecond), so that the caller can
// keep its window live even while a folder of a hundred thousand names is put in order.
constexpr std::size_t kStep = 512;

// Calls the pause after every kStep units of work.
class Pacer {
public:
    explicit Pacer(const std::function<void()>& pause) : mPause(pause) {}
    void Step() {
        if (mPause && ++mDone % kStep == 0) mPause();
    }
    void Now() {
        if (mPause) mPause();
    }

private:
    const std::function<void()>& mPause;
    std::size_t mDone = 0;
};

// A stable sort done in bounded steps: short runs are sorted, then merged pairwise, a few
// hundred elements between two pauses.
template <class T, class Less>
void SortInSteps(std::vector<T>& items, Less less, Pacer& pacer) {
    const std::size_t n = items.size();
    const auto at = [](std::vector<T>& v, std::size_t i) { return v.begin() + std::ptrdiff_t(i); };
    for (std::size_t i = 0; i < n; i += kStep) {
        std::stable_sort(at(items, i), at(items, std::min(n, i + kStep)), less);
        pacer.Now();
    }
    if (n <= kStep) return;
    std::vector<T> merged(n);
    for (std::size_t width = kStep; width < n; width *= 2) {
        for (std::size_t low = 0; low < n; low += 2 * width) {
            const std::size_t middle = std::min(n, low + width),
                              high = std::min(n, low + 2 * width);
            std::size_t a = low, b = middle;
            for (std::size_t out = low; out < high; ++out) {
                // Of two equal elements the one from the left run goes first: stable.
                const bool left = b >= high || (a < middle && !less(items[b], items[a]));
                merged[out] = std::move(left ? items[a++] : items[b++]);
                pacer.Step();
            }
        }
        items.swap(merged);
    }
}

// Lets go of many byte arrays a few hundred at a time.
void ReleaseInSteps(std::vector<QByteArray>& keys, Pacer& pacer) {
    while (!keys.empty()) {
        keys.resize(keys.size() - std::min(keys.size(), kStep));
        pacer.Now();
    }
}

}  // namespace

std::shared_ptr<const FolderListing> ReadFolder(const QString& folder,
                                                const std::function<void()>& pause) {
    auto listing = std::make_shared<FolderListing>();
    Pacer pacer(pause);
    // Regular files and links to them; names beginning with "." (a crawl's files in the
    // making among them) are hidden and never listed.
    QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot);
    std::vector<QString> names;
    std::vector<QByteArray> keys;  // each name's bytes
    while (it.hasNext()) {
        it.next();
        // Listing an entry may stat it: every entry is a step of its own.
        if (pause) pause();
        QString name = it.fileName();
        if (name.startsWith(QLatin1Char('.'))) continue;
        keys.push_back(QFile::encodeName(name));
        names.push_back(std::move(name));
    }
    // Byte order of the names decides which of two files of one number comes first, so the
    // answer never depends on the order in which the directory happens to return them.
    std::vector<std::uint32_t> order(names.size());
    std::iota(order.begin(), order.end(), std::uint32_t(0));
    SortInSteps(
        order, [&keys](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; }, pacer);
    ReleaseInSteps(keys, pacer);
    listing->names.reserve(qsizetype(names.size()));
    for (const std::uint32_t from : order) {
        const int index = int(listing->names.size());
        if (const auto number = SequenceNumberOf(names[from]))
            listing->numbered.push_back({*number, index});
        listing->names.push_back(std::move(names[from]));
        pacer.Step();
    }
    // Stable: of two files with one number the one first in byte order stays first.
    SortInSteps(
        listing->numbered, [](const auto& a, const auto& b) { return a.number < b.number; }, pacer);
    listing->numbered.erase(
        std::unique(listing->numbered.begin(), listing->numbered.end(),
                    [](const auto& a, const auto& b) { return a.number == b.number; }),
        listing->numbered.end());
    return listing;
}

RunFolderIndex::RunFolderIndex() {
    mClock.start();
}

RunFolderIndex::~RunFolderIndex() {
    QObject::disconnect(mWatch);
}

void RunFolderIndex::WatchEventProcessing() {
    if (mWatching) return;
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
        mWatch = QObject::connect(dispatcher, &QAbstractEventDispatcher::awake,
                                  [this] { mLookAgain = true; });
        mWatching = true;
    }
}

namespace {

// Calls visit on the numbered entries from `from` to `to`, nearest to from first, until it
// returns true.
template <class Visit>
void VisitStretch(const FolderListing& listing, qint64 from, qint64 to, Visit visit) {
    const auto byNumber = [](const FolderListing::Numbered& e, qint64 n) { return e.number < n; };
    const auto& all = listing.numbered;
    const auto low = std::lower_bound(all.begin(), all.end(), std::min(from, to), byNumber);
    const auto high = std::lower_bound(low, all.end(), std::max(from, to) + 1, byNumber);
    if (from <= to) {
        for (auto it = low; it != high; ++it)
            if (visit(*it)) return;
    } else {
        for (auto it = high; it != low;)
            if (visit(*--it)) return;
    }
}

}  // namespace

std::optional<RunFolderIndex::Found> RunFolderIndex::Nearest(const QString& folder, qint64 from,
                                                             qint64 to) {
    ++mLookups;
    const QDir dir(folder);
    for (int pass = 0; pass < 2; ++pass) {
        const FolderListing& listing = Current(folder);
        std::optional<Found> found;
        bool stale = false;
        VisitStretch(listing, from, to, [&](const FolderListing::Numbered& e) {
            const QString& name = listing.names.at(e.index);
            // A hit is confirmed on disk: a link whose target went away changes no folder time.
            // The folder is read once more at the first that fails; after that they are passed.
            if (QFileInfo(dir.filePath(name)).isFile())
                found = Found{e.number, name};
            else
                stale = pass == 0;
            return found || stale;
        });
        if (!stale) return found;
        Reread(folder);
    }
    return std::nullopt;
}

QString RunFolderIndex::Lookup(const QString& folder, std::int32_t number) {
    const std::optional<Found> found = Nearest(folder, number, number);
    return found ? found->name : QString();
}

std::shared_ptr<const FolderListing> RunFolderIndex::Entries(const QString& folder) {
    Current(folder);
    return mListing;
}

const FolderListing& RunFolderIndex::Current(const QString& folder) {
    WatchEventProcessing();
    const qint64 now = mClock.nsecsElapsed();
    const bool look =
        mLookAgain || now - mLastQuestionNs > kQuietGapNs || now - mLastCheckNs > kCheckEveryNs;
    if (!mListing || folder != mFolder || (look && FolderChanged(folder)))
        Reread(folder);
    else if (look)
        mLastCheckNs = now;
    mLookAgain = false;
    // Measured from the end of this question, so that a slow check does not make the next
    // question look slow too.
    mLastQuestionNs = mClock.nsecsElapsed();
    return *mListing;
}

bool RunFolderIndex::FolderChanged(const QString& folder) const {
    ++mChecks;
    return mUnsure || FolderTime(folder) != mFolderTime;
}

void RunFolderIndex::Reread(const QString& folder) {
    // The folder's time is taken before the listing: a change during the listing then shows
    // as a newer time at the next check.
    // Nothing is kept until the whole listing is in: the pause may throw, and a question asked
    // during the pause works from the previous snapshot or reads the folder itself.
    const qint64 readAt = FileSystemNow();
    const qint64 folderTime = FolderTime(folder);
    auto listing = ReadFolder(folder, mPause);
    mFolderTime = folderTime;
    mListing = std::move(listing);
    mFolder = folder;
    ++mReads;
    if (mFolderTime >= 0) {
        const bool wholeSeconds = mFolderTime % 1'000'000'000 == 0;
        const qint64 margin = wholeSeconds ? kCoarseTickMarginNs : kFineTickMarginNs;
        mUnsure = readAt - mFolderTime < margin;
    } else {
        mUnsure = false;  // no folder: its appearance gives it a time
    }
    mLastCheckNs = mClock.nsecsElapsed();
}
