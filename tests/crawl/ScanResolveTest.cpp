#include <gtest/gtest.h>

#include "QtPrinters.h"
#include "crawl/PageScanner.h"

namespace {
const QString kPage = "http://example.com/dir/index.html";
const QString kBase = "http://example.com/dir/";
}  // namespace

TEST(ResolveReference, QuotedValueEndingInTheMarkerIsAppendedToTheBase) {
    EXPECT_EQ(ResolveReference(kPage, u"SRC=\"pics/a.JPG\"", u"=", u".JPG"), kBase + "pics/a.JPG");
    EXPECT_EQ(ResolveReference(kPage, u"src='b.gif'", u"=", u".gif"), kBase + "b.gif");
    // Either quote is accepted at either end.
    EXPECT_EQ(ResolveReference(kPage, u"src='b.gif\"", u"=", u".gif"), kBase + "b.gif");
    // Without a leading quote the value still counts when a quote follows the marker.
    EXPECT_EQ(ResolveReference(kPage, u"src=b.gif\"", u"=", u".gif"), kBase + "b.gif");
    EXPECT_EQ(ResolveReference(kPage, u"x!'c.png'", u"!", u".png"), kBase + "c.png");
}

TEST(ResolveReference, RejectsValuesNotClosedByAQuote) {
    EXPECT_EQ(ResolveReference(kPage, u"SRC=a.jpg", u"=", u".jpg"), "");    // unquoted
    EXPECT_EQ(ResolveReference(kPage, u"SRC=\"a.jpg", u"=", u".jpg"), "");  // unclosed
    EXPECT_EQ(ResolveReference(kPage, u"SRC=a.jpg>", u"=", u".jpg"), "");
    // ".htm" inside ".html": the character after the marker is "l".
    EXPECT_EQ(ResolveReference(kPage, u"HREF=\"next.html\">next", u"=", u".htm"), "");
    EXPECT_EQ(ResolveReference(kPage, u"HREF=\"next.html\">next", u"=", u".html"),
              kBase + "next.html");
    // Query and fragment parts after the extension.
    EXPECT_EQ(ResolveReference(kPage, u"HREF=\"p.html?x=1\"", u"=", u".html"), "");
    EXPECT_EQ(ResolveReference(kPage, u"HREF=\"p.html#top\"", u"=", u".html"), "");
    // Comparison is exact.
    EXPECT_EQ(ResolveReference(kPage, u"SRC=\"a.Jpg\"", u"=", u".jpg"), "");
    EXPECT_EQ(ResolveReference(kPage, u"SRC=\"a.Jpg\"", u"=", u".JPG"), "");
}

TEST(ResolveReference, OnlyFirstStartAndFirstEndMarkerCount) {
    // The first "=" opens the value; the rest of the fragment belongs to it.
    EXPECT_EQ(ResolveReference(kPage, u"a=\"x.gif\"b=\"y.gif\"", u"=", u".gif"), kBase + "x.gif");
    EXPECT_EQ(ResolveReference(kPage, u"w=1\tsrc=\"a.jpg\"", u"=", u".jpg"),
              kBase + "1\tsrc=\"a.jpg");
    // The first end marker decides, even when a later one would be quoted.
    EXPECT_EQ(ResolveReference(kPage, u"src=\"a.jpg.jpg\"", u"=", u".jpg"), "");
    EXPECT_EQ(ResolveReference(kPage, u"no marker \"a.jpg\"", u"=", u".jpg"), "");
}

TEST(ResolveReference, QuoteAsEndMarker) {
    // The end marker is the closing quote itself, at the end of the fragment.
    EXPECT_EQ(ResolveReference(kPage, u"url=page\"", u"=", u"\""), kBase + "page");
    // A leading quote is the first end marker: only one character follows it.
    EXPECT_EQ(ResolveReference(kPage, u"href=\"page\"", u"=", u"\""), "");
    EXPECT_EQ(ResolveReference(kPage, u"href=\"\"", u"=", u"\""), "");  // empty value
    EXPECT_EQ(ResolveReference(kPage, u"href=\"", u"=", u"\""), "");
    EXPECT_EQ(ResolveReference(kPage, u"href=", u"=", u"\""), "");
}

TEST(ResolveReference, AbsoluteAndRelativeForms) {
    EXPECT_EQ(ResolveReference(kPage, u"src=\"http://other.org/x/b.gif\"", u"=", u".gif"),
              "http://other.org/x/b.gif");
    // "://" anywhere makes the value absolute.
    EXPECT_EQ(ResolveReference(kPage, u"src=\"go.cgi?u=http://x/a.jpg\"", u"=", u".jpg"),
              "go.cgi?u=http://x/a.jpg");
    // No clean-up of root paths, "./" or "../".
    EXPECT_EQ(ResolveReference(kPage, u"src=\"/img/c.png\"", u"=", u".png"),
              "http://example.com/dir//img/c.png");
    EXPECT_EQ(ResolveReference(kPage, u"href=\"../up.html\"", u"=", u".html"),
              "http://example.com/dir/../up.html");
    EXPECT_EQ(ResolveReference(kPage, u"href=\"./here.html\"", u"=", u".html"),
              "http://example.com/dir/./here.html");
}

TEST(ReferenceBase, CutsThePageUrlAfterItsLastSlash) {
    EXPECT_EQ(ReferenceBase(kPage), kBase);
    EXPECT_EQ(ReferenceBase("http://example.com/dir/"), "http://example.com/dir/");
    EXPECT_EQ(ReferenceBase("http://example.com/"), "http://example.com/");
    // A query holding "/" is cut like any other text.
    EXPECT_EQ(ReferenceBase("http://example.com/a.cgi?p=x/y"), "http://example.com/a.cgi?p=x/");
    EXPECT_EQ(ReferenceBase("file:///tmp/site/index.html"), "file:///tmp/site/");
    // Without any "/" the page URL itself is the base.
    EXPECT_EQ(ReferenceBase("index.html"), "index.html");
}

TEST(ReferenceBase, UrlWithoutPathGetsTheHostRoot) {
    EXPECT_EQ(ReferenceBase("http://example.com"), "http://example.com/");
    EXPECT_EQ(ReferenceBase("http://example.com:8080"), "http://example.com:8080/");
    EXPECT_EQ(ReferenceBase("http://example.com?q=1"), "http://example.com/");
    EXPECT_EQ(ReferenceBase("http://example.com#top"), "http://example.com/");
    EXPECT_EQ(ResolveReference("https://example.com", u"src=\"a.jpg\"", u"=", u".jpg"),
              "https://example.com/a.jpg");
}
