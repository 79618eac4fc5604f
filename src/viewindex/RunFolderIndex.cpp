#include "viewindex/RunFolderIndex.h"

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <limits>

#include "core/StringTokens.h"

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

std::optional<std::int32_t> DigitsToNumber(QStringView digits) {
    if (digits.isEmpty()) return std::nullopt;
    qint64 value = 0;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

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

QString SequenceText(std::int32_t number) {
    return QStringLiteral("%1").arg(number, 6, 10, QLatin1Char('0'));
}

std::optional<std::int32_t> SequenceNumberOf(const QString& name) {
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot < 6) return std::nullopt;  // no dot, or fewer than six digits before it
    const QStringView digits = QStringView(name).first(dot);
    if (dot > 6 && digits.front() == u'0') return std::nullopt;  // padding beyond six digits
    return DigitsToNumber(digits);
}

std::optional<std::int32_t> RefreshNumberOf(const QString& name) {
    return DigitsToNumber(GetToken(name, 1, QLatin1Char('.')));
}

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

using Entry = std::pair<QByteArray, QString>;  // the name's bytes, and the name

// Sorts by the names' bytes in pieces, pausing between them, so that a folder of a hundred
// thousand names never holds the window for long.
void SortByBytes(std::vector<Entry>& entries, const std::function<void()>& pause) {
    const auto less = [](const Entry& a, const Entry& b) { return a.first < b.first; };
    const auto at = [&](size_t i) { return entries.begin() + std::ptrdiff_t(i); };
    const size_t n = entries.size();
    constexpr size_t kPiece = 4096;
    for (size_t i = 0; i < n; i += kPiece) {
        std::sort(at(i), at(std::min(n, i + kPiece)), less);
        if (pause && n > kPiece) pause();
    }
    for (size_t width = kPiece; width < n; width *= 2) {
        for (size_t i = 0; i + width < n; i += 2 * width) {
            std::inplace_merge(at(i), at(i + width), at(std::min(n, i + 2 * width)), less);
            if (pause) pause();
        }
    }
}

}  // namespace

std::shared_ptr<const FolderListing> ReadFolder(const QString& folder,
                                                const std::function<void()>& pause) {
    auto listing = std::make_shared<FolderListing>();
    // Regular files and links to them; names beginning with "." (a crawl's files in the
    // making among them) are hidden and never listed.
    QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot);
    std::vector<Entry> entries;
    for (unsigned seen = 1; it.hasNext(); ++seen) {
        it.next();
        if (pause && seen % 256 == 0) pause();
        QString name = it.fileName();
        if (name.startsWith(QLatin1Char('.'))) continue;
        entries.emplace_back(QFile::encodeName(name), std::move(name));
    }
    // Byte order of the names decides which of two files of one number comes first, so the
    // answer never depends on the order in which the directory happens to return them.
    SortByBytes(entries, pause);
    listing->names.reserve(qsizetype(entries.size()));
    for (auto& entry : entries) {
        const int index = int(listing->names.size());
        if (pause && index % 4096 == 4095) pause();
        if (const auto number = SequenceNumberOf(entry.second))
            listing->numbered.push_back({*number, index});
        listing->names.push_back(std::move(entry.second));
    }
    if (pause) pause();
    // Stable: of two files with one number the one first in byte order stays first.
    std::stable_sort(listing->numbered.begin(), listing->numbered.end(),
                     [](const auto& a, const auto& b) { return a.number < b.number; });
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

QString RunFolderIndex::Lookup(const QString& folder, std::int32_t number) {
    ++mLookups;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const FolderListing& listing = Current(folder);
        const int index = listing.Find(number);
        if (index < 0) return QString();
        const QString& name = listing.names.at(index);
        // A hit is confirmed on disk: a link whose target went away changes no folder time.
        if (QFileInfo(QDir(folder).filePath(name)).isFile()) return name;
        Reread(folder);
    }
    return QString();
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
