#pragma once
// The body of a transfer started ahead. Small bodies stay in memory; a body that outgrows
// kMemoryBytes moves to a file without a name in the run folder: it takes disk space only while
// it is held, and vanishes with its descriptor, so nothing fetched ahead can stay behind, not
// even after a crash.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

class AheadFile {
public:
    // Creating a file costs about a millisecond on a busy disk, more than the transfer of a
    // typical picture over loopback: most bodies never touch the disk.
    static constexpr std::int64_t kMemoryBytes = std::int64_t{1} << 20;

    AheadFile() = default;
    ~AheadFile();
    AheadFile(const AheadFile&) = delete;
    AheadFile& operator=(const AheadFile&) = delete;
    AheadFile(AheadFile&& other) noexcept;
    AheadFile& operator=(AheadFile&& other) noexcept;

    // False when folder cannot hold a file (the file itself is made only when needed).
    bool open(const QString& folder);
    // True when the file system of folder has at least bytes free for an ordinary user.
    static bool RoomIn(const QString& folder, std::int64_t bytes);
    void close();
    bool isOpen() const { return mOpen; }

    // Makes room in memory for a body of that many bytes (a hint; nothing when it would not
    // stay in memory anyway).
    void expect(std::int64_t bytes);
    // Appends all of the bytes; false when they could not all be written.
    bool write(const char* data, std::size_t size);
    // The errno of the write that failed (a full disk, a folder gone), else 0.
    int error() const { return mError; }
    std::int64_t size() const { return mSize; }
    // The whole body while it is still in memory, else null.
    const QByteArray* memory() const { return mFd < 0 ? &mMemory : nullptr; }
    // Bytes read at offset: 0 at the end, -1 on a read error.
    std::int64_t readAt(std::int64_t offset, char* buffer, std::size_t capacity) const;

private:
    bool spill();

    QString mFolder;
    QByteArray mMemory;
    int mFd = -1;
    std::int64_t mSize = 0;
    int mError = 0;
    bool mOpen = false;
};
