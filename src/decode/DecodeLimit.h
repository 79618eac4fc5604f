#pragma once
// Each use of the picture readers has its own pixel budget, checked from the picture's header
// before a pixel is decoded: a file of a few hundred kilobytes can declare billions of pixels,
// and looks, thumbnails and previews are decoded on several threads at once.

#include <QImageReader>
#include <algorithm>

// Looks, thumbnails and previews: worked out aside, several at a time.
constexpr qint64 kAsidePixels = 40'000'000;

// Whether what the reader is set to decode stays within maxPixels. JPEG decodes straight at a
// smaller size set on the reader (down to an eighth each way) and a drawing is drawn at it:
// they count what they decode; any other format the whole picture. A picture whose size the reader
// cannot tell before decoding is left to Qt's allocation limit. Here whole, as the window's
// readers and decode/'s looks (a library loaded on its own) both need it.
inline bool DecodeFits(QImageReader& reader, qint64 maxPixels) {
    const QSize full = reader.size();
    if (!full.isValid()) return true;
    qint64 pixels = qint64(full.width()) * full.height();
    const QSize scaled = reader.scaledSize();
    if (scaled.isValid()) {
        // Other readers that take a scaled size (PNG) decode the whole picture and scale it.
        const QByteArray format = reader.format();
        const qint64 wanted = qint64(scaled.width()) * scaled.height();
        if (format == "jpeg" || format == "jpg") pixels = std::max(pixels / 64, wanted);
        if (format == "svg" || format == "svgz") pixels = wanted;  // drawn at that size
    }
    return pixels <= maxPixels;
}
