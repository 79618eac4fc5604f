// A picture's size from its first bytes: each format tells it as soon as its header is in,
// never a wrong one, and broken or foreign bytes tell nothing.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <string>

#include "crawl/PictureSize.h"

namespace {

QByteArray Encoded(int width, int height, const char* format, int quality = -1,
                   bool progressive = false) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    EXPECT_TRUE(writer.write(image)) << format;
    return bytes;
}

QByteArray Be32(std::uint32_t n) {
    return QByteArray(1, char(n >> 24)) + char(n >> 16) + char(n >> 8) + char(n);
}

QByteArray IsoBox(const char* type, const QByteArray& body) {
    return Be32(std::uint32_t(8 + body.size())) + type + body;
}

// An AVIF's header as encoders write it: ftyp, then meta with the item properties (a small
// alpha plane's ispe before the picture's own), then the pixels.
QByteArray Avif(std::uint32_t width, std::uint32_t height, bool pixelsFirst = false) {
    const QByteArray ftyp = IsoBox("ftyp", QByteArray("mif1") + Be32(0) + "mif1miafavif");
    const auto ispe = [](std::uint32_t w, std::uint32_t h) {
        return IsoBox("ispe", Be32(0) + Be32(w) + Be32(h));
    };
    const QByteArray meta =
        IsoBox("meta", Be32(0) + IsoBox("hdlr", QByteArray(25, 'h')) +
                           IsoBox("iprp", IsoBox("ipco", ispe(8, 8) + ispe(width, height)) +
                                              IsoBox("ipma", QByteArray(12, 'm'))));
    const QByteArray mdat = IsoBox("mdat", QByteArray(5000, 'p'));
    return pixelsFirst ? ftyp + mdat + meta : ftyp + meta + mdat;
}

QByteArray Gif(int width, int height) {
    QByteArray gif("GIF89a");
    gif += char(width & 0xFF);
    gif += char(width >> 8);
    gif += char(height & 0xFF);
    gif += char(height >> 8);
    return gif + QByteArray(3000, '\0');
}

// A JPEG with an Exif segment of exifBytes ahead of its frame header.
QByteArray WithExif(QByteArray jpeg, int exifBytes) {
    QByteArray app1("\xFF\xE1", 2);
    app1 += char((exifBytes + 2) >> 8);
    app1 += char((exifBytes + 2) & 0xFF);
    app1 += QByteArray(exifBytes, 'e');
    return jpeg.insert(2, app1);
}

SizeRead Read(const QByteArray& bytes, qsizetype n, PictureSize* size) {
    return ReadPictureSize(QByteArrayView(bytes).first(n), size);
}

}  // namespace

TEST(PictureSize, EachFormatTellsItsSizeOnceItsHeaderIsIn) {
    QByteArray vp8x = QByteArray("RIFF") + QByteArray(4, '\0') + "WEBPVP8X" + QByteArray(8, '\0');
    vp8x += QByteArray("\x2B\x01\x00\xC7\x00\x00", 6) + QByteArray(2000, '\0');  // 300 x 200
    const struct {
        const char* name;
        QByteArray bytes;
        int width, height;
        qsizetype within;  // bytes enough to tell
    } pictures[] = {
        {"png", Encoded(321, 123, "png"), 321, 123, 24},
        {"jpeg", Encoded(640, 480, "jpeg", 80), 640, 480, 400},
        {"progressive jpeg", Encoded(90, 4000, "jpeg", 80, true), 90, 4000, 400},
        {"jpeg with Exif", WithExif(Encoded(50, 60, "jpeg"), 60000), 50, 60, 60400},
        {"bmp", Encoded(77, 33, "bmp"), 77, 33, 26},
        {"lossy webp", Encoded(500, 301, "webp", 50), 500, 301, 30},
        {"lossless webp", Encoded(16383, 2, "webp", 100), 16383, 2, 30},
        {"extended webp", vp8x, 300, 200, 30},
        {"gif", Gif(1024, 3), 1024, 3, 10},
        {"avif", Avif(4000, 3000), 4000, 3000, 200},
    };
    for (const auto& p : pictures) {
        SCOPED_TRACE(p.name);
        ASSERT_FALSE(p.bytes.isEmpty());
        PictureSize size;
        qsizetype told = -1;
        for (qsizetype n = 0; n <= p.bytes.size(); n += n < 70000 ? 1 : 4099) {
            const SizeRead read = Read(p.bytes, n, &size);
            if (told < 0 && read == SizeRead::NeedMore) continue;
            ASSERT_EQ(read, SizeRead::Found) << n << " bytes";
            if (told < 0) told = n;
            EXPECT_EQ(size.width, p.width);
            EXPECT_EQ(size.height, p.height);
        }
        EXPECT_GT(told, 0);
        EXPECT_LE(told, p.within);
    }
}

TEST(PictureSize, BrokenOrForeignBytesTellNothing) {
    PictureSize size;
    QByteArray png = Encoded(10, 10, "png");
    QByteArray jpeg = Encoded(10, 10, "jpeg");
    const QByteArray sosFirst = jpeg.left(2) + QByteArray("\xFF\xDA\x00\x04\x00\x00", 6);
    QByteArray zeroWide = Gif(0, 40);
    QByteArray shortBox = Avif(10, 10);
    shortBox[3] = 4;  // ftyp claims fewer bytes than its own header
    const QByteArray notTold[] = {
        QByteArray("<html><body>not a picture</body></html>"),
        png.replace("IHDR", "IHDX"),
        sosFirst,
        jpeg.left(2) + "garbage that is no marker",
        zeroWide,
        Avif(10, 10, true),
        shortBox,
        QByteArray("RIFF\0\0\0\0WEBPVP9 ", 16) + QByteArray(100, 'w'),
    };
    for (const QByteArray& bytes : notTold)
        EXPECT_EQ(ReadPictureSize(bytes, &size), SizeRead::Unknown)
            << bytes.left(16).toHex().data();
    // a header that goes on past what is looked at is given up there
    QByteArray deep = jpeg;
    for (int i = 0; i < 5; ++i) deep = WithExif(deep, 65000);
    EXPECT_EQ(Read(deep, 1000, &size), SizeRead::NeedMore);
    EXPECT_EQ(Read(deep, kMostHeaderBytes, &size), SizeRead::Unknown);
    // a bitmap stored top down has a negative height
    QByteArray bmp = Encoded(30, 20, "bmp");
    bmp.replace(22, 4, QByteArray("\xEC\xFF\xFF\xFF", 4));
    ASSERT_EQ(ReadPictureSize(bmp, &size), SizeRead::Found);
    EXPECT_EQ(size.height, 20);
}
