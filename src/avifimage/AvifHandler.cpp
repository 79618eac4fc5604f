#include "avifimage/AvifHandler.h"

#include <avif/avif.h>

#include <QImage>
#include <QImageReader>
#include <QVariant>
#include <algorithm>
#include <cstdint>
#include <utility>

namespace {

// The "ftyp" box that opens every AVIF file is small; a longer one is not a picture of ours.
constexpr qint64 kMaxTypeBox = 4096;

// Beyond what the reader's allocation limit lets through anyway, and a sequence's first frame
// is all that is shown: its frame table need not be believed beyond this.
constexpr uint32_t kMaxDimension = 32768;
constexpr uint32_t kMaxFrames = 1000;

// The pixels of the reader's allocation limit, as RGBA; 0 when it has none.
std::int64_t PixelsAllowed() {
    const std::int64_t mb = QImageReader::allocationLimit();
    return mb > 0 ? (mb << 20) / 4 : 0;
}

}  // namespace

bool AvifHandler::CanRead(QIODevice* device) {
    if (!device) return false;
    const QByteArray head = device->peek(8);
    if (head.size() < 8 || head.mid(4, 4) != "ftyp") return false;
    const auto* size = reinterpret_cast<const uchar*>(head.constData());
    const qint64 boxSize = (qint64(size[0]) << 24) | (size[1] << 16) | (size[2] << 8) | size[3];
    if (boxSize < 16 || boxSize > kMaxTypeBox) return false;
    const QByteArray box = device->peek(boxSize);
    const avifROData data{reinterpret_cast<const uint8_t*>(box.constData()), size_t(box.size())};
    return box.size() == boxSize && avifPeekCompatibleFileType(&data);
}

bool AvifHandler::canRead() const {
    if (!CanRead(device())) return false;
    setFormat("avif");
    return true;
}

AvifHandler::AvifHandler() = default;
AvifHandler::~AvifHandler() = default;

void AvifHandler::DecoderDeleter::operator()(avifDecoder* decoder) const {
    avifDecoderDestroy(decoder);
}

avifDecoder* AvifHandler::parsed() const {
    if (std::exchange(mParsed, true) || !device()) return mDecoder.get();
    // The device is put back where it was: a reader may ask the size before it reads.
    const qint64 at = device()->pos();
    mBytes = device()->readAll();
    if (!device()->isSequential()) device()->seek(at);
    mDecoder.reset(avifDecoderCreate());
    avifDecoder* decoder = mDecoder.get();
    if (!decoder) return nullptr;
    // Only the picture is wanted; what rides along is not read.
    decoder->ignoreExif = AVIF_TRUE;
    decoder->ignoreXMP = AVIF_TRUE;
    decoder->imageDimensionLimit = kMaxDimension;
    decoder->imageCountLimit = kMaxFrames;
    if (const std::int64_t allowed = PixelsAllowed(); allowed > 0)
        decoder->imageSizeLimit =
            uint32_t(std::min<std::int64_t>(allowed, decoder->imageSizeLimit));
    const auto* data = reinterpret_cast<const uint8_t*>(mBytes.constData());
    if (avifDecoderSetIOMemory(decoder, data, size_t(mBytes.size())) != AVIF_RESULT_OK ||
        avifDecoderParse(decoder) != AVIF_RESULT_OK)
        mDecoder.reset();
    return mDecoder.get();
}

bool AvifHandler::read(QImage* image) {
    avifDecoder* decoder = parsed();
    if (!decoder) return false;
    // The header's size is checked against the reader's allocation limit before any decoding.
    const QSize size(int(decoder->image->width), int(decoder->image->height));
    QImage out;
    if (!allocateImage(size, QImage::Format_RGBA8888, &out)) return false;
    if (avifDecoderNextImage(decoder) != AVIF_RESULT_OK) return false;
    const avifImage* picture = decoder->image;
    if (int(picture->width) != size.width() || int(picture->height) != size.height()) return false;
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, picture);
    rgb.format = AVIF_RGB_FORMAT_RGBA;
    rgb.depth = 8;
    rgb.pixels = out.bits();
    rgb.rowBytes = uint32_t(out.bytesPerLine());
    if (avifImageYUVToRGB(picture, &rgb) != AVIF_RESULT_OK) return false;
    *image = std::move(out);
    return true;
}

bool AvifHandler::supportsOption(ImageOption option) const {
    return option == Size;
}

QVariant AvifHandler::option(ImageOption option) const {
    if (option != Size || !device() || device()->isSequential()) return {};
    const avifDecoder* decoder = parsed();
    if (!decoder) return {};
    return QSize(int(decoder->image->width), int(decoder->image->height));
}
