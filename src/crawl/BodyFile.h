#pragma once
// The file a fetched body goes to, straight as it arrives, before it takes its numbered name:
// one without a name where the file system allows (nothing to rename, nothing to remove, and
// nothing left behind by a crash), else a hidden one, removed again unless it took its name.
// Its size and, when asked for, its SHA-256 are worked out from the bytes as they are written.
// Written from the thread that receives the body, named from the run's thread afterwards.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "crawl/RunStorage.h"

class Sha256;

// The size bytes of the open file handle from its start; nothing when they cannot all be read.
std::optional<QByteArray> ReadWhole(int handle, std::int64_t size);

class BodyFile {
public:
    BodyFile(RunStorage& storage, bool digest);
    ~BodyFile();
    BodyFile(const BodyFile&) = delete;
    BodyFile& operator=(const BodyFile&) = delete;

    // 0 or errno.
    int create(const QString& folder);
    // Writes all of the bytes, or none: a write that failed part-way is taken back, so that the
    // same bytes can be written again once there is room.
    int write(const char* data, std::size_t size);
    // Takes back every byte written: a try that broke part-way starts over. 0 or errno.
    int rewind();
    // Ends the writing; an unnamed file stays open until it has its name.
    int finish();
    // Gives the body the name path; EEXIST when that name was taken meanwhile.
    int publish(const QString& path);

    std::int64_t size() const { return mSize; }
    // The bytes written, read back once the writing ended; nothing when there are more than most
    // or they cannot be read.
    std::optional<QByteArray> contents(std::int64_t most) const;
    // The raw digest of the bytes written; empty when not asked for.
    QByteArray sha256();

private:
    int close();

    RunStorage& mStorage;
    QString mPath;
    int mHandle = -1;
    bool mUnnamed = false;
    std::int64_t mSize = 0;
    int mBroken = 0;  // a failed write could not be taken back: every later one fails so
    std::unique_ptr<Sha256> mDigest;
};
