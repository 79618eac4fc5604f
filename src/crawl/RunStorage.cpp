#include "crawl/RunStorage.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <atomic>
#include <cerrno>
#include <cstdio>

#include "crawl/Download.h"

namespace {

RunStorage* gStorage = nullptr;

QByteArray Name(const QString& path) {
    return QFile::encodeName(path);
}

int ErrorOf(int result) {
    return result == 0 ? 0 : errno;
}

}  // namespace

int PosixRunStorage::createTemporary(const QString& folder, QString* path, int* handle) {
    // Created with the permissions of any file the user creates (the umask applies), not a
    // temporary's 0600, so that nothing is changed on it afterwards.
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const QByteArray prefix = Name(folder + QStringLiteral("/.download-"));
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = prefix;
        quint64 bits = QRandomGenerator::global()->generate64();
        for (int i = 0; i < 8; ++i, bits /= 62) name += kLetters[bits % 62];
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return errno;
        *path = QFile::decodeName(name);
        *handle = fd;
        return 0;
    }
    return EEXIST;
}

namespace {

// An unnamed file takes its name through its /proc link, which needs no privilege.
bool ProcFdLinks() {
    static const bool present = ::access("/proc/self/fd", X_OK) == 0;
    return present;
}

}  // namespace

int PosixRunStorage::createUnnamed(const QString& folder, int* handle) {
#ifdef O_TMPFILE
    if (!ProcFdLinks()) return EOPNOTSUPP;
    const int fd = ::open(Name(folder).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd >= 0) {
        *handle = fd;
        return 0;
    }
    // older kernels and file systems without unnamed files answer with one of these
    return errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL ? EOPNOTSUPP : errno;
#else
    (void)folder;
    (void)handle;
    return EOPNOTSUPP;
#endif
}

int PosixRunStorage::publish(int handle, const QString& to) {
    const QByteArray target = Name(to);
    // Kernels since 6.10 let the opener name an unnamed file straight from its descriptor, a
    // look-up through /proc the less. Older ones refuse with ENOENT, as for a folder gone: the
    // /proc link tells which it was.
    static std::atomic<bool> direct{true};
    const bool tried = direct.load(std::memory_order_relaxed);
    if (tried) {
        if (::linkat(handle, "", AT_FDCWD, target.constData(), AT_EMPTY_PATH) == 0) return 0;
        if (errno != ENOENT) return errno;
    }
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(handle);
    const int error = ErrorOf(
        ::linkat(AT_FDCWD, link.constData(), AT_FDCWD, target.constData(), AT_SYMLINK_FOLLOW));
    if (tried && error == 0) direct.store(false, std::memory_order_relaxed);
    return error;
}

int PosixRunStorage::write(int handle, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(handle, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        data += n;
        size -= std::size_t(n);
    }
    return 0;
}

int PosixRunStorage::truncate(int handle, std::int64_t size) {
    if (::ftruncate(handle, static_cast<off_t>(size)) != 0) return errno;
    return ::lseek(handle, static_cast<off_t>(size), SEEK_SET) < 0 ? errno : 0;
}

int PosixRunStorage::close(int handle) {
    // after a failed close the descriptor is gone all the same: never close it twice
    return ::close(handle) == 0 || errno == EINTR ? 0 : errno;
}

int PosixRunStorage::rename(const QString& from, const QString& to, bool replace) {
    const QByteArray source = Name(from);
    const QByteArray target = Name(to);
    if (replace) return ErrorOf(std::rename(source.constData(), target.constData()));
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
#endif
    // File systems without an atomic no-replace rename: a hard link never replaces either.
    if (::link(source.constData(), target.constData()) == 0) {
        ::unlink(source.constData());
        return 0;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != ENOSYS) return errno;
    if (EntryExists(to)) return EEXIST;
    return ErrorOf(std::rename(source.constData(), target.constData()));
}

int PosixRunStorage::remove(const QString& path) {
    return ErrorOf(::unlink(Name(path).constData()));
}

int PosixRunStorage::makeFolder(const QString& path) {
    return ErrorOf(::mkdir(Name(path).constData(), 0777));
}

RunStorage& CurrentRunStorage() {
    static PosixRunStorage fileSystem;
    return gStorage ? *gStorage : fileSystem;
}

void SetRunStorage(RunStorage* storage) {
    gStorage = storage;
}

int SaveWholeFile(RunStorage& storage, const QString& path, const QByteArray& bytes) {
    QString temporary;
    int handle = -1;
    const QString folder = QFileInfo(path).path();
    if (const int error = storage.createTemporary(folder, &temporary, &handle)) return error;
    int error = storage.write(handle, bytes.constData(), std::size_t(bytes.size()));
    const int closeError = storage.close(handle);
    if (!error) error = closeError;
    if (!error) error = storage.rename(temporary, path, true);
    if (error) storage.remove(temporary);
    return error;
}

int FlushFileSystemOf(const QString& folder) {
    const int fd = ::open(Name(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = ErrorOf(::syncfs(fd));
    ::close(fd);
    return error;
}

StorageFault StorageFaultIn(const QString& folder, int error) {
    StorageFault fault{error, folder};
    if (error == ENOENT || error == ENOTDIR) {
        const QString above = QFileInfo(folder).path();
        if (!EntryExists(above)) fault.folder = above;
    }
    return fault;
}

QString StorageCauseText(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("空き容量が足りません");
        case ENOENT:
        case ENOTDIR:
            return QStringLiteral("フォルダが見つかりません");
        case EACCES:
        case EPERM:
        case EROFS:
            return QStringLiteral("書き込みが許可されていません");
        default:
            return QStringLiteral("読み書きのエラー");
    }
}
