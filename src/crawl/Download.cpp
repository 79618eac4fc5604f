#include "crawl/Download.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <limits>

#include "core/basGlobal.h"
#include "core/StringTokens.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#endif

namespace {

enum class Publish { Done, Taken, Failed };

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

// Gives the finished temporary file its numbered name without ever replacing an entry that
// took that name meanwhile (the user or the viewer may touch the run folder during a crawl).
Publish PublishNoReplace(const QString& from, const QString& to) {
#ifdef Q_OS_LINUX
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return Publish::Done;
    if (errno == EEXIST) return Publish::Taken;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return Publish::Failed;
    // File systems without an atomic no-replace rename: a hard link never replaces either.
    if (::link(source.constData(), target.constData()) == 0) return Publish::Done;
    if (errno == EEXIST) return Publish::Taken;
    if (errno != EPERM && errno != ENOTSUP && errno != ENOSYS) return Publish::Failed;
#endif
    if (EntryExists(to)) return Publish::Taken;
    return QFile::rename(from, to) ? Publish::Done : Publish::Failed;
}

// The stored files get the permissions any file the user creates gets, not the private ones
// of a temporary file.
void UseOrdinaryPermissions(QFile& file) {
#ifdef Q_OS_UNIX
    const mode_t mask = ::umask(0);
    ::umask(mask);
    (void)::fchmod(file.handle(), 0666 & ~mask);
#else
    Q_UNUSED(file);
#endif
}

}  // namespace

bool EntryExists(const QString& path) {
    if (path.isEmpty()) return false;
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString SequenceName(std::int32_t number) {
    return QString::number(number).rightJustified(6, u'0');
}

QString GetExtension(const QString& url) {
    const QString last = GetToken(url, CountTokens(url, u'/'), u'/');
    return u'.' + GetToken(last, 2, u'.');
}

QString DownloadFile(const QString& url, Fetcher& fetcher, const Fetcher::Progress& progress) {
    const QString extension = GetExtension(url);
    // A NUL would cut the name short in the file system's hands and store under another name;
    // the attempt still uses up its number.
    if (extension.contains(QChar(u'\0'))) {
        RaiseCounter();
        return QString();
    }
    QString path;
    if (!NextFreePath(extension, path)) return QString();

    QTemporaryFile body(gRunFolder + QStringLiteral("/.download-XXXXXX"));
    if (!body.open()) return QString();
    UseOrdinaryPermissions(body);

    const FetchResult result = fetcher.fetch(
        url,
        [&body](const char* data, std::size_t size) {
            return body.write(data, static_cast<qint64>(size)) == static_cast<qint64>(size);
        },
        progress);
    if (result.outcome != FetchOutcome::Ok || !body.flush()) return QString();
    body.close();

    for (;;) {
        switch (PublishNoReplace(body.fileName(), path)) {
            case Publish::Done:
                return path;
            case Publish::Failed:
                return QString();
            case Publish::Taken:
                if (!NextFreePath(extension, path)) return QString();
                break;
        }
    }
}

bool ApplyStoredPageRule(const QString& path) {
    if (gHTMLAutoDelete != u"0") return false;
    QFile::remove(path);
    return true;
}

bool ApplySmallImageRule(const QString& path) {
    if (gPictAutoDelete != u"0") return false;
    // Worked out in 64 bits: a limit from a hand-edited settings file may be any 32-bit value.
    const qint64 limit = static_cast<qint64>(gPictAutoDeleteSize) * 1000;
    if (QFileInfo(path).size() >= limit) return false;
    QFile::remove(path);
    return true;
}
