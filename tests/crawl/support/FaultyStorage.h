#pragma once
// The file system with faults on request: installs itself as the crawl's storage and passes
// every operation on to the real one, unless a rule answers with an errno first. It can also
// play a disk with only so many bytes free under one folder: a write that does not fit lands
// in part, then fails with ENOSPC, as on a real full disk.

#include <QString>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <map>

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
        if (const int e = ask(Op::Create, folder)) return e;
        const int e = mReal.createTemporary(folder, path, handle);
        if (e == 0) mOpen[*handle] = *path;
        return e;
    }
    int write(int handle, const char* data, std::size_t size) override {
        const QString& path = mOpen[handle];
        if (const int e = ask(Op::Write, path)) return e;
        if (freeBytes >= 0 && path.startsWith(limitedFolder) && std::int64_t(size) > freeBytes) {
            mReal.write(handle, data, std::size_t(freeBytes));
            freeBytes = 0;
            return ENOSPC;
        }
        if (freeBytes >= 0 && path.startsWith(limitedFolder)) freeBytes -= std::int64_t(size);
        return mReal.write(handle, data, size);
    }
    int close(int handle) override {
        mOpen.erase(handle);
        return mReal.close(handle);
    }
    int rename(const QString& from, const QString& to, bool replace) override {
        if (const int e = ask(Op::Rename, to)) return e;
        return mReal.rename(from, to, replace);
    }
    int remove(const QString& path) override {
        if (const int e = ask(Op::Remove, path)) return e;
        return mReal.remove(path);
    }
    int makeFolder(const QString& path) override {
        if (const int e = ask(Op::MakeFolder, path)) return e;
        return mReal.makeFolder(path);
    }

private:
    int ask(Op op, const QString& path) {
        ++mCalls[int(op)];
        return fault ? fault(op, path) : 0;
    }
    PosixRunStorage mReal;
    std::map<int, QString> mOpen;
    int mCalls[int(Op::Count)] = {};
};
