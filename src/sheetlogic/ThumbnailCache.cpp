#include "sheetlogic/ThumbnailCache.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include "decode/DecodeLimit.h"
#include "look/PictureLook.h"

std::atomic<int> ThumbnailCache::sDecodes{0};

namespace {

const QString kUri = QStringLiteral("Thumb::URI");
const QString kMTime = QStringLiteral("Thumb::MTime");
const QString kSize = QStringLiteral("Thumb::Size");

// The picture as the cache knows it: a thumbnail of an older version is no thumbnail of it.
struct Stamp {
    QString uri;
    QString mtime;
    QString size;
};

Stamp StampOf(const QString& file) {
    const QFileInfo info(file);
    return {ThumbnailCache::Uri(file), QString::number(info.lastModified().toSecsSinceEpoch()),
            QString::number(info.size())};
}

// A thumbnail whose keys name this picture as it is now. The keys are read from the decoded
// image: the reader's own text() takes the first colon of "Thumb::URI" for the key's end.
bool Belongs(const QImage& thumbnail, const Stamp& stamp) {
    if (thumbnail.text(kUri) != stamp.uri || thumbnail.text(kMTime) != stamp.mtime) return false;
    const QString size = thumbnail.text(kSize);  // optional, but when there it must match
    return size.isEmpty() || size == stamp.size;
}

void SetStamp(QImage& image, const Stamp& stamp) {
    image.setText(kUri, stamp.uri);
    image.setText(kMTime, stamp.mtime);
    image.setText(kSize, stamp.size);
    image.setText(QStringLiteral("Software"), QStringLiteral("Site Rambler"));
}

QString SizeFolder(ThumbnailCache::Size size) {
    return size == ThumbnailCache::Size::Normal ? QStringLiteral("normal")
                                                : QStringLiteral("large");
}

}  // namespace

ThumbnailCache::ThumbnailCache(QString root)
    : mRoot(root.isEmpty() ? DefaultRoot() : std::move(root)) {}

QString ThumbnailCache::DefaultRoot() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/thumbnails");
}

QString ThumbnailCache::Uri(const QString& file) {
    return QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()).toString(QUrl::FullyEncoded);
}

QString ThumbnailCache::FileName(const QString& uri) {
    return QString::fromLatin1(
               QCryptographicHash::hash(uri.toUtf8(), QCryptographicHash::Md5).toHex()) +
           QStringLiteral(".png");
}

QString ThumbnailCache::PathFor(const QString& file, Size size) const {
    return mRoot + u'/' + SizeFolder(size) + u'/' + FileName(Uri(file));
}

QString ThumbnailCache::FailPathFor(const QString& file) const {
    return mRoot + QStringLiteral("/fail/siterambler-" SR_VERSION_TEXT "/") + FileName(Uri(file));
}

QImage ThumbnailCache::Cached(const QString& file, Size size) const {
    QImage thumbnail(PathFor(file, size), "png");
    return Belongs(thumbnail, StampOf(file)) ? thumbnail : QImage();
}

bool ThumbnailCache::KnownToFail(const QString& file) const {
    return Belongs(QImage(FailPathFor(file), "png"), StampOf(file));
}

QImage ThumbnailCache::Make(const QString& file, Size size) const {
    ++sDecodes;
    const Stamp stamp = StampOf(file);  // before reading: a picture changed meanwhile is redone
    const int edge = Pixels(size);
    UsePictureFormats();
    QImageReader reader(file);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    // Decoders that can (JPEG) decode straight at the small size: far less work.
    if (full.isValid() && (full.width() > edge || full.height() > edge))
        reader.setScaledSize(full.scaled(edge, edge, Qt::KeepAspectRatio).expandedTo({1, 1}));
    QImage image = DecodeFits(reader, kAsidePixels) ? reader.read() : QImage();
    if (image.isNull()) {
        QImage marker(1, 1, QImage::Format_ARGB32);
        marker.fill(Qt::transparent);
        SetStamp(marker, stamp);
        Keep(marker, FailPathFor(file));
        return {};
    }
    if (image.width() > edge || image.height() > edge)
        image = image.scaled(edge, edge, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    SetStamp(image, stamp);
    if (full.isValid()) {
        image.setText(QStringLiteral("Thumb::Image::Width"), QString::number(full.width()));
        image.setText(QStringLiteral("Thumb::Image::Height"), QString::number(full.height()));
    }
    Keep(image, PathFor(file, size));
    return image;
}

QImage ThumbnailCache::Load(const QString& file, Size size) const {
    QImage image = Cached(file, size);
    if (!image.isNull() || KnownToFail(file)) return image;
    return Make(file, size);
}

// Folders readable by the user alone, files written whole: another reader never sees a part.
void ThumbnailCache::Keep(const QImage& thumbnail, const QString& path) const {
    const QFileDevice::Permissions own = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const QString folder = QFileInfo(path).path();
    if (!QFileInfo::exists(folder)) {
        QDir().mkpath(folder);
        for (QString f = folder; f.startsWith(mRoot) && f.size() >= mRoot.size();
             f = QFileInfo(f).path())
            QFile::setPermissions(f, own | QFileDevice::ExeOwner);
    }
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) return;
    if (!thumbnail.save(&out, "PNG")) return;  // a full disk: no thumbnail kept, no harm
    out.setPermissions(own);
    out.commit();
}
