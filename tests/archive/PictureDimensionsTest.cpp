// MinWidth and MinHeight: a picture is abandoned as soon as its first bytes tell it is too
// small, however large its file; its number stays used and the archive says why. Without them
// the same picture is kept whole.
#include <QBuffer>
#include <QImage>
#include <atomic>
#include <cstdio>
#include <map>

#include "../crawl/support/CrawlFixture.h"
#include "archive/CrawlArchive.h"
#include "archive/SqliteDb.h"
#include "core/CrawlOptions.h"

namespace {

std::string Encoded(int width, int height, const char* format) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkYellow);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
}

// Counts the body bytes each URL's transfers handed over.
class ByteCountingPool final : public Transfers {
public:
    explicit ByteCountingPool(Transfers& inner) : mInner(inner) {}
    int start(const QString& url, std::int64_t maxBytes, Write write) override {
        std::atomic<std::int64_t>& count = bytes[url.section('/', -1).toStdString()];
        return mInner.start(url, maxBytes, [&count, write](const char* data, std::size_t size) {
            if (data) count += static_cast<std::int64_t>(size);
            return write(data, size);
        });
    }
    State state(int id) const override { return mInner.state(id); }
    Wait wait(int id, const Turn& turn) override { return mInner.wait(id, turn); }
    void resume(int id) override { mInner.resume(id); }
    FetchResult release(int id) override { return mInner.release(id); }
    int connections() const override { return mInner.connections(); }
    std::map<std::string, std::atomic<std::int64_t>> bytes;

private:
    Transfers& mInner;
};

class PictureDimensionsTest : public CrawlFixture {
protected:
    void SetUp() override {
        CrawlFixture::SetUp();
        host.openArchive = [](const QString& folder, bool record) {
            return std::make_unique<CrawlArchive>(folder, record, CrawlArchive::Warn());
        };
        // 100 x 100 pixels padded to 8 MB after their end, as a camera's thumbnail with its
        // maker's notes might be
        site.page("/icon.png", Encoded(100, 100, "PNG") + std::string(8 << 20, '\0'), "image/png");
        site.page("/photo.jpg", Encoded(400, 300, "JPG"), "image/jpeg");
        site.page("/strip.jpg", Encoded(640, 40, "JPG"), "image/jpeg");
        site.page("/index.html",
                  "<img src=\"icon.png\"> <img src=\"photo.jpg\"> <img src=\"strip.jpg\">");
    }
    void crawlCounting() {
        ByteCountingPool counting(fetcher);
        host.url = site.url("/index.html");
        windows.answer(IDYES);
        RunCrawl(host, counting);
        iconBytes = counting.bytes["icon.png"];
    }
    QStringList rows() {
        SqliteDb db;
        EXPECT_TRUE(db.open(CrawlArchive::PathIn(host.folder), false, 100));
        SqliteDb::Statement s = db.prepare(
            "SELECT number, outcome, why FROM attempts WHERE kind = 'picture' ORDER BY number");
        QStringList values;
        while (s.next()) values << s.text(0) + " " + s.text(1) + " " + s.text(2);
        return values;
    }
    std::int64_t iconBytes = 0;
};

}  // namespace

TEST_F(PictureDimensionsTest, TooSmallPicturesAreAbandonedFromTheirFirstBytes) {
    gCrawlOptions.minWidth = 200;
    gCrawlOptions.minHeight = 100;
    crawlCounting();
    EXPECT_EQ(lastBox().text, "巡回が完了しました。");
    EXPECT_EQ(stored(), QStringList({"000001.html", "000003.jpg"}));
    EXPECT_EQ(gImageCount, 1);
    EXPECT_EQ(rows(),
              QStringList({"2 abandoned-dimensions 100 × 100 pixels, under 200 × 100", "3 kept ",
                           "4 abandoned-dimensions 640 × 40 pixels, under 200 × 100"}));
    // what libcurl had read when the header told; the figure goes to the test's output
    std::printf("bytes read of the abandoned 8 MB picture: %lld\n",
                static_cast<long long>(iconBytes));
    EXPECT_GT(iconBytes, 0);
    EXPECT_LT(iconBytes, 1 << 20);
}

TEST_F(PictureDimensionsTest, WithoutTheRuleEveryPictureIsKeptWhole) {
    crawlCounting();
    EXPECT_EQ(stored(), QStringList({"000001.html", "000002.png", "000003.jpg", "000004.jpg"}));
    EXPECT_EQ(QFileInfo(gRunFolder + "/000002.png").size(), iconBytes);
    EXPECT_GT(iconBytes, 8 << 20);
}
