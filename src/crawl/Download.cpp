#include "crawl/Download.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <limits>
#include <memory>

#include "core/StringTokens.h"
#include "core/basGlobal.h"
#include "crawl/BodyFile.h"
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

}  // namespace

bool EntryExists(const QString& path) {
    if (path.isEmpty()) return false;
    struct stat st {};  // one look, and a dangling link counts
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

QString GetExtension(const QString& url) {
    const QString last = GetToken(url, CountTokens(url, u'/'), u'/');
    return u'.' + GetToken(last, 2, u'.');
}

QString StoreBody(const QString& url, const BodySource& source, StorageFault* fault,
                  StoredBody* stored, const AnswerNaming& naming) {
    const auto storageFailed = [fault](int error) {
        if (fault) *fault = StorageFaultIn(gRunFolder, error);
        return QString();
    };
    QString extension = GetExtension(url);
    // A NUL would cut the name short in the file system's hands and store under another name;
    // the attempt still uses up its number.
    if (!NameableExtension(extension)) {
        RaiseCounter();
        return QString();
    }
    QString path;
    if (!NextFreePath(extension, path)) return QString();

    FetchedBody fetched = source(stored != nullptr);
    const FetchResult& result = fetched.result;
    if (result.storageError) return storageFailed(result.storageError);
    if (result.outcome != FetchOutcome::Ok || !fetched.body) return QString();
    BodyFile& body = *fetched.body;
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
                const QByteArray sha = body.sha256();
                *stored = {body.size(), sha.isEmpty() ? FileSha256(path) : sha};
            }
            return path;
        }
        if (error != EEXIST) return NameRefused(error) ? QString() : storageFailed(error);
        if (!NextFreePath(extension, path)) return QString();
    }
}

bool NameableExtension(const QString& extension) {
    return !extension.contains(QChar(u'\0'));
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
