// Pictures that are cut short, lie about themselves or claim to be enormous: the viewer's
// picture loading either decodes them at their real size or refuses them, at once, without
// allocating gigabytes; the viewer then takes the comment path and still names the file.

#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtEndian>
#include <array>

#include "HostileFilesSupport.h"
#include "ScriptedWindowSystem.h"
#include "core/basGlobal.h"
#include "viewer/ImageBox.h"
#include "viewer/frmViewer.h"

using namespace hostile;

namespace {

quint32 Crc32(const QByteArray& bytes) {
    quint32 crc = 0xFFFFFFFFu;
    for (const char ch : bytes) {
        crc ^= static_cast<unsigned char>(ch);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray BigEndian32(quint32 value) {
    QByteArray b(4, '\0');
    qToBigEndian(value, b.data());
    return b;
}

QByteArray PngChunk(const QByteArray& type, const QByteArray& data, bool goodCrc = true) {
    const quint32 crc = Crc32(type + data);
    return BigEndian32(quint32(data.size())) + type + data + BigEndian32(goodCrc ? crc : ~crc);
}

// A PNG that claims the given size and holds a few bytes of image data.
QByteArray PngClaiming(quint32 width, quint32 height, bool goodCrc = true) {
    QByteArray ihdr = BigEndian32(width) + BigEndian32(height);
    ihdr +=
        QByteArray("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, no filter, no interlace
    const QByteArray idat("\x78\x9c\x63\x00\x00\x00\x01\x00\x01", 9);  // one zero byte, deflated
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", ihdr, goodCrc) +
           PngChunk("IDAT", idat) + PngChunk("IEND", {});
}

QByteArray LittleEndian16(quint16 value) {
    QByteArray b(2, '\0');
    qToLittleEndian(value, b.data());
    return b;
}

// A GIF of one image of the given size, whose data is a single pixel.
QByteArray GifClaiming(quint16 width, quint16 height) {
    QByteArray gif = "GIF89a" + LittleEndian16(width) + LittleEndian16(height);
    gif += QByteArray("\x80\x00\x00", 3);              // global table of two colours
    gif += QByteArray("\x00\x00\x00\xff\xff\xff", 6);  // black, white
    gif += "\x2c" + LittleEndian16(0) + LittleEndian16(0) + LittleEndian16(width) +
           LittleEndian16(height) + QByteArray(1, '\0');
    gif += QByteArray("\x02\x02\x44\x01\x00\x3b", 6);  // LZW: clear, 0, end; trailer
    return gif;
}

QByteArray Encoded(const char* format) {
    QImage image(200, 150, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, qRgb(x, y, (x * y) & 0xFF));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format));
    return bytes;
}

class Pictures : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    // Loads the bytes from a file of that name; false when the loader refused them.
    bool load(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(WriteFile(path, bytes));
        return box.LoadPicture(path);
    }
    QTemporaryDir dir;
    ImageBox box;
};

}  // namespace

TEST_F(Pictures, EmptyHeaderOnlyAndGarbageFilesAreRefused) {
    const std::array<std::pair<const char*, QByteArray>, 6> cases{{
        {"empty.png", QByteArray()},
        {"signature.png", QByteArray("\x89PNG\r\n\x1a\n", 8)},
        {"gif.gif", "GIF89a"},
        {"soi.jpg", QByteArray("\xff\xd8\xff", 3)},
        {"garbage.jpg", Garbage(64 * 1024, 5)},
        {"html.png", "<html><body>not a picture</body></html>"},
    }};
    for (const auto& [name, bytes] : cases) {
        EXPECT_FALSE(load(name, bytes)) << name;
        EXPECT_FALSE(box.HasPicture()) << name;
        EXPECT_EQ(box.size(), ImageBox::EmptySize()) << name;
    }
}

