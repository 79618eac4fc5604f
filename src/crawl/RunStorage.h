#pragma once
// Every write of a crawl (stored pages and images, their deletion, the run folder, a saved
// queue) goes through one RunStorage. Its operations answer with an errno value, 0 for success,
// so that a full disk, a vanished folder or a read-only file system can be told apart from a
// failed fetch; tests put a storage in its place that fails at chosen moments.

#include <QByteArray>
#include <QString>
#include <cerrno>
#include <cstddef>
#include <cstdint>

class RunStorage {
public:
    virtual ~RunStorage() = default;

    // Creates a new, empty, hidden file "<folder>/.download-XXXXXX" with a unique name and the
    // permissions any file the user creates gets; sets path and an open handle.
    virtual int createTemporary(const QString& folder, QString* path, int* handle) = 0;
    // Creates a new, empty file without a name in folder, with the same permissions: it
    // vanishes with its handle unless published, so not even a crash leaves it behind.
    // EOPNOTSUPP when the storage or its file system knows no such files; the caller then uses
    // createTemporary.
    virtual int createUnnamed(const QString& folder, int* handle) {
        (void)folder;
        (void)handle;
        return EOPNOTSUPP;
    }
    // Gives the unnamed file of handle the name to, never replacing an entry: EEXIST when to is
    // taken. The handle stays open.
    virtual int publish(int handle, const QString& to) {
        (void)handle;
        (void)to;
        return EOPNOTSUPP;
    }
    // Writes all of data, or fails.
    virtual int write(int handle, const char* data, std::size_t size) = 0;
    // Cuts the file of handle back to size bytes, and goes on writing there.
    virtual int truncate(int handle, std::int64_t size) {
        (void)handle;
        (void)size;
        return EOPNOTSUPP;
    }
    // Closes the handle in any case; an error says that earlier writes may not have landed.
    virtual int close(int handle) = 0;
    // Gives from the name to. Without replace, an entry already named to is never replaced and
    // the answer is EEXIST.
    virtual int rename(const QString& from, const QString& to, bool replace) = 0;
    virtual int remove(const QString& path) = 0;
    // EEXIST when any entry of that name exists already.
    virtual int makeFolder(const QString& path) = 0;
};

// The file system itself.
class PosixRunStorage final : public RunStorage {
public:
    int createTemporary(const QString& folder, QString* path, int* handle) override;
    int createUnnamed(const QString& folder, int* handle) override;
    int publish(int handle, const QString& to) override;
    int write(int handle, const char* data, std::size_t size) override;
    int truncate(int handle, std::int64_t size) override;
    int close(int handle) override;
    int rename(const QString& from, const QString& to, bool replace) override;
    int remove(const QString& path) override;
    int makeFolder(const QString& path) override;
};

// The storage in use: the file system unless a test installed another (nullptr puts it back).
RunStorage& CurrentRunStorage();
void SetRunStorage(RunStorage* storage);

// Writes bytes to path through a temporary file beside it, replacing what was there only once
// everything was written. Nothing half-written stays behind.
int SaveWholeFile(RunStorage& storage, const QString& path, const QByteArray& bytes);

// Puts everything written to the file system of folder onto the disk, the names taken
// included: one flush for a whole batch of files is what makes them last through a power cut at
// a price a crawl can pay (a flush per file made a fast crawl ten times slower). 0 or errno.
int FlushFileSystemOf(const QString& folder);

// A local storage failure that stops a crawl.
struct StorageFault {
    int error = 0;   // errno; 0 when there was none
    QString folder;  // the folder that could not be written
    explicit operator bool() const { return error != 0; }
};

// The fault of a write into folder; when folder has gone together with the folder above it
// (the download folder), the folder above is the one named.
StorageFault StorageFaultIn(const QString& folder, int error);

// The cause in the program's words: 空き容量が足りません, フォルダが見つかりません,
// 書き込みが許可されていません, or 読み書きのエラー for anything else.
QString StorageCauseText(int error);
