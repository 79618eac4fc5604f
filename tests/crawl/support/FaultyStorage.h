#pragma once
// The file system with faults on request: installs itself as the crawl's storage and passes
// every operation on to the real one, unless a rule answers with an errno first. It can also
// play a disk with only so many bytes free under one folder: a write that does not fit lands
// in part, then fails with ENOSPC, as on a real full disk; a file cut back or removed gives its
// bytes back. Writes may come from the transfer thread: every operation takes a lock.

#include <QString>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

#include "crawl/RunStorage.h"

class FaultyStorage final : public RunStorage {
public:
    enum class Op { Create, Write, Rename, Remove, MakeFolder, Count };

    FaultyStorage() { SetRunStorage(this); }
    ~FaultyStorage() override { SetRunStorage(nullptr); }
    FaultyStorage(const FaultyStorage&) = delete;
    FaultyStorage& operator=(const FaultyStorage&) = delete;

    // Asked before every operation with the folder (Create), the file written, the target
    // (Rename) or the path; an errno fails the operation, 0 lets it run.
    std::function<int(Op, const QString&)> fault;
    // Bytes that still fit in files under limitedFolder; negative: no limit.
    std::int64_t freeBytes = -1;
    QString limitedFolder;
    int calls(Op op) const { return mCalls[int(op)]; }

    int createTemporary(const QString& folder, QString* path, int* handle) override {
        const std::lock_guard<std::recursive_mutex> lock(mLock);
        if (const int e = ask(Op::Create, folder)) return e;
        const int e = mReal.createTemporary(folder, path, handle);
        if (e == 0) mOpen[*handle] = *path;
        return e;
    }
    int write(int handle, const char* data, std::size_t size) override {
        const std::lock_guard<std::recursive_mutex> lock(mLock);
        const QString& path = mOpen[handle];
        if (const int e = ask(Op::Write, path)) return e;
        const bool limited = freeBytes >= 0 && path.startsWith(limitedFolder);
        if (limited && std::int64_t(size) > freeBytes) {
            mReal.write(handle, data, std::size_t(freeBytes));
            use(path, freeBytes);
            return ENOSPC;
        }
        if (limited) use(path, std::int64_t(size));
        return mReal.write(handle, data, size);
    }
    int truncate(int handle, std::int64_t size) override {
        const std::lock_guard<std::recursive_mutex> lock(mLock);
        const QString& path = mOpen[handle];
        if (freeBytes >= 0 && mUsed.count(path)) use(path, size - mUsed[path]);
        return mReal.truncate(handle, size);
    }
    int close(int handle) override {
        const std::lock_guard<std::recursive_mutex> lock(mLock);
        mOpen.erase(handle);
        return mReal.close(handle);
    }
    int rename(const QString& from, const QString& to, bool replace) override {
        const std::lock_guard<std::recursive_mutex> lock(mLock);
        if (const int e = ask(Op::Rename, to)) return e;
        const int e = mReal.rename(from, to, replace);
        if (e == 0 && mUsed.count(from)) mUsed[to] = std::exchange(mUsed[from], 0);
        return e;
    }
    int remove(const QString& path) override {
        const std::lock_guard<std::recursive_mutex> lock(mLock);
        if (const int e = ask(Op::Remove, path)) return e;
        const int e = mReal.remove(path);
        if (e == 0 && mUsed.count(path)) use(path, -mUsed[path]);
        return e;
    }
    int makeFolder(const QString& path) override {
        const std::lock_guard<std::recursive_mutex> lock(mLock);
        if (const int e = ask(Op::MakeFolder, path)) return e;
        return mReal.makeFolder(path);
    }

private:
    void use(const QString& path, std::int64_t bytes) {
        mUsed[path] += bytes;
        freeBytes -= bytes;
    }
    int ask(Op op, const QString& path) {
        ++mCalls[int(op)];
        return fault ? fault(op, path) : 0;
    }
    std::recursive_mutex mLock;
    std::map<QString, std::int64_t> mUsed;  // bytes under limitedFolder, by file
    PosixRunStorage mReal;
    std::map<int, QString> mOpen;
    int mCalls[int(Op::Count)] = {};
};
