#include "net/AheadFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <utility>

namespace {

// A hidden name that goes at once, where the file system knows no unnamed files.
int OpenAndUnlink(const QString& folder) {
    QByteArray pattern = QFile::encodeName(folder + QStringLiteral("/.ahead-XXXXXX"));
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(pattern.constData());
    return fd;
}

}  // namespace

AheadFile::~AheadFile() {
    close();
}

AheadFile::AheadFile(AheadFile&& other) noexcept
    : mFd(std::exchange(other.mFd, -1)), mSize(std::exchange(other.mSize, 0)) {}

AheadFile& AheadFile::operator=(AheadFile&& other) noexcept {
    if (this != &other) {
        close();
        mFd = std::exchange(other.mFd, -1);
        mSize = std::exchange(other.mSize, 0);
    }
    return *this;
}

bool AheadFile::open(const QString& folder) {
    close();
    if (folder.isEmpty()) return false;
#ifdef O_TMPFILE
    mFd = ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
    if (mFd < 0) mFd = OpenAndUnlink(folder);
    return mFd >= 0;
}

bool AheadFile::RoomIn(const QString& folder, std::int64_t bytes) {
    struct statvfs info {};
    if (folder.isEmpty() || ::statvfs(QFile::encodeName(folder).constData(), &info) != 0)
        return false;
    const auto free = static_cast<unsigned long long>(info.f_bavail) * info.f_frsize;
    return free >= static_cast<unsigned long long>(bytes);
}

void AheadFile::close() {
    if (mFd >= 0) ::close(mFd);
    mFd = -1;
    mSize = 0;
}

bool AheadFile::write(const char* data, std::size_t size) {
    if (mFd < 0) return false;
    while (size > 0) {
        const ssize_t written = ::write(mFd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<std::size_t>(written);
        mSize += written;
    }
    return true;
}

std::int64_t AheadFile::readAt(std::int64_t offset, char* buffer, std::size_t capacity) const {
    if (mFd < 0) return -1;
    for (;;) {
        const ssize_t got = ::pread(mFd, buffer, capacity, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        return got;
    }
}
