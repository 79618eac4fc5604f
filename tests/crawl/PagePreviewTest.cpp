// Telling a page's pictures from its body ahead of time: the same pictures, in the same order,
// as the run's own scan of the stored page queues, however the lines end.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "ScriptedWindowSystem.h"
#include "core/UrlQueue.h"
#include "crawl/PageLines.h"
#include "crawl/PagePreview.h"
#include "crawl/PageScanner.h"

namespace {

const QString kPage = "http://example.com/dir/index.html";

// What the run queues: the stored page read back line by line and scanned.
QStringList ScannedPictures(const QByteArray& body) {
    QTemporaryDir dir;
    const QString path = dir.filePath("000001.html");
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(body);
    file.close();
    UrlQueue links;
    UrlQueue images;
    PageScanner scanner(links, images, {});
    PageLineReader reader;
    EXPECT_TRUE(reader.open(path));
    QByteArrayView line;
    while (reader.readLine(line)) scanner.ScanLine(line, kPage);
    return images.entries();
}

TEST(PagePreviewTest, TellsWhatTheScanOfTheStoredPageQueues) {
    ScriptedWindowSystem windows;
    const QByteArray bodies[] = {
        "<img src=\"a.jpg\">\r\n<a href=\"n.html\">x</a><img src='b.png'>\r<img src=\"a.jpg\">",
        // a lone LF does not end a line; a CR at the very end ends the last one
        "<img\nsrc=\"c.gif\"><img src=\"http://other.example/d.jpg\">\n\r\n\r",
        // a reference cut by a line end is none; bytes that are not UTF-8 stay as the scan reads
        "<img src=\"e\r.jpg\"><img src=\"\xff\xfe.jpg\"><img src=\"f.jpeg\">\r\n",
        "",
    };
    PagePreview preview;
    for (const QByteArray& body : bodies) {
        const PagePreview::Pictures told = preview.pictures(body, kPage, 64);
        EXPECT_EQ(told.urls, ScannedPictures(body)) << body.toStdString();
        EXPECT_TRUE(told.whole);
    }
    EXPECT_EQ(preview.pictures(bodies[0], kPage, 64).urls,
              (QStringList{"http://example.com/dir/a.jpg", "http://example.com/dir/b.png"}));
}

TEST(PagePreviewTest, StopsAtTheLimitAndSaysThePageHoldsMore) {
    ScriptedWindowSystem windows;
    QByteArray body;
    for (int i = 0; i < 10; ++i) body += "<img src=\"p" + QByteArray::number(i) + ".jpg\">\r\n";
    PagePreview preview;
    const PagePreview::Pictures first = preview.pictures(body, kPage, 4);
    EXPECT_EQ(first.urls, ScannedPictures(body).mid(0, 4));
    EXPECT_FALSE(first.whole);
    const PagePreview::Pictures all = preview.pictures(body, kPage, 11);
    EXPECT_EQ(all.urls.size(), 10);
    EXPECT_TRUE(all.whole);
}

}  // namespace
