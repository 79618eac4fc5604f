#include "viewer/ImageBox.h"

#include <zlib.h>

#include <QFile>
#include <QImageReader>
#include <QMovie>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "look/PictureLook.h"

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
// A drawing is drawn on the window's thread, and Qt reads it whole twice (for its size, then to
// draw it): one of 2 MB takes about half a second. A larger one, or a compressed one (svgz)
// that inflates beyond that, is not shown.
constexpr qint64 kMaxDrawingBytes = 2 << 20;

// Whether the drawing's text stays within kMaxDrawingBytes; a compressed one is inflated to
// find out, into a scratch buffer, never further than that.
bool DrawingWithinBounds(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    if (!file.peek(2).startsWith("\x1f\x8b")) return file.size() <= kMaxDrawingBytes;
    z_stream z{};
    if (inflateInit2(&z, MAX_WBITS + 32) != Z_OK) return false;
    QByteArray in(64 << 10, Qt::Uninitialized);
    QByteArray out(64 << 10, Qt::Uninitialized);
    qint64 inflated = 0;
    int status = Z_OK;
    while (status == Z_OK && inflated <= kMaxDrawingBytes) {
        if (z.avail_in == 0) {
            const qint64 got = file.read(in.data(), in.size());
            if (got <= 0) break;
            z.next_in = reinterpret_cast<Bytef*>(in.data());
            z.avail_in = uInt(got);
        }
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = uInt(out.size());
        status = inflate(&z, Z_NO_FLUSH);
        inflated += out.size() - qint64(z.avail_out);
    }
    inflateEnd(&z);
    return inflated <= kMaxDrawingBytes;
}

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
    UsePictureFormats();
    QImageReader reader(path);
    // The crawl names files after their URL; the bytes decide what they are.
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead()) return false;
    // before its size is asked: that reads a drawing whole
    const bool drawing = IsDrawing(reader.format());
    if (drawing && !DrawingWithinBounds(path)) return false;
    QSize size = reader.size();
    if (drawing) {
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

// (moc's code is compiled with this file: see sr_library)
#include "moc_ImageBox.cpp"
