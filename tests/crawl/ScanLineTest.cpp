#include <gtest/gtest.h>

#include "ScriptedWindowSystem.h"
#include "crawl/PageScanner.h"
#include "crawl/ScanPatterns.h"
#include "core/UrlQueue.h"

namespace {

const QString kPage = "http://example.com/dir/index.html";
const QString kBase = "http://example.com/dir/";

class ScanLineTest : public ::testing::Test {
protected:
    ScriptedWindowSystem windows;
    UrlQueue links;
    UrlQueue images;
    int animations = 0;
    std::function<void()> onAnimate;
    PageScanner scanner{links, images, [this] {
                            ++animations;
                            if (onAnimate) onAnimate();
                        }};

    void Scan(const QString& line, const QString& page = kPage) { scanner.ScanLine(line, page); }

    // The scripted layer only counts the yields that reach the window system; exact counts
    // need every yield to get there.
    bool EveryYieldIsCounted() {
        const int before = windows.yields();
        for (int i = 0; i < 3; ++i) ws().Yield();
        return windows.yields() - before == 3;
    }
};

}  // namespace

TEST_F(ScanLineTest, ImageTagWithBlanks) {
    Scan("<IMG SRC=\"pics/a.JPG\" WIDTH=10>");
    EXPECT_EQ(images.entries(), QStringList{kBase + "pics/a.JPG"});
    EXPECT_EQ(links.count(), 0);
    EXPECT_EQ(animations, 3);  // one per blank-separated token
}

TEST_F(ScanLineTest, AnchorIsCutAtTheOpeningBracket) {
    Scan("<A HREF=\"next.html\">next</A>");
    // Found by ".html" only: ".htm" is followed by "l".
    EXPECT_EQ(links.entries(), QStringList{kBase + "next.html"});
    EXPECT_EQ(images.count(), 0);
    EXPECT_EQ(animations, 2);
}

TEST_F(ScanLineTest, HtmAndHtmlAndTheirCapitals) {
    Scan("<a href=\"a.htm\"> <a href=\"b.html\"> <A HREF=\"C.HTM\"> <a href=\"d.Html\">");
    EXPECT_EQ(links.entries(), (QStringList{kBase + "a.htm", kBase + "b.html", kBase + "C.HTM"}));
    Scan("<a href='e.shtml'> <a href='f.DHTML'> <img src='g.jpeg'> <img src='h.PNG'>");
    EXPECT_EQ(links.entries().mid(3), (QStringList{kBase + "e.shtml", kBase + "f.DHTML"}));
    EXPECT_EQ(images.entries(), (QStringList{kBase + "g.jpeg", kBase + "h.PNG"}));
}

TEST_F(ScanLineTest, ValuesThatAreNotTakenYieldNothing) {
    Scan("<IMG SRC=a.jpg WIDTH=10>");                                     // unquoted
    Scan("<a href=\"page.html?x=1\">go</a> <a href=\"page.html#top\">");  // query, fragment
    Scan("<img src=\"a.jpg?v=2\">");
    Scan("");
    Scan("    ");
    Scan("plain text without any reference");
    EXPECT_EQ(links.count(), 0);
    EXPECT_EQ(images.count(), 0);
}

TEST_F(ScanLineTest, AbsoluteAndRelativeValues) {
    Scan("<img src=\"http://other.example.org/x/b.gif\"> <img src=\"/img/c.png\">");
    Scan("<a href=\"../up.html\">up</a>");
    EXPECT_EQ(images.entries(), (QStringList{"http://other.example.org/x/b.gif",
                                             "http://example.com/dir//img/c.png"}));
    EXPECT_EQ(links.entries(), QStringList{"http://example.com/dir/../up.html"});
}

TEST_F(ScanLineTest, PageUrlEndingInSlashOrWithoutPath) {
    Scan("<img src=\"a.jpg\">", "http://example.com/dir/");
    Scan("<img src=\"b.jpg\">", "http://example.com");
    EXPECT_EQ(images.entries(),
              (QStringList{"http://example.com/dir/a.jpg", "http://example.com/b.jpg"}));
}

TEST_F(ScanLineTest, ApostrophesAndTheBangMarker) {
    Scan("<img src='a.gif'> <x y='z'> !'d.PNG'");
    EXPECT_EQ(images.entries(), (QStringList{kBase + "a.gif", kBase + "d.PNG"}));
    EXPECT_EQ(links.count(), 0);
}

TEST_F(ScanLineTest, EachReferenceIsQueuedOnce) {
    links.append(kBase + "known.html");
    Scan("<img src=\"a.jpg\"> <img src=\"a.jpg\"> <a href=\"known.html\"> <img src=\"A.jpg\">");
    EXPECT_EQ(images.entries(), (QStringList{kBase + "a.jpg", kBase + "A.jpg"}));
    EXPECT_EQ(links.entries(), QStringList{kBase + "known.html"});
}

