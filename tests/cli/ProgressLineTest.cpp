#include <gtest/gtest.h>

#include <QString>
#include <cstdio>
#include <string>

#include "cli/ProgressLine.h"

namespace {

ProgressFigures Sample() {
    ProgressFigures f;
    f.pages = 1234;
    f.picturesKept = 567;
    f.linksQueued = 89012;
    f.imagesQueued = 345;
    f.bytes = 98'765'432;
    f.elapsedMs = 3'723'000;
    return f;
}

// What a display wrote into its file so far.
std::string Written(std::FILE* f) {
    std::fflush(f);
    std::string text;
    std::rewind(f);
    for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
    return text;
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace

TEST(ProgressLine, PlainLineKeepsItsFieldsInPlace) {
    EXPECT_EQ(FormatProgress(Sample()),
              "pages 1234, images kept 567, queued 89012 links 345 images, 98.8 MB, "
              "0.3 pages/s, 0.03 MB/s, 3723 s");
    // no division by zero at the very start
    EXPECT_EQ(FormatProgress(ProgressFigures{}),
              "pages 0, images kept 0, queued 0 links 0 images, 0.0 MB, 0.0 pages/s, 0.00 MB/s, "
              "0 s");
}

TEST(ProgressLine, TerminalLineFitsEveryWidthAndDropsTheLeastFirst) {
    const ProgressFigures f = Sample();
    const QString wide = FormatProgress(f, 300);
    for (const char* part : {"1234 pages", "567 pictures kept", "89012 links", "345 images",
                             "98.8 MB", "26.5 kB/s", "1:02:03"})
        EXPECT_TRUE(wide.contains(part)) << part << " in " << wide.toStdString();
    qsizetype previous = wide.size();
    for (int width = 200; width >= 1; --width) {
        const QString line = FormatProgress(f, width);
        ASSERT_LE(line.size(), std::max(width - 1, 1)) << width;
        ASSERT_LE(line.size(), previous) << width;
        previous = line.size();
        if (width >= 40) {
            // the page count, the pictures kept and the time survive any usual width
            EXPECT_TRUE(line.contains("1234")) << line.toStdString();
            EXPECT_TRUE(line.contains("567")) << line.toStdString();
            EXPECT_TRUE(line.contains("1:02:03")) << line.toStdString();
        }
    }
    EXPECT_TRUE(FormatProgress(f, 80).contains("98.8 MB"));
}

TEST(ProgressLine, BytesAndTimeUnits) {
    EXPECT_EQ(FormatBytes(0), "0 B");
    EXPECT_EQ(FormatBytes(999), "999 B");
    EXPECT_EQ(FormatBytes(1000), "1.0 kB");
    EXPECT_EQ(FormatBytes(999'949), "999.9 kB");
    EXPECT_EQ(FormatBytes(999'950), "1.0 MB");
    EXPECT_EQ(FormatBytes(2'500'000'000), "2.5 GB");
    EXPECT_EQ(FormatElapsed(0), "0:00");
    EXPECT_EQ(FormatElapsed(59'999), "0:59");
    EXPECT_EQ(FormatElapsed(754'000), "12:34");
    EXPECT_EQ(FormatElapsed(3'600'000), "1:00:00");
    EXPECT_EQ(FormatElapsed(-5), "0:00");
}

TEST(ProgressDisplay, PlainOutputWritesWholeLinesEveryFewSeconds) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    ProgressDisplay display(out, false);
    int shown = 0;
    for (std::int64_t ms : {0, 1000, 4999, 5000, 9000, 10000, 10001})
        shown += display.update(Sample(), ms);
    EXPECT_EQ(shown, 3);
    display.breakLine();
    display.finalLine(Sample());
    const std::string text = Written(out);
    EXPECT_EQ(Count(text, "\n"), 4);
    EXPECT_EQ(Count(text, "pages 1234, images kept 567"), 4);
    EXPECT_EQ(text.find_first_of("\r\033"), std::string::npos);
    std::fclose(out);
}

TEST(ProgressDisplay, TerminalRedrawsOneLineInPlaceAtMostTenTimesASecond) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    ProgressDisplay display(out, true);
    display.setWidth(40);
    int shown = 0;
    for (std::int64_t ms = 0; ms < 1000; ms += 10) shown += display.update(Sample(), ms);
    EXPECT_EQ(shown, 10);
    std::string text = Written(out);
    EXPECT_EQ(Count(text, "\r"), 10);
    EXPECT_EQ(Count(text, "\033[K"), 10);
    EXPECT_EQ(Count(text, "\n"), 0);
    // each drawing fits the 40 columns
    for (auto at = text.find('\r'); at != std::string::npos; at = text.find('\r', at + 1))
        EXPECT_LE(text.find("\033[K", at) - at - 1, 39u);
    // a message clears the line first; the final figures stay as a plain line
    display.breakLine();
    display.finalLine(Sample());
    text = Written(out);
    EXPECT_NE(text.find("\r\033[Kpages 1234, images kept 567"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
    std::fclose(out);
}

TEST(ProgressLine, WaitsComeLastAndABeginningWaitIsToldAtOnce) {
    ProgressFigures f = Sample();
    f.retries = 2;
    f.waitedMs = 3500;
    f.resends = 3;
    f.waitingFor = "example.org";
    EXPECT_TRUE(FormatProgress(f).startsWith(FormatProgress(Sample())));
    EXPECT_TRUE(FormatProgress(f).endsWith(
        ", 2 retries after 3.5 s of waits, 3 resent on a new connection, waiting for "
        "example.org"));
    EXPECT_TRUE(FormatProgress(f, 40).startsWith("waiting for example.org: "));
    EXPECT_LE(FormatProgress(f, 40).size(), 39);
    std::FILE* out = std::tmpfile();
    ProgressDisplay display(out, false);
    EXPECT_TRUE(display.update(Sample(), 0));
    EXPECT_TRUE(display.update(f, 10));  // not five seconds later
    EXPECT_FALSE(display.update(f, 20));
    std::fclose(out);
}
