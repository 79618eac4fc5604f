#include "crawl/Download.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <limits>
#include <optional>

#include "core/StringTokens.h"
#include "core/basGlobal.h"
#include "crawl/FileDigest.h"

namespace {

// The counter stops at its largest value: from then on every download fails.
bool RaiseCounter() {
    if (gFileCounter == std::numeric_limits<std::int32_t>::max()) return false;
    ++gFileCounter;
    return true;
}

QString CandidatePath(const QString& extension) {
    return gRunFolder + u'/' + SequenceName(gFileCounter) + extension;
}

// Raises the counter and moves on past every name already present.
bool NextFreePath(const QString& extension, QString& path) {
    if (!RaiseCounter()) return false;
    path = CandidatePath(extension);
    while (EntryExists(path)) {
        if (!RaiseCounter()) return false;
        path = CandidatePath(extension);
    }
    return true;
}

// The file system refuses this one name (an extension from a web page may be anything): the
// attempt is passed over like a failed fetch, the crawl goes on.
bool NameRefused(int error) {
    return error == ENAMETOOLONG || error == EINVAL || error == EILSEQ;
}

// The file a body goes to before it takes its numbered name: one without a name where the file
// system allows (nothing to rename, nothing to remove), else a hidden one, removed again unless
// it took its numbered name.
class TemporaryBody {
public:
    explicit TemporaryBody(RunStorage& storage) : mStorage(storage) {}
    ~TemporaryBody() {
        close();
        if (!mPath.isEmpty()) mStorage.remove(mPath);
    }
    TemporaryBody(const TemporaryBody&) = delete;
    TemporaryBody& operator=(const TemporaryBody&) = delete;

    int create() {
        const int error = mStorage.createUnnamed(gRunFolder, &mHandle);
        mUnnamed = error == 0;
        if (error != EOPNOTSUPP) return error;
        return mStorage.createTemporary(gRunFolder, &mPath, &mHandle);
    }
    int write(const char* data, std::size_t size) { return mStorage.write(mHandle, data, size); }
    // Ends the writing; an unnamed file stays open until it has its name.
    int finish() { return mUnnamed ? 0 : close(); }
    // Gives the body the name path; EEXIST when that name was taken meanwhile.
    int publish(const QString& path) {
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

private:
    int close() {
        const int handle = mHandle;
        mHandle = -1;
        return handle < 0 ? 0 : mStorage.close(handle);
    }

    RunStorage& mStorage;
    QString mPath;
    int mHandle = -1;
    bool mUnnamed = false;
};

}  // namespace

bool EntryExists(const QString& path) {
    if (path.isEmpty()) return false;
    struct stat st {};  // one look, and a dangling link counts
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

QString SequenceName(std::int32_t number) {
    return QString::number(number).rightJustified(6, u'0');
}

QString GetExtension(const QString& url) {
    const QString last = GetToken(url, CountTokens(url, u'/'), u'/');
    return u'.' + GetToken(last, 2, u'.');
}

QString DownloadFile(const QString& url, Fetcher& fetcher, const Fetcher::Progress& progress,
                     StorageFault* fault, StoredBody* stored, const AnswerNaming& naming) {
    const auto storageFailed = [fault](int error) {
        if (fault) *fault = StorageFaultIn(gRunFolder, error);
        return QString();
    };
    QString extension = GetExtension(url);
    // A NUL would cut the name short in the file system's hands and store under another name;
    // the attempt still uses up its number.
    if (extension.contains(QChar(u'\0'))) {
        RaiseCounter();
        return QString();
    }
    QString path;
    if (!NextFreePath(extension, path)) return QString();

    TemporaryBody body(CurrentRunStorage());
    if (const int error = body.create()) return storageFailed(error);
    int writeError = 0;
    std::optional<Sha256> digest;
    if (stored && !fetcher.digestsBodies()) digest.emplace();
    std::int64_t bytes = 0;
    const FetchResult result = fetcher.fetch(
        url,
        [&](const char* data, std::size_t size) {
            writeError = body.write(data, size);
            if (writeError == 0) {
                if (digest) digest->update(data, size);
                bytes += static_cast<std::int64_t>(size);
            }
            return writeError == 0;
        },
        progress);
    if (writeError) return storageFailed(writeError);
    if (result.storageError) return storageFailed(result.storageError);
    if (result.outcome != FetchOutcome::Ok) return QString();
    if (const int error = body.finish()) return storageFailed(error);
    if (naming) {  // the answer says what it is: same number, its extension
        extension = naming(result);
        if (extension.isEmpty()) return QString();
        path = CandidatePath(extension);
    }

    // Never replaces an entry that took the name meanwhile (the user or the viewer may touch
    // the run folder during a crawl): the next free number is taken instead.
    for (;;) {
        const int error = body.publish(path);
        if (error == 0) {
            if (stored) {
                // a fetcher that promised a digest and gave none costs a read-back, not a row
                QByteArray sha = digest ? digest->digest() : result.sha256;
                *stored = {bytes, sha.isEmpty() ? FileSha256(path) : sha};
            }
            return path;
        }
        if (error != EEXIST) return NameRefused(error) ? QString() : storageFailed(error);
        if (!NextFreePath(extension, path)) return QString();
    }
}

namespace {

// A file that is gone already needs no deleting.
void RemoveStored(const QString& path, int* removeError) {
    const int error = CurrentRunStorage().remove(path);
    if (removeError) *removeError = error == ENOENT ? 0 : error;
}

}  // namespace

bool ApplyStoredPageRule(const QString& path, int* removeError) {
    if (removeError) *removeError = 0;
    if (gHTMLAutoDelete != u"0") return false;
    RemoveStored(path, removeError);
    return true;
}

bool ApplySmallImageRule(const QString& path, int* removeError) {
    if (removeError) *removeError = 0;
    if (gPictAutoDelete != u"0") return false;
    // Worked out in 64 bits: a limit from a hand-edited settings file may be any 32-bit value.
    const qint64 limit = static_cast<qint64>(gPictAutoDeleteSize) * 1000;
    if (QFileInfo(path).size() >= limit) return false;
    RemoveStored(path, removeError);
    return true;
}
