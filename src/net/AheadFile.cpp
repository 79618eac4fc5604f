#include "net/AheadFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

#include "crawl/SpareFiles.h"

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
    : mFolder(std::move(other.mFolder)),
      mMemory(std::move(other.mMemory)),
      mFd(std::exchange(other.mFd, -1)),
      mSize(std::exchange(other.mSize, 0)),
      mError(std::exchange(other.mError, 0)),
      mOpen(std::exchange(other.mOpen, false)) {}

AheadFile& AheadFile::operator=(AheadFile&& other) noexcept {
    if (this != &other) {
        close();
        mFolder = std::move(other.mFolder);
        mMemory = std::move(other.mMemory);
        mFd = std::exchange(other.mFd, -1);
        mSize = std::exchange(other.mSize, 0);
        mError = std::exchange(other.mError, 0);
        mOpen = std::exchange(other.mOpen, false);
    }
    return *this;
}

bool AheadFile::open(const QString& folder) {
    close();
    if (folder.isEmpty()) return false;
    mFolder = folder;
    mOpen = true;
    return true;
}

void AheadFile::expect(std::int64_t bytes) {
    if (mFd < 0 && bytes > mMemory.capacity() && bytes <= kMemoryBytes)
        mMemory.reserve(static_cast<qsizetype>(bytes));
}

bool AheadFile::spill() {
    mFd = MakeUnnamedFile(QFile::encodeName(mFolder));
    if (mFd < 0) mFd = OpenAndUnlink(mFolder);
    if (mFd < 0) {
        mError = errno;
        return false;
    }
    QByteArray held = std::exchange(mMemory, {});
    mSize = 0;
    return write(held.constData(), static_cast<std::size_t>(held.size()));
}

bool AheadFile::RoomIn(const QString& folder, std::int64_t bytes) {
    struct statvfs info {};
    if (folder.isEmpty() || ::statvfs(QFile::encodeName(folder).constData(), &info) != 0)
        return false;
    const auto free = static_cast<unsigned long long>(info.f_bavail) * info.f_frsize;
    return free >= static_cast<unsigned long long>(bytes);
}

void AheadFile::close() {
    // The last close of a big unnamed file makes the kernel drop its cached pages, a tenth of a
    // second for half a gigabyte: that is done aside, so the window does not wait for it.
    constexpr std::int64_t kCloseAside = std::int64_t{16} << 20;
    if (mFd >= 0 && mSize > kCloseAside) {
        try {
            std::thread([fd = mFd] { ::close(fd); }).detach();
            mFd = -1;
        } catch (...) {  // no thread to be had: closed here after all
        }
    }
    if (mFd >= 0) ::close(mFd);
    mFd = -1;
    mSize = 0;
    mError = 0;
    mMemory = QByteArray();
    mOpen = false;
}

bool AheadFile::write(const char* data, std::size_t size) {
    if (!mOpen) return false;
    if (mFd < 0) {
        if (mSize + static_cast<std::int64_t>(size) <= kMemoryBytes) {
            mMemory.append(data, static_cast<qsizetype>(size));
            mSize = mMemory.size();
            return true;
        }
        if (!spill()) return false;
    }
    while (size > 0) {
        const ssize_t written = ::write(mFd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            mError = written < 0 ? errno : EIO;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
        mSize += written;
    }
    return true;
}

std::int64_t AheadFile::readAt(std::int64_t offset, char* buffer, std::size_t capacity) const {
    if (mFd < 0) {
        if (!mOpen || offset < 0) return -1;
        const std::int64_t left = std::max<std::int64_t>(0, mSize - offset);
        const auto got = static_cast<std::size_t>(std::min<std::int64_t>(left, capacity));
        if (got > 0) std::memcpy(buffer, mMemory.constData() + offset, got);
        return static_cast<std::int64_t>(got);
    }
    for (;;) {
        const ssize_t got = ::pread(mFd, buffer, capacity, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        return got;
    }
}
