#include "crawl/BodyFile.h"

#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <utility>

#include "core/SteadyHash.h"
#include "crawl/FileDigest.h"

namespace {

// Bodies dropped without a name from this size on are closed on a worker thread.
constexpr std::int64_t kCloseElsewhereFrom = 8 << 20;

// An unnamed file's last close frees every block it holds: for a capped page of a gzip bomb
// that held the window's thread for a tenth of a second, and nobody waits for its outcome.
struct DroppedFile {
    RunStorage* storage;
    int handle;
    DroppedFile(RunStorage* s, int h) : storage(s), handle(h) {}
    DroppedFile(DroppedFile&& other) noexcept
        : storage(other.storage), handle(std::exchange(other.handle, -1)) {}
    DroppedFile(const DroppedFile&) = delete;
    ~DroppedFile() {
        if (handle >= 0) storage->close(handle);
    }
};

}  // namespace

BodyFile::BodyFile(RunStorage& storage, bool digest) : mStorage(storage) {
    if (digest) mDigest = std::make_unique<Sha256>();
}

BodyFile::~BodyFile() {
    if (mUnnamed && mHandle >= 0 && mSize >= kCloseElsewhereFrom)
        FreeElsewhere(DroppedFile(&mStorage, std::exchange(mHandle, -1)));
    close();
    if (!mPath.isEmpty()) mStorage.remove(mPath);
}

int BodyFile::create(const QString& folder) {
    const int error = mStorage.createUnnamed(folder, &mHandle);
    mUnnamed = error == 0;
    if (error != EOPNOTSUPP) return error;
    return mStorage.createTemporary(folder, &mPath, &mHandle);
}

int BodyFile::write(const char* data, std::size_t size) {
    if (mBroken) return mBroken;
    const int error = mStorage.write(mHandle, data, size);
    if (error) {
        if (mStorage.truncate(mHandle, mSize) != 0) mBroken = error;
        return error;
    }
    mSize += static_cast<std::int64_t>(size);
    if (mDigest) mDigest->update(data, size);
    return 0;
}

int BodyFile::rewind() {
    if (mBroken) return mBroken;
    if (const int error = mStorage.truncate(mHandle, 0)) return error;
    mSize = 0;
    if (mDigest) mDigest = std::make_unique<Sha256>();
    return 0;
}

int BodyFile::finish() {
    return mUnnamed ? 0 : close();
}

int BodyFile::publish(const QString& path) {
    if (!mUnnamed) {
        const int error = mStorage.rename(mPath, path, false);
        if (error == 0) mPath.clear();
        return error;
    }
    if (const int error = mStorage.publish(mHandle, path)) return error;
    // a close that fails says the bytes may not have landed: the name goes again
    const int closeError = close();
    if (closeError) mStorage.remove(path);
    return closeError;
}

std::optional<QByteArray> BodyFile::contents(std::int64_t most) const {
    if (mSize > most) return std::nullopt;
    if (mHandle < 0) {  // a hidden file, closed once finished
        QFile file(mPath);
        if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
        QByteArray bytes = file.read(mSize + 1);
        return bytes.size() == mSize ? std::optional(bytes) : std::nullopt;
    }
    return ReadWhole(mHandle, mSize);
}

std::optional<QByteArray> ReadWhole(int handle, std::int64_t size) {
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    for (std::int64_t done = 0; done < size;) {
        const ssize_t got = ::pread(handle, bytes.data() + done, std::size_t(size - done), done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;
        done += got;
    }
    return bytes;
}

QByteArray BodyFile::sha256() {
    return mDigest ? mDigest->digest() : QByteArray();
}

int BodyFile::close() {
    const int handle = mHandle;
    mHandle = -1;
    return handle < 0 ? 0 : mStorage.close(handle);
}