TEST_F(Pictures, TruncatedPicturesDecodeAtTheirOwnSizeOrAreRefused) {
    for (const char* format : {"PNG", "JPEG", "BMP"}) {
        const QByteArray whole = Encoded(format);
        ASSERT_TRUE(load(QStringLiteral("whole.%1").arg(format), whole)) << format;
        for (int percent : {5, 25, 50, 75, 99}) {
            const QByteArray cut = whole.left(whole.size() * percent / 100);
            if (load(QStringLiteral("cut%1.%2").arg(percent).arg(format), cut))
                EXPECT_EQ(box.CurrentImage().size(), QSize(200, 150)) << format << percent;
            else
                EXPECT_FALSE(box.HasPicture()) << format << percent;
        }
    }
    const QByteArray gif = GifClaiming(4, 3);
    for (qsizetype size = 0; size < gif.size(); ++size) {
        if (load("cut.gif", gif.left(size)))
            EXPECT_EQ(box.CurrentImage().size(), QSize(4, 3)) << size;
    }
}

TEST_F(Pictures, MalformedHeadersAreRefused) {
    EXPECT_FALSE(load("badcrc.png", PngClaiming(20, 20, false)));
    EXPECT_FALSE(load("zero.png", PngClaiming(0, 20)));
    EXPECT_FALSE(load("negative.png", PngClaiming(0x80000000u, 20)));
    EXPECT_FALSE(load("zero.gif", GifClaiming(0, 0)));
}

TEST_F(Pictures, EnormousClaimedSizesAreRefusedWithoutAllocatingThem) {
    EXPECT_FALSE(load("huge.png", PngClaiming(30'000, 30'000)));
    EXPECT_FALSE(box.HasPicture());
    EXPECT_FALSE(load("wide.png", PngClaiming(2'000'000'000, 1)));
    EXPECT_FALSE(load("huge.gif", GifClaiming(65'535, 65'535)));
    EXPECT_FALSE(box.HasPicture());
    // 30,000 x 30,000 four-byte pixels would be 3.6 GB
    EXPECT_LT(PeakMemoryMegabytes(), 1024);
}

TEST(PictureViewer, AHugeClaimAndACutPictureTakeTheCommentPathAndCanBeDeleted) {
    ResetGlobals();
    ScriptedWindowSystem windows;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    gRunFolder = dir.path();
    ASSERT_TRUE(WriteFile(dir.filePath("000001.png"), PngClaiming(30'000, 30'000)));
    ASSERT_TRUE(WriteFile(dir.filePath("000002.jpg"), Encoded("JPEG").left(200)));
    {
        frmViewer viewer;
        viewer.showNormal();
        viewer.Open();
        EXPECT_EQ(viewer.mCurrentFile, "000001.png");
        EXPECT_EQ(viewer.lblComment->text(), "[ このファイルは画像ビューアで表示できません ]");
        EXPECT_TRUE(viewer.windowTitle().contains("000001.png"));
        EXPECT_TRUE(viewer.cmdDelete->isEnabled());
        EXPECT_FALSE(viewer.imgViewer->HasPicture());

        viewer.cmdControll_Click(2);
        EXPECT_EQ(viewer.mCurrentFile, "000002.jpg");
        EXPECT_TRUE(viewer.cmdDelete->isEnabled());
        if (!viewer.imgViewer->HasPicture())
            EXPECT_EQ(viewer.lblComment->text(), "[ このファイルは画像ビューアで表示できません ]");

        windows.answer(IDYES);
        viewer.cmdDelete_Click();
        EXPECT_FALSE(QFile::exists(dir.filePath("000002.jpg")));
        EXPECT_TRUE(QFile::exists(dir.filePath("000001.png")));
        EXPECT_EQ(viewer.mCurrentFile, "000001.png");
    }
    ResetGlobals();
}

TEST(PictureViewer, UnreadablePictureTakesTheCommentPath) {
    ResetGlobals();
    ScriptedWindowSystem windows;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    gRunFolder = dir.path();
    const QString path = dir.filePath("000001.png");
    ASSERT_TRUE(WriteFile(path, Encoded("PNG")));
    QFile::setPermissions(path, QFile::WriteOwner);
    if (!PermissionsBind(path)) {
        ResetGlobals();
        GTEST_SKIP() << "running with rights that read any file: permission bits cannot make "
                        "the picture unreadable here";
    }
    {
        frmViewer viewer;
        viewer.showNormal();
        viewer.Open();
        EXPECT_EQ(viewer.mCurrentFile, "000001.png");
        EXPECT_EQ(viewer.lblComment->text(), "[ このファイルは画像ビューアで表示できません ]");
        EXPECT_TRUE(viewer.cmdDelete->isEnabled());
    }
    ResetGlobals();
}
