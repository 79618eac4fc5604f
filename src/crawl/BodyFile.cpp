#include "crawl/BodyFile.h"

#include <cerrno>

#include "crawl/FileDigest.h"

BodyFile::BodyFile(RunStorage& storage, bool digest) : mStorage(storage) {
    if (digest) mDigest = std::make_unique<Sha256>();
}

BodyFile::~BodyFile() {
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

QByteArray BodyFile::sha256() {
    return mDigest ? mDigest->digest() : QByteArray();
}

int BodyFile::close() {
    const int handle = mHandle;
    mHandle = -1;
    return handle < 0 ? 0 : mStorage.close(handle);
}
