// What the picture area shows: pictures at their own size, and the comment for every file
// that is not a picture the decoder can take.
#include <zlib.h>

#include <QBuffer>
#include <QElapsedTimer>
#include <QFileInfo>

#include "ViewerFixture.h"

namespace {

using Pictures = ViewerFixture;

quint32 Crc32(const QByteArray& bytes) {
    quint32 crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void AppendBigEndian(QByteArray& out, quint32 value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.append(char((value >> shift) & 0xFF));
}

QByteArray PngChunk(const char* type, const QByteArray& data) {
    QByteArray chunk;
    AppendBigEndian(chunk, quint32(data.size()));
    const QByteArray body = QByteArray(type) + data;
    chunk += body;
    AppendBigEndian(chunk, Crc32(body));
    return chunk;
}

// A PNG whose header claims a picture of 30,000 x 30,000 RGBA pixels (3.6 GB decoded).
QByteArray HugeClaimPng() {
    QByteArray header;
    AppendBigEndian(header, 30000);
    AppendBigEndian(header, 30000);
    header += QByteArray::fromHex("0806000000");  // 8 bits, RGBA
    return QByteArray::fromHex("89504e470d0a1a0a") + PngChunk("IHDR", header) +
           PngChunk("IDAT", QByteArray::fromHex("789c030000000001")) + PngChunk("IEND", {});
}

// Two frames of one pixel, black then white, looping.
QByteArray TwoFrameGif() {
    return QByteArray::fromHex(
        "47494638396101000100800000000000ffffff"          // header, two colours
        "21ff0b4e45545343415045322e300301000000"          // loop for ever
        "21f90400050000002c0000000001000100000202440100"  // frame 1: colour 0
        "21f90400050000002c00000000010001000002024c0100"  // frame 2: colour 1
        "3b");
}

QByteArray PngBytes(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

TEST_F(Pictures, APictureIsShownAtItsOwnSizeWhateverItsExtension) {
    WriteBytes(QStringLiteral("000001.jpg"), PngBytes(123, 45));  // a PNG under a JPEG name
    frmViewer& v = OpenViewer();
    EXPECT_TRUE(v.imgViewer->HasPicture());
    EXPECT_EQ(v.imgViewer->size(), QSize(123, 45));
    EXPECT_EQ(v.imgViewer->pos(), QPoint(0, 0));
    EXPECT_EQ(v.lblComment->text(), QString());
    EXPECT_EQ(v.srbHScroll->maximum(), 0);
    EXPECT_EQ(v.srbVScroll->maximum(), 0);
}

TEST_F(Pictures, FilesThatAreNoPictureTakeTheCommentPathAndCanBeDeleted) {
    const QByteArray png = PngBytes(300, 200);
    WriteBytes(QStringLiteral("000001.htm"), "<html><body>page</body></html>");
    WriteBytes(QStringLiteral("000002.jpg"), QByteArray());
    WriteBytes(QStringLiteral("000003.png"), png.left(png.size() / 2));
    WriteBytes(QStringLiteral("000004.png"), HugeClaimPng());
    WriteBytes(QStringLiteral("000005.gif"), QByteArray("GIF89a") + QByteArray(2500, '\xff'));
    WriteBytes(QStringLiteral("000006.jpg"), QByteArray::fromHex("ffd8ffe000104a464946"));
    frmViewer& v = OpenViewer();
    const int sizes[] = {1, 1, 1, 1, 3, 1};
    for (int n = 1; n <= 6; ++n) {
        if (n > 1) v.cmdControll_Click(2);
        ASSERT_EQ(v.mCurrentNo, n);
        EXPECT_EQ(v.lblComment->text(), CannotShow()) << n;
        EXPECT_FALSE(v.imgViewer->HasPicture()) << n;
        EXPECT_TRUE(v.cmdDelete->isEnabled()) << n;
        EXPECT_EQ(Caption(), ShownCaption(v.mCurrentFile, sizes[n - 1], 6)) << n;
    }
    mWs.answer(IDYES);
    Key(Qt::Key_Delete);
    EXPECT_FALSE(Exists(QStringLiteral("000006.jpg")));
    EXPECT_EQ(v.mCurrentNo, 5);
}

TEST_F(Pictures, AnAnimatedGifPlays) {
    WriteBytes(QStringLiteral("000001.gif"), TwoFrameGif());
    frmViewer& v = OpenViewer();
    EXPECT_TRUE(v.imgViewer->HasPicture());
    EXPECT_TRUE(v.imgViewer->IsAnimated());
    EXPECT_EQ(v.imgViewer->size(), QSize(1, 1));
    const QRgb first = v.imgViewer->CurrentImage().pixel(0, 0);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return v.imgViewer->CurrentImage().pixel(0, 0) != first; }, 2000));
    // Playing holds no file open: the file can go at once.
    mWs.answer(IDYES);
    v.cmdDelete_Click();
    EXPECT_FALSE(Exists(QStringLiteral("000001.gif")));
}

TEST_F(Pictures, APictureOfTwentyThousandPixelsScrollsToItsFarCorner) {
    QImage image(20000, 20000, QImage::Format_Mono);  // small to write; decodes in full
    image.fill(0);
    ASSERT_TRUE(image.save(PathOf(QStringLiteral("000001.png")), "PNG"));
    frmViewer& v = OpenViewer();
    ASSERT_TRUE(v.imgViewer->HasPicture());
    ASSERT_EQ(v.imgViewer->size(), QSize(20000, 20000));
    const int overW = 20000 - v.picViewer->width();
    const int overH = 20000 - v.picViewer->height();
    EXPECT_EQ(v.srbHScroll->maximum(), overW * 15);
    EXPECT_EQ(v.srbVScroll->maximum(), overH * 15);
    v.srbHScroll->setValue(v.srbHScroll->maximum());
    v.srbVScroll->setValue(v.srbVScroll->maximum());
    EXPECT_EQ(v.imgViewer->pos(), QPoint(-overW, -overH));
    EXPECT_EQ(v.imgViewer->geometry().bottomRight(),
              QPoint(v.picViewer->width() - 1, v.picViewer->height() - 1));
    EXPECT_FALSE(v.grab().isNull());  // paints only what shows
}

