// Telling a page's pictures and pages from its body ahead of time: the same ones, in the same
// order, as the run's own scan of the stored page queues, however the lines end.
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
QStringList ScannedPictures(const QByteArray& body, QStringList* pages = nullptr) {
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
    if (pages) *pages = links.entries();
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
        "<a href=\"../up.htm\">\r\n<a href=\"http://other.example/o.html\"><a href=\"../up.htm\">"
        "<a href=\"q.html?x=1\"><img src=\"g.png\"><a href=\"s.shtml\">\r\n",
        "",
    };
    PagePreview preview;
    for (const QByteArray& body : bodies) {
        const PagePreview::Told told = preview.tell(body, kPage, 64);
        QStringList pages;
        EXPECT_EQ(told.pictures, ScannedPictures(body, &pages)) << body.toStdString();
        EXPECT_EQ(told.pages, pages) << body.toStdString();
        EXPECT_TRUE(told.whole);
    }
    EXPECT_EQ(preview.tell(bodies[0], kPage, 64).pictures,
              (QStringList{"http://example.com/dir/a.jpg", "http://example.com/dir/b.png"}));
}

TEST(PagePreviewTest, StopsAtTheLimitAndSaysThePageHoldsMore) {
    ScriptedWindowSystem windows;
    QByteArray body;
    for (int i = 0; i < 10; ++i) body += "<img src=\"p" + QByteArray::number(i) + ".jpg\">\r\n";
    PagePreview preview;
    const PagePreview::Told first = preview.tell(body, kPage, 4);
    EXPECT_EQ(first.pictures, ScannedPictures(body).mid(0, 4));
    EXPECT_FALSE(first.whole);
    const PagePreview::Told all = preview.tell(body, kPage, 11);
    EXPECT_EQ(all.pictures.size(), 10);
    EXPECT_TRUE(all.whole);
    // the pages have a limit of their own: a page of many links and one picture is not whole
    QByteArray links = "<img src=\"only.jpg\">";
    for (int i = 0; i < 10; ++i) links += "<a href=\"n" + QByteArray::number(i) + ".html\">\r\n";
    QStringList pages;
    ScannedPictures(links, &pages);
    const PagePreview::Told some = preview.tell(links, kPage, 4);
    EXPECT_EQ(some.pages, pages.mid(0, 4));
    EXPECT_EQ(some.pictures.size(), 1);
    EXPECT_FALSE(some.whole);
}

}  // namespace
