#include "dialoglogic/ManualText.h"

#include <QFile>
#include <utility>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

bool ManualText::load(const QString& path, const std::function<bool()>& keepGoing) {
    mBytes.clear();
    mLines.clear();
#ifdef Q_OS_UNIX
    // A pipe would block the window until someone writes to it (devices are read to the limit).
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 &&
        (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)))
        return false;
#endif
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    // Read in pieces rather than readAll(): works for files whose size the system does not
    // report, and stops at kMaxBytes whatever the file holds.
    QByteArray bytes;
    // Room for the whole file at once: growing a buffer of tens of megabytes piece by piece
    // copies it again and again.
    if (file.size() > 0) bytes.reserve(qMin(file.size(), kMaxBytes));
    bool complete = true;
    constexpr qint64 kChunk = 1024 * 1024;
    while (bytes.size() < kMaxBytes) {
        const QByteArray piece = file.read(qMin(kChunk, kMaxBytes - bytes.size()));
        if (piece.isEmpty()) {
            complete = file.error() == QFileDevice::NoError;
            break;
        }
        bytes += piece;
        if (keepGoing && !keepGoing()) return false;
    }
    mBytes = std::move(bytes);
    if (mBytes.startsWith("\xEF\xBB\xBF")) mBytes.remove(0, 3);
    return split(keepGoing) && complete;
}

void ManualText::setBytes(QByteArray bytes) {
    mBytes = std::move(bytes);
    if (mBytes.size() > kMaxBytes) mBytes.truncate(kMaxBytes);
    if (mBytes.startsWith("\xEF\xBB\xBF")) mBytes.remove(0, 3);
    split({});
}

bool ManualText::split(const std::function<bool()>& keepGoing) {
    mLines.clear();
    constexpr std::uint32_t kBytesPerTurn = 1024 * 1024;
    std::uint32_t nextTurn = kBytesPerTurn;
    const char* data = mBytes.constData();
    const auto size = static_cast<std::uint32_t>(mBytes.size());
    std::uint32_t start = 0;
    std::uint32_t i = 0;
    while (i < size && static_cast<int>(mLines.size()) < kMaxLines) {
        const char c = data[i];
        if (i >= nextTurn) {
            nextTurn = i + kBytesPerTurn;
            if (keepGoing && !keepGoing()) return false;
        }
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        mLines.push_back({start, i - start});
        i += (c == '\r' && i + 1 < size && data[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < size && static_cast<int>(mLines.size()) < kMaxLines)
        mLines.push_back({start, size - start});
    return true;
}

QString ManualText::line(int index) const {
    if (index < 0 || index >= count()) return QString();
    const Span span = mLines[static_cast<size_t>(index)];
    // Four bytes per character at most, so this prefix always yields kMaxLineChars characters
    // when the line is longer than that.
    const qsizetype bytes = qMin<qsizetype>(span.length, qsizetype(kMaxLineChars) * 4);
    QString text = QString::fromUtf8(mBytes.constData() + span.start, bytes);
    if (text.size() > kMaxLineChars) {
        text.truncate(kMaxLineChars);
        if (text.back().isHighSurrogate()) text.chop(1);
    }
    return text;
}

void ManualListModel::setManual(ManualText manual) {
    beginResetModel();
    mManual = std::move(manual);
    endResetModel();
}

int ManualListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : mManual.count();
}

QVariant ManualListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return QVariant();
    return mManual.line(index.row());
}