// Today's formats, each under its own extension, are shown like the others; a drawing at the
// size it declares, kept to a sensible size when it declares a huge one or none.
TEST_F(Pictures, WebpAvifSvgAndBmpAreShownAtTheirSize) {
    QImage webp(20, 10, QImage::Format_RGB32);
    webp.fill(Qt::green);
    ASSERT_TRUE(webp.save(PathOf(QStringLiteral("000001.webp")), "WEBP"));
    QFile avif(QStringLiteral(SR_SOURCE_DIR "/tests/viewer/data/red-7x5.avif"));
    ASSERT_TRUE(avif.open(QIODevice::ReadOnly));
    WriteBytes(QStringLiteral("000002.avif"), avif.readAll());
    const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' ";
    const QByteArray rect = "<rect width='2' height='1' fill='blue'/></svg>";
    WriteBytes(QStringLiteral("000003.svg"),
               svg + "width='64' height='32' viewBox='0 0 2 1'>" + rect);
    WriteBytes(QStringLiteral("000004.svg"),
               svg + "width='100000' height='50000' viewBox='0 0 2 1'>" + rect);
    WriteBytes(QStringLiteral("000005.svg"),
               svg + "><rect width='100' height='100' fill='blue'/></svg>");  // no size: Qt's
    QImage bmp(9, 4, QImage::Format_RGB32);  // a BMP under its name, not a PNG
    bmp.fill(Qt::red);
    ASSERT_TRUE(bmp.save(PathOf(QStringLiteral("000006.bmp")), "BMP"));
    const QSize sizes[] = {{20, 10}, {7, 5}, {64, 32}, {4096, 2048}, {100, 100}, {9, 4}};
    const QColor colours[] = {Qt::green, Qt::red, Qt::blue, Qt::blue, Qt::blue, Qt::red};
    frmViewer& v = OpenViewer();
    for (int n = 1; n <= 6; ++n) {
        if (n > 1) v.cmdControll_Click(2);
        ASSERT_EQ(v.mCurrentNo, n);
        ASSERT_TRUE(v.imgViewer->HasPicture()) << n;
        EXPECT_EQ(v.imgViewer->size(), sizes[n - 1]) << n;
        const QColor centre = v.imgViewer->CurrentImage().pixelColor(sizes[n - 1].width() / 2,
                                                                     sizes[n - 1].height() / 2);
        const QColor want = colours[n - 1];
        // AVIF is lossy: near the colour is enough.
        EXPECT_LT(std::abs(centre.red() - want.red()) + std::abs(centre.green() - want.green()) +
                      std::abs(centre.blue() - want.blue()),
                  40)
            << n << " " << centre.name().toStdString();
        EXPECT_EQ(v.lblComment->text(), QString()) << n;
    }
}

}  // namespace

TEST_F(Pictures, TheOriginIsTheTooltipOfThePictureAndTheCaptionStays) {
    WriteBytes(QStringLiteral("000001.png"), PngBytes(10, 10));
    WriteBytes(QStringLiteral("000002.png"), PngBytes(10, 10));
    mViewer = std::make_unique<frmViewer>();
    QStringList asked;
    mViewer->setOriginLookup([&asked](const QString& file) {
        asked << QFileInfo(file).fileName();
        return file.endsWith("000001.png") ? QStringLiteral("取得元: http://h/a.png") : QString();
    });
    frmViewer& v = OpenViewer();
    EXPECT_EQ(v.imgViewer->toolTip(), "取得元: http://h/a.png");
    const QString caption = v.windowTitle();
    EXPECT_FALSE(caption.contains("http"));
    v.cmdControll[2]->click();  // next: unknown to the archive
    EXPECT_EQ(v.imgViewer->toolTip(), QString());
    EXPECT_EQ(asked, QStringList({"000001.png", "000002.png"}));
}

// A compressed drawing of a few kilobytes that inflates to megabytes of shapes: Qt would read it
// whole, twice, on the window's thread. It is turned away before; a small drawing is shown.
TEST_F(Pictures, ADrawingThatInflatesBeyondItsBoundIsNotShown) {
    const QByteArray head = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"50\" height=\"40\">";
    const QByteArray shape = "<rect width=\"1\" height=\"1\"/>";
    const QByteArray shapes = head + shape.repeated(300000) + "</svg>";
    QByteArray gzip(int(shapes.size()), '\0');
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, 1, Z_DEFLATED, MAX_WBITS + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(shapes.data()));
    z.avail_in = uInt(shapes.size());
    z.next_out = reinterpret_cast<Bytef*>(gzip.data());
    z.avail_out = uInt(gzip.size());
    ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    gzip.resize(gzip.size() - int(z.avail_out));
    deflateEnd(&z);
    WriteBytes(QStringLiteral("000001.svgz"), gzip);
    WriteBytes(QStringLiteral("000002.svg"), head + shape.repeated(10) + "</svg>");
    QElapsedTimer clock;
    clock.start();
    frmViewer& v = OpenViewer();
    EXPECT_LT(clock.elapsed(), 500);
    EXPECT_EQ(v.lblComment->text(), CannotShow());
    v.cmdControll_Click(2);
    EXPECT_TRUE(v.imgViewer->HasPicture());
    EXPECT_EQ(v.imgViewer->size(), QSize(50, 40));
}
