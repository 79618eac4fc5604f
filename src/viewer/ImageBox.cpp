#include "viewer/ImageBox.h"

#include <QFile>
#include <QImageReader>
#include <QMovie>
#include <QPaintEvent>
#include <QPainter>
#include <QtPlugin>
#include <algorithm>

// AVIF pictures are read by the program's own image plugin, linked in.
Q_IMPORT_PLUGIN(AvifPlugin)

namespace {

// An animation is read into memory first; beyond this size only its first frame is shown.
constexpr qint64 kMaxAnimationBytes = 64LL * 1024 * 1024;
// Guards the pixel arithmetic before the decoder's own allocation limit applies.
constexpr qint64 kMaxPixels = qint64(1) << 31;
// A drawing (SVG) has no pixels of its own: it is drawn at the size it declares (Qt's default
// when it declares none), its longer side at most this; a declared size of nothing gets the
// web's size of an undeclared drawing.
constexpr int kMaxDrawingSide = 4096;
constexpr QSize kUndeclaredDrawing(300, 150);

bool IsDrawing(const QByteArray& format) {
    return format == "svg" || format == "svgz";
}

QSize DrawingSize(QSize declared) {
    if (!declared.isValid() || declared.isEmpty()) return kUndeclaredDrawing;
    if (std::max(declared.width(), declared.height()) <= kMaxDrawingSide) return declared;
    return declared.scaled(kMaxDrawingSide, kMaxDrawingSide, Qt::KeepAspectRatio)
        .expandedTo(QSize(1, 1));
}

}  // namespace

ImageBox::ImageBox(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    resize(EmptySize());
}

ImageBox::~ImageBox() {
    StopAnimation();
}

QSize ImageBox::EmptySize() {
    return QSize(17, 17);
}

void ImageBox::StopAnimation() {
    mMovie.reset();
    mMovieBuffer.reset();
    mMovieBytes.clear();
}

void ImageBox::Clear() {
    StopAnimation();
    mImage = QImage();
    resize(EmptySize());
    update();
}

QImage ImageBox::CurrentImage() const {
    return mMovie ? mMovie->currentImage() : mImage;
}

bool ImageBox::LoadPicture(const QString& path) {
    Clear();
    QImageReader reader(path);
    // The crawl names files after their URL; the bytes decide what they are.
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead()) return false;
    QSize size = reader.size();
    if (IsDrawing(reader.format())) {
        size = DrawingSize(size);
        reader.setScaledSize(size);
    }
    if (size.isValid() &&
        (size.isEmpty() || qint64(size.width()) * qint64(size.height()) > kMaxPixels))
        return false;
    if (reader.supportsAnimation() && reader.imageCount() != 1 && LoadAnimation(path)) return true;
    QImage image;
    if (!reader.read(&image) || image.isNull()) return false;
    mImage = std::move(image);
    resize(mImage.size());
    update();
    return true;
}

bool ImageBox::LoadAnimation(const QString& path) {
    QFile file(path);
    if (file.size() > kMaxAnimationBytes || !file.open(QIODevice::ReadOnly)) return false;
    mMovieBytes = file.readAll();
    mMovieBuffer = std::make_unique<QBuffer>(&mMovieBytes);
    mMovieBuffer->open(QIODevice::ReadOnly);
    mMovie = std::make_unique<QMovie>(mMovieBuffer.get(), QByteArray());
    if (!mMovie->isValid() || !mMovie->jumpToNextFrame() || mMovie->currentImage().isNull()) {
        StopAnimation();
        return false;
    }
    resize(mMovie->currentImage().size());
    connect(mMovie.get(), &QMovie::frameChanged, this, [this] { update(); });
    mMovie->start();
    update();
    return true;
}

void ImageBox::paintEvent(QPaintEvent* event) {
    const QImage image = CurrentImage();
    const QRect part = event->rect() & image.rect();
    if (part.isEmpty()) return;
    QPainter painter(this);
    // Only the exposed part is drawn; formats the painter would convert whole are cut first.
    const auto format = image.format();
    if (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied)
        painter.drawImage(part.topLeft(), image, part);
    else
        painter.drawImage(part.topLeft(), image.copy(part));
}
