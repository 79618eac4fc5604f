#include "avifimage/AvifHandler.h"

#include <avif/avif.h>

#include <QImage>
#include <QVariant>
#include <memory>

namespace {

// The "ftyp" box that opens every AVIF file is small; a longer one is not a picture of ours.
constexpr qint64 kMaxTypeBox = 4096;

struct DecoderDeleter {
    void operator()(avifDecoder* decoder) const { avifDecoderDestroy(decoder); }
};
using Decoder = std::unique_ptr<avifDecoder, DecoderDeleter>;

// A decoder over the bytes, its header parsed; null when they are no AVIF it can read. The
// bytes must outlive the decoder.
Decoder Parse(const QByteArray& bytes) {
    Decoder decoder(avifDecoderCreate());
    if (!decoder) return nullptr;
    // Only the picture is wanted; what rides along is not read.
    decoder->ignoreExif = AVIF_TRUE;
    decoder->ignoreXMP = AVIF_TRUE;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    if (avifDecoderSetIOMemory(decoder.get(), data, size_t(bytes.size())) != AVIF_RESULT_OK ||
        avifDecoderParse(decoder.get()) != AVIF_RESULT_OK)
        return nullptr;
    return decoder;
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

bool AvifHandler::read(QImage* image) {
    if (!device()) return false;
    const QByteArray bytes = device()->readAll();
    const Decoder decoder = Parse(bytes);
    if (!decoder || avifDecoderNextImage(decoder.get()) != AVIF_RESULT_OK) return false;
    const avifImage* picture = decoder->image;
    QImage out;
    // The reader's allocation limit applies as to every other format.
    if (!allocateImage(QSize(int(picture->width), int(picture->height)), QImage::Format_RGBA8888,
                       &out))
        return false;
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
    // Parsing reads the headers only; the device is put back where it was.
    const qint64 at = device()->pos();
    const QByteArray bytes = device()->readAll();
    device()->seek(at);
    const Decoder decoder = Parse(bytes);
    if (!decoder) return {};
    return QSize(int(decoder->image->width), int(decoder->image->height));
}
