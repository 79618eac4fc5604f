// Reading a page of today's markup as HTML: which pictures and pages it gives.
#include <gtest/gtest.h>

#include "QtPrinters.h"
#include "crawl/HtmlReader.h"
#include "crawl/ReferenceLists.h"
#include "crawl/UrlKinds.h"

TEST(HtmlReader, ReadsAGalleryPageAsAPersonSeesIt) {
    const QByteArray page = R"html(<!doctype html><html><head>
<meta property="og:image" content="/share/cover.jpg">
<base href="https://cdn.example/site/">
<style>/* url(commented.png) */ .hero { background: url("img/hero.webp") }</style>
</head><body>
<img src="thumb-400.jpg" srcset="thumb-400.jpg 400w, photo-1600.jpg 1600w, photo-800.jpg 800w">
<img src="data:image/gif;base64,R0lGOD" data-src="lazy/one.jpg" alt="">
<img src="one.png" srcset="one@2x.png 2x, one@3x.png 3x">
<img data-original="orig.jpg"><img data-lazy-src="lazy2.jpg">
<img srcset="https://img.example/w_400,h_300/a.jpg 400w, https://img.example/w_900,h_600/a.jpg 900w">
<picture><source type="image/jxl" srcset="p.jxl 2000w">
 <source type="image/avif" srcset="p-small.avif 500w, p-big.avif 1500w">
 <img src="p.jpg"></picture>
<svg><image href="drawing.svg"/></svg>
<div style="background-image:url('bg.png')"></div>
<a href="full/one.jpg">full</a> <a href="/post/123/#comments">next</a>
<a href="gallery?page=2&amp;sort=new">more</a> <a href="manual.pdf">pdf</a>
<a href="javascript:void(0)">js</a> <a href="data:text/html,hi">data</a>
<area href="map.html"> <iframe src="embed/"></iframe> <video src="clip.mp4"></video>
<img src="thumb-400.jpg">
</body></html>)html";
    const HtmlReferences found = ReadHtml(page, QStringLiteral("http://site.example/a/index.html"));
    const QString c = QStringLiteral("https://cdn.example/");
    EXPECT_EQ(
        found.pictures,
        QStringList({c + "share/cover.jpg", c + "site/img/hero.webp", c + "site/photo-1600.jpg",
                     c + "site/lazy/one.jpg", c + "site/one@3x.png", c + "site/orig.jpg",
                     c + "site/lazy2.jpg", "https://img.example/w_900,h_600/a.jpg",
                     c + "site/p-big.avif", c + "site/drawing.svg", c + "site/bg.png",
                     c + "site/full/one.jpg", c + "site/thumb-400.jpg"}));
    EXPECT_EQ(found.pages, QStringList({c + "post/123/", c + "site/gallery?page=2&sort=new",
                                        c + "site/map.html", c + "site/embed/"}));
}

TEST(HtmlReader, SrcsetAndCssListsTakenApart) {
    const auto set = ParseSrcset(u" a.jpg, b,c.jpg 2x ,d.jpg 640w,e.jpg 1.5x,, f(1).jpg 3x");
    ASSERT_EQ(set.size(), 5u);
    EXPECT_EQ(set[0].url, "a.jpg");
    EXPECT_EQ(set[0].density, 1);
    EXPECT_EQ(set[1].url, "b,c.jpg");
    EXPECT_EQ(set[1].density, 2);
    EXPECT_EQ(set[2].width, 640);
    EXPECT_EQ(set[3].density, 1.5);
    EXPECT_EQ(set[4].url, "f(1).jpg");
    EXPECT_EQ(LargestCandidate(set), "d.jpg");  // the only one with a width
    EXPECT_EQ(CssUrls(u"a{b:url( x.png )} c{d:URL('y z.gif')} /* url(no.png) */ e{url(a\\)b)}"),
              QStringList({"x.png", "y z.gif", "a)b"}));
}

TEST(HtmlReader, StoredExtensionFromTheUrlElseTheContentType) {
    EXPECT_EQ(StoredExtension(u"http://h/cdn/photo?id=42", u"image/webp", true), ".webp");
    EXPECT_EQ(StoredExtension(u"http://h/p", u"IMAGE/AVIF; q=1", true), ".avif");
    EXPECT_EQ(StoredExtension(u"http://h/post/123/", u"text/html; charset=utf-8", false), ".html");
    EXPECT_EQ(StoredExtension(u"http://h/post/123/", u"text/html", true), "");
    EXPECT_EQ(StoredExtension(u"http://h/a.JPG?x=1", u"text/plain", true), ".jpg");
    EXPECT_EQ(StoredExtension(u"http://h/get.php?f=1", u"image/svg+xml", false), ".svg");
    EXPECT_EQ(StoredExtension(u"http://h/feed", u"application/json", false), "");
    EXPECT_EQ(KindOfUrl(u"http://h/v1.2/x.zip#a"), UrlKind::Other);
    EXPECT_EQ(KindOfUrl(u"http://host.example"), UrlKind::Unknown);
}
