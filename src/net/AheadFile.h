#pragma once
// The body of a transfer started ahead, kept in a file without a name in the run folder: it
// takes disk space only while it is held, and vanishes with its descriptor, so nothing fetched
// ahead can stay behind, not even after a crash.

#include <QString>
#include <cstddef>
#include <cstdint>

class AheadFile {
public:
    AheadFile() = default;
    ~AheadFile();
    AheadFile(const AheadFile&) = delete;
    AheadFile& operator=(const AheadFile&) = delete;
    AheadFile(AheadFile&& other) noexcept;
    AheadFile& operator=(AheadFile&& other) noexcept;

    // False when no file can be made in folder.
    bool open(const QString& folder);
    // True when the file system of folder has at least bytes free for an ordinary user.
    static bool RoomIn(const QString& folder, std::int64_t bytes);
    void close();
    bool isOpen() const { return mFd >= 0; }

    // Appends all of the bytes; false when they could not all be written.
    bool write(const char* data, std::size_t size);
    std::int64_t size() const { return mSize; }
    // Bytes read at offset: 0 at the end, -1 on a read error.
    std::int64_t readAt(std::int64_t offset, char* buffer, std::size_t capacity) const;

private:
    int mFd = -1;
    std::int64_t mSize = 0;
};