TEST_F(ScanLineTest, DuplicateCheckSeesTheQueueAsItIsNow) {
    // The user edits the entry between two tokens: the second sighting queues it again.
    onAnimate = [this] {
        if (images.count() == 1) images.setEntry(0, "edited");
    };
    Scan("src=\"a.jpg\" src=\"a.jpg\"");
    EXPECT_EQ(images.entries(), (QStringList{"edited", kBase + "a.jpg"}));
}

TEST_F(ScanLineTest, TabSeparatedLineIsOneFragment) {
    // Only the first "=" of the line is considered.
    Scan("SRC=\"a.jpg\"\tHREF=\"b\"\tALT=\"c\"");
    EXPECT_EQ(images.entries(), QStringList{kBase + "a.jpg"});
    EXPECT_EQ(links.count(), 0);
    images.clear();
    Scan("ALT=\"x\"\tSRC=\"a.jpg\"");
    EXPECT_EQ(images.entries(), QStringList{kBase + "x\"\tSRC=\"a.jpg"});
    EXPECT_EQ(animations, 0);  // no blank: no token
}

TEST_F(ScanLineTest, LineWithBracketsButNoBlankIsCutAtTheBrackets) {
    Scan("<IMG\tSRC=\"a.jpg\"><A\tHREF=\"n.html\">n</A>");
    EXPECT_EQ(images.entries(), QStringList{kBase + "a.jpg"});
    EXPECT_EQ(links.entries(), QStringList{kBase + "n.html"});
    EXPECT_EQ(animations, 1);  // the line is one token
}

TEST_F(ScanLineTest, LongLinesAreScannedWhole) {
    // Blank-separated words, the reference at the very end.
    QString words;
    while (words.size() < 40000) words += "word ";
    Scan(words + "<img src=\"far.jpg\">");
    // One fragment of 40,000 characters, its first "=" near the end.
    Scan(QString(40000, u'x') + "=\"far.gif\"");
    // Cut at brackets only, far beyond 32,767 characters.
    Scan(QString(40000, u'y') + "<a\thref=\"far.html\">");
    EXPECT_EQ(images.entries(), (QStringList{kBase + "far.jpg", kBase + "far.gif"}));
    EXPECT_EQ(links.entries(), QStringList{kBase + "far.html"});
}

TEST_F(ScanLineTest, AnimatesAfterEveryToken) {
    struct Case {
        QString line;
        int tokens;
    } cases[] = {
        {"<IMG SRC=\"pics/a.JPG\" WIDTH=10>", 3},
        {"<A HREF=\"next.html\">next</A>", 2},
        {"", 0},
        {"   ", 4},
        {"a\tb=\"c.jpg\"", 0},
        {"<b><i>x", 1},
    };
    for (const Case& c : cases) {
        const int animationsBefore = animations;
        Scan(c.line);
        EXPECT_EQ(animations - animationsBefore, c.tokens) << c.line.toStdString();
    }
}

TEST_F(ScanLineTest, YieldsWithinBoundedWorkHoweverThePageIsShaped) {
    if (!EveryYieldIsCounted()) GTEST_SKIP() << "the scripted layer does not count every yield";
    // The window is serviced in the middle of a long line, whether its fragments hold start
    // markers or not, and over a run of empty lines.
    const qsizetype chars = 40 * PageScanner::kWorkPerYield;
    for (const QString& word : {QString("x=1 "), QString("word "), QString("<a!")}) {
        const int before = windows.yields();
        Scan(word.repeated(chars / word.size()));
        EXPECT_GE(windows.yields() - before, 35) << word.toStdString();
    }
    const int before = windows.yields();
    for (qsizetype i = 0; i < chars; ++i) Scan("");
    EXPECT_GE(windows.yields() - before, 35);
    // A queued reference weighs more than a character: ten thousand of them in one line.
    const int beforeRefs = windows.yields();
    QString refs;
    for (int i = 0; i < 10000; ++i) refs += "src=\"" + QString::number(i) + ".gif\" ";
    Scan(refs);
    EXPECT_EQ(images.count(), 10000);
    EXPECT_GE(windows.yields() - beforeRefs, 10000 * PageScanner::kWorkPerAppend /
                                                 PageScanner::kWorkPerYield);
}

TEST_F(ScanLineTest, EndingTheProgramStopsTheScanAtTheNextYield) {
    onAnimate = [] { ws().RequestEnd(); };
    EXPECT_THROW(Scan("src=\"a.jpg\" src=\"b.gif\""), ProgramEnding);
    // The first token was scanned whole; the second stopped at the yield after its first
    // pattern, before the ".gif" one.
    EXPECT_EQ(images.entries(), QStringList{kBase + "a.jpg"});
    EXPECT_EQ(animations, 1);
}
