#pragma once
// What the hostile-file tests share: quick ways to make large, sparse and garbage files, a
// snapshot of a folder tree to prove that nothing outside one folder or file changed, and a
// test for the one case where permission bits cannot be relied on (running as root).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHashFunctions>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <map>
#include <random>
#include <thread>

#include "QtPrinters.h"

namespace hostile {

// Bytes that look like nothing: every value 0..255, line ends and NULs included. The same seed
// gives the same bytes, so a failure can be reproduced.
inline QByteArray Garbage(qsizetype size, unsigned seed = 7) {
    std::mt19937 random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) bytes[i] = char(random() & 0xFF);
    return bytes;
}

inline bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// A file of `size` bytes: head at the start, tail at the very end, a hole of zero bytes between
// that costs neither time nor disk.
inline bool WriteSparse(const QString& path, qint64 size, const QByteArray& head,
                        const QByteArray& tail) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(head) != head.size()) return false;
    if (!file.resize(size - tail.size()) || !file.seek(size - tail.size())) return false;
    return file.write(tail) == tail.size();
}

// Empty files, many of them, with one system call pair each.
inline int CreateEmptyFiles(const QString& folder, const QStringList& names) {
    int made = 0;
    for (const QString& name : names) {
        const QByteArray path = QFile::encodeName(folder + u'/' + name);
        const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd >= 0) {
            ::close(fd);
            ++made;
        }
    }
    return made;
}

// A named pipe at path, and a helper that keeps trying to open its writing end. That succeeds
// only while someone has the pipe open for reading, and then also frees a reader that blocked
// in its open: so a reader that would have hung is both noticed and let go.
class PipeWatch {
public:
    explicit PipeWatch(const QString& path) : mPath(QFile::encodeName(path)) {
        mMade = ::mkfifo(mPath.constData(), 0644) == 0;
        mThread = std::thread([this] {
            while (!mDone) {
                const int fd = ::open(mPath.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    mReaderCame = true;
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    ~PipeWatch() {
        mDone = true;
        mThread.join();
    }
    bool made() const { return mMade; }
    bool readerCame() const { return mReaderCame; }

private:
    QByteArray mPath;
    bool mMade = false;
    std::atomic<bool> mDone{false};
    std::atomic<bool> mReaderCame{false};
    std::thread mThread;
};

#if defined(__SANITIZE_ADDRESS__)
#define SR_HOSTILE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SR_HOSTILE_ASAN 1
#endif
#endif

// The most memory this process has held so far, in megabytes. Under AddressSanitizer, whose
// shadow memory and quarantine of freed blocks count as well, it reports 0: memory bounds are
// checked in the ordinary build only.
inline long PeakMemoryMegabytes() {
#ifdef SR_HOSTILE_ASAN
    return 0;
#else
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
#endif
}

// Permission bits do not stop the superuser; tests of unreadable files check this first.
inline bool PermissionsBind(const QString& path) {
    return ::access(QFile::encodeName(path).constData(), R_OK) != 0;
}

// One entry of a folder tree as far as a change to it matters: its kind, and for files and
// links the size, modification time and link target. A folder's own time is left out, since
// creating and removing entries inside it moves it; its entries are compared one by one.
struct EntryState {
    char kind = '?';  // 'f' file, 'd' folder, 'l' link, 'o' other
    qint64 size = 0;
    qint64 mtimeNs = 0;
    QByteArray linkTarget;
    size_t contentHash = 0;  // files up to 1 MB: a rewrite within one clock tick shows too
    bool operator==(const EntryState&) const = default;
};

using Snapshot = std::map<QString, EntryState>;  // by path relative to the root

inline Snapshot TakeSnapshot(const QString& root) {
    Snapshot snapshot;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);  // links are recorded, never followed
    while (it.hasNext()) {
        const QString path = it.next();
        const QByteArray native = QFile::encodeName(path);
        struct stat st {};
        if (::lstat(native.constData(), &st) != 0) continue;
        EntryState e;
        if (S_ISLNK(st.st_mode)) {
            e.kind = 'l';
            char target[4096];
            const ssize_t n = ::readlink(native.constData(), target, sizeof target);
            if (n > 0) e.linkTarget = QByteArray(target, n);
        } else if (S_ISDIR(st.st_mode)) {
            e.kind = 'd';
        } else {
            e.kind = S_ISREG(st.st_mode) ? 'f' : 'o';
            e.size = st.st_size;
            e.mtimeNs = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
            if (S_ISREG(st.st_mode) && st.st_size <= 1024 * 1024)
                e.contentHash = qHash(ReadFile(path));
        }
        snapshot[QDir(root).relativeFilePath(path)] = e;
    }
    return snapshot;
}

inline bool Under(const QString& path, const QString& folder) {
    return path == folder || path.startsWith(folder + u'/');
}

// Every relative path that differs between two snapshots (added, removed or changed), leaving
// out those under the given relative folders.
inline QStringList Changes(const Snapshot& before, const Snapshot& after,
                           const QStringList& allowedFolders = {}) {
    QStringList changed;
    auto allowed = [&](const QString& path) {
        for (const QString& folder : allowedFolders)
            if (Under(path, folder)) return true;
        return false;
    };
    for (const auto& [path, state] : before) {
        const auto it = after.find(path);
        if ((it == after.end() || !(it->second == state)) && !allowed(path)) changed << path;
    }
    for (const auto& [path, state] : after)
        if (!before.count(path) && !allowed(path)) changed << path;
    return changed;
}

}  // namespace hostile
