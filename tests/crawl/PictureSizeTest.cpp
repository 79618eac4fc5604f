// A picture's size from its first bytes: each format tells it once its header is in and never a
// wrong one; foreign or broken bytes tell nothing.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include "crawl/PictureSize.h"

namespace {

QByteArray Encoded(int width, int height, const char* format, int quality = -1) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImage(width, height, QImage::Format_RGB32).save(&buffer, format, quality);
    return bytes;
}

QByteArray Box(const char* type, const QByteArray& body) {
    const auto n = static_cast<char>(8 + body.size());  // the boxes here are small
    return QByteArray(3, '\0') + n + type + body;
}

}  // namespace

TEST(PictureSize, EachFormatTellsItsSizeOnceItsHeaderIsIn) {
    const QByteArray exif = QByteArray("\xFF\xE1\xEA\x62", 4) + QByteArray(60000, 'e');
    const QByteArray ispe = Box("ispe", QByteArray(6, '\0') + "\x0F\xA0" + QByteArray(2, '\0') +
                                            "\x0B\xB8");  // 4000 x 3000
    const QByteArray avif = Box("ftyp", QByteArray("mif1\0\0\0\0avif", 12)) +
                            Box("meta", QByteArray(4, '\0') + Box("iprp", Box("ipco", ispe))) +
                            Box("mdat", QByteArray(100, 'p'));
    const struct {
        QByteArray bytes;
        int width, height;
    } pictures[] = {
        {Encoded(321, 123, "png"), 321, 123},
        {Encoded(640, 480, "jpeg"), 640, 480},
        {Encoded(50, 60, "jpeg").insert(2, exif), 50, 60},  // Exif ahead of the frame
        {Encoded(77, 33, "bmp"), 77, 33},
        {Encoded(500, 301, "webp", 50), 500, 301},
        {Encoded(16383, 2, "webp", 100), 16383, 2},
        {QByteArray("GIF89a\x00\x04\x03\x00", 10) + QByteArray(100, '\0'), 1024, 3},
        {avif, 4000, 3000},
    };
    for (const auto& p : pictures) {
        PictureSize size;
        bool told = false;
        for (qsizetype n = 0; n <= p.bytes.size(); ++n) {
            const SizeRead read = ReadPictureSize(QByteArrayView(p.bytes).first(n), &size);
            if (!told && read == SizeRead::NeedMore) continue;
            ASSERT_EQ(read, SizeRead::Found) << p.width << " wide, at " << n;
            told = true;
            EXPECT_EQ(size.width, p.width);
            EXPECT_EQ(size.height, p.height);
        }
        EXPECT_TRUE(told) << p.width;
    }
    for (const QByteArray& foreign : {QByteArray("<html><body>a page</body></html>"),
                                      QByteArray("\xFF\xD8\xFF\xDA\x00\x04", 6) + "scan first",
                                      QByteArray("GIF89a\0\0\x10\0", 10),  // no width
                                      avif.left(20) + Box("mdat", "pixels") + avif.mid(20)}) {
        PictureSize size;
        EXPECT_EQ(ReadPictureSize(foreign, &size), SizeRead::Unknown) << foreign.toHex().data();
    }
}
