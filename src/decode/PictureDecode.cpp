#include "decode/PictureDecode.h"

#include <QImage>
#include <QImageReader>
#include <QtPlugin>
#include <algorithm>
#include <utility>

#include "decode/DecodeLimit.h"

// AVIF pictures are read by the program's own reader (src/avifimage), linked in here only.
extern const QStaticPlugin qt_static_plugin_AvifPlugin();

void SrUsePictureFormats() {
    const QStaticPlugin avif = qt_static_plugin_AvifPlugin();
    qRegisterStaticPluginFunction(avif);
    // made here, once: Qt's readers make a static plugin's instance and read its metadata on
    // first use, unlocked, and the look workers read their first pictures at once
    avif.instance();
    QImageReader::supportedImageFormats();
}

namespace {

constexpr int kColumns = 9;
constexpr int kRows = 8;
// A larger picture is decoded at about this size: a JPEG then decodes several times faster,
// and each cell still averages 64 pixels.
constexpr QSize kDecodeSize(8 * kColumns, 8 * kRows);
// A bit is set only when a cell is brighter than its right neighbour by more than this (of 255):
// the flat parts of drawings and screenshots then give steady zeros instead of the noise of
// their encoding.
constexpr double kMargin = 2.0;

// Grey on white: a transparent pixel looks like the page behind it.
double Brightness(QRgb pixel) {
    const int alpha = qAlpha(pixel);
    return (qGray(pixel) * alpha + 255.0 * (255 - alpha)) / 255.0;
}

// The mean brightness of the cell [x0, x1) x [y0, y1) of an ARGB32 image.
double CellBrightness(const QImage& image, int x0, int x1, int y0, int y1) {
    double sum = 0;
    for (int y = y0; y < y1; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = x0; x < x1; ++x) sum += Brightness(line[x]);
    }
    return sum / (double(x1 - x0) * (y1 - y0));
}

// Cell i of cells along size pixels: [first, end). Every cell has at least one pixel, even in
// a picture smaller than the grid.
std::pair<int, int> Cell(int i, int cells, int size) {
    const int first = i * size / cells;
    return {first, std::max(first + 1, (i + 1) * size / cells)};
}

std::uint64_t LookHash(const QImage& picture) {
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    std::uint64_t hash = 0;
    for (int row = 0; row < kRows; ++row) {
        const auto [y0, y1] = Cell(row, kRows, h);
        double left = 0;
        for (int column = 0; column < kColumns; ++column) {
            const auto [x0, x1] = Cell(column, kColumns, w);
            const double cell = CellBrightness(image, x0, x1, y0, y1);
            if (column > 0) hash = (hash << 1) | (left > cell + kMargin ? 1 : 0);
            left = cell;
        }
    }
    return hash;
}

std::optional<PictureLook> DecodeLook(const QString& path) {
    QImageReader reader(path);
    reader.setAutoTransform(false);
    // Asked first: a reader that found no format asks every format again at each question.
    if (!reader.canRead()) return std::nullopt;
    QSize size = reader.size();
    if (size.isValid() && size.width() >= 2 * kDecodeSize.width() &&
        size.height() >= 2 * kDecodeSize.height())
        reader.setScaledSize(kDecodeSize);
    if (!DecodeFits(reader, kAsidePixels)) return std::nullopt;
    const QImage image = reader.read();
    if (image.isNull()) return std::nullopt;
    // a header may declare no width or no height (a GIF screen 0 × 520) for a frame that has both
    if (size.isEmpty()) size = image.size();
    return PictureLook{LookHash(image), std::int64_t(size.width()) * size.height()};
}

}  // namespace

bool SrDecodeReadable(const QString* path) {
    return QImageReader(*path).canRead();
}

bool SrDecodeLook(const QString* path, PictureLook* look) {
    const std::optional<PictureLook> found = DecodeLook(*path);
    if (found) *look = *found;
    return found.has_value();
}
