#include "look/DecodeLimit.h"

#include <QImageReader>
#include <algorithm>

bool DecodeFits(QImageReader& reader, qint64 maxPixels) {
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
